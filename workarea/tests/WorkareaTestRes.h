#pragma once
#define IDD_FRAME_HOST 300
#define IDD_TEST_BAR 301
#define IDC_BAR_BUTTON 1400
