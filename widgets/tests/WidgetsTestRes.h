// Resource ids of the widget tests.
#pragma once

#define IDD_LAYOUT 100
#define IDD_FORM 101
#define IDD_BUTTONS 102
#define IDD_SKIN 103
#define IDD_EMPTY 104

#define IDC_PUSH 1001
#define IDC_GROUP 1002
#define IDC_OWNERDRAW 1003
#define IDC_TEXT 1004
#define IDC_TEXT_CENTER 1005
#define IDC_FRAME 1006
#define IDC_LIST 1007
#define IDC_EDIT 1008
#define IDC_TOOLBAR 1009
#define IDC_FIXED 1010
#define IDC_HIDDEN 1011
#define IDC_ANSWERING 1012

#define IDC_FLAT 1101
#define IDC_FLAT_CHECK 1102
#define IDC_FLAT_DEFAULT 1103
#define IDC_FLAT_GROUP 1104
#define IDC_OTHER 1105
