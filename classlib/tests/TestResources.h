// Resource ids of the class library's test program.
#pragma once

#define IDD_DATA 100
#define IDC_TEXT 1001
#define IDC_INT 1002
#define IDC_UINT 1003
#define IDC_FLOAT 1004
#define IDC_DOUBLE 1005
#define IDC_CHECK 1006
#define IDC_RADIO1 1007
#define IDC_RADIO2 1008
#define IDC_RADIO3 1009
#define IDC_CBLIST 1010
#define IDC_CBEDIT 1011
#define IDC_LIST 1012
#define IDC_SLIDER 1013

#define IDD_MODAL 120
#define IDC_EDIT 1201
#define IDC_BUTTON 1202

#define IDD_PAGE1 130
#define IDD_PAGE2 131
#define IDC_PAGE_EDIT 1301

#define IDS_KOREAN 200
#define IDM_POPUP 210
#define ID_ITEM_FIRST 32801
#define ID_ITEM_SECOND 32802
