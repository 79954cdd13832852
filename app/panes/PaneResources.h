// Resource numbers of the saved-file and saved-DC panes and the web image window.
#pragma once

#ifndef IDD_FILE_TAB
#define IDD_FILE_TAB 132   // saved-files pane: list 1005 filling it
#endif
#ifndef IDD_DC_TAB
#define IDD_DC_TAB 134     // saved-DC pane: list 1006 filling it
#endif
#ifndef IDD_WEB_IMAGE
#define IDD_WEB_IMAGE 253  // web image window
#endif
#ifndef IDS_SAVED_FILES_TAB
#define IDS_SAVED_FILES_TAB 132   // "저장된 파일"
#endif
#ifndef IDS_SAVED_DC_TAB
#define IDS_SAVED_DC_TAB 134     // "저장된 DC"
#endif
#ifndef IDI_SAVED_DC
#define IDI_SAVED_DC 142
#endif
#ifndef IDI_SAVED_FILES
#define IDI_SAVED_FILES 143
#endif
#ifndef IDC_FILE_LIST
#define IDC_FILE_LIST 1005
#endif
#ifndef IDC_DC_LIST
#define IDC_DC_LIST 1006
#endif
#ifndef IDC_PANE_TABS
#define IDC_PANE_TABS 1012
#endif
