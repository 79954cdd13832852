#pragma once
#define IDD_PANE_HOST 300
