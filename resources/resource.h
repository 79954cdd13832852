// Resource identifiers of vesk.exe. Tooltips of controls use the control's
// own id as their string id.
#pragma once

// Dialogs
#define IDD_ABOUTBOX                100
#define IDD_VESK_DIALOG             103
#define IDD_FILE_TAB                132
#define IDD_DC_TAB                  134
#define IDD_DYNAMIC_REGION          163
#define IDD_STATIC_REGION           186
#define IDD_QUICK_OPTIONS_BAR       224
#define IDD_OPTIONS_FILE            225
#define IDD_OPTIONS_TREE            226
#define IDD_OPTIONS_WATERMARK       227
#define IDD_OPTIONS_MISC            230
#define IDD_WATERMARK_PREVIEW       231
#define IDD_WEB_IMAGE               253

// Control finder and eyedropper
#define IDD_CONTROL_FINDER          188
#define IDC_SPOIDE_CURSOR           208
#define IDD_SPOIDE                  261

// Watermark options page, its preview window and the text editor. A label's
// string has the id of its control.
#define IDD_WATERMARK_TEXT          210
#define IDC_WMTEXT_LABEL            1140
#define IDC_WMTEXT_TEXT             1141
#define IDC_WMTEXT_FONT             1142
#define IDC_WMTEXT_COLOR            1143
#define IDC_WMTEXT_BACK             1144
#define IDC_WMTEXT_SAMPLE           1145
#define IDC_WATERMARK_CHECK         1161
#define IDC_WATERMARK_PREVIEW       1174
#define IDC_WATERMARK_GROUP         1175
#define IDC_WATERMARK_USE_IMAGE     1176
#define IDC_WATERMARK_USE_TEXT      1177
#define IDC_WATERMARK_IMAGE_DIR     1178
#define IDC_WATERMARK_BROWSE        1179
#define IDC_WATERMARK_TEXT_SAMPLE   1180
#define IDC_WATERMARK_EDIT_TEXT     1181
#define IDC_WATERMARK_DETAIL_GROUP  1182
#define IDC_WATERMARK_LOCATION_LABEL 1183
#define IDC_WATERMARK_LOCATION      1184
#define IDC_WATERMARK_HMARGIN_LABEL 1185
#define IDC_WATERMARK_HMARGIN       1186
#define IDC_WATERMARK_VMARGIN_LABEL 1187
#define IDC_WATERMARK_VMARGIN       1188
#define IDC_WATERMARK_ROTATE_LABEL  1189
#define IDC_WATERMARK_ROTATE        1190
#define IDC_WATERMARK_ROTATION      1191
#define IDC_WATERMARK_ROTATION_TEXT 1192
#define IDC_WATERMARK_ALPHA_LABEL   1193
#define IDC_WATERMARK_ALPHA         1194
#define IDC_WATERMARK_ALPHA_TEXT    1195
#define IDC_WATERMARK_HIDE_COLOR    1196
#define IDC_WATERMARK_RED_LABEL     1197
#define IDC_WATERMARK_GREEN_LABEL   1198
#define IDC_WATERMARK_BLUE_LABEL    1199
#define IDC_WATERMARK_RED_SLIDER    1200
#define IDC_WATERMARK_GREEN_SLIDER  1201
#define IDC_WATERMARK_BLUE_SLIDER   1202
#define IDC_WATERMARK_RED           1203
#define IDC_WATERMARK_GREEN         1204
#define IDC_WATERMARK_BLUE          1205
#define IDC_WATERMARK_SWATCH        1206
#define IDC_WATERMARK_PREVIEW_VIEW  1208
#define IDC_WATERMARK_PICK          1209

// Navigator capture frame: template, caption buttons, tool tips and statuses
#define IDD_NAVIGATOR               162
#define IDB_NAVIGATOR_BUTTONS       181
#define IDS_NAV_CLOSE               5023
#define IDS_NAV_CAPTURE             5024
#define IDS_NAV_CONTINUE            5025
#define IDS_NAV_SPEED               5026
#define IDS_NAV_READY               5027
#define IDS_NAV_SPEED_START         5050
#define IDS_NAV_SPEED_POINT         5051
#define IDS_NAV_SPEED_COUNT         5052
#define IDS_NAV_ONE_SECOND          5053
#define IDS_NAV_TWO_SECONDS         5054
#define IDS_NAV_THREE_SECONDS       5055
#define IDS_NAV_SPEED_DONE          5056
#define IDS_NAV_SERIES_START        5060
#define IDS_NAV_SERIES_END          5061
#define IDS_CONTINUE_CLOSE_UNSAVED  5098
#define IDS_CONTINUE_DISCARD_UNSAVED 5099

// Batch watermark tool
#define IDD_WATERMARK_TOOL          211
#define IDC_WMTOOL_FILES            1400
#define IDC_WMTOOL_ADD              1401
#define IDC_WMTOOL_REMOVE           1402
#define IDC_WMTOOL_CLEAR            1403
#define IDC_WMTOOL_FOLDER           1404
#define IDC_WMTOOL_BROWSE_FOLDER    1405
#define IDC_WMTOOL_IMAGE            1406
#define IDC_WMTOOL_BROWSE_IMAGE     1407
#define IDC_WMTOOL_TEXT             1408
#define IDC_WMTOOL_PREVIEW          1409
#define IDC_WMTOOL_PROGRESS         1410
#define IDC_WMTOOL_STATUS           1411
#define IDC_WMTOOL_START            1412
#define IDC_WMTOOL_STOP             1413
#define IDC_WMTOOL_PREVIEW_LABEL    1414
#define IDC_WMTOOL_FOLDER_LABEL     1415
#define IDC_WMTOOL_IMAGE_LABEL      1416
#define IDC_WMTOOL_FILES_LABEL      1417

// Icons, bitmaps, sounds
#define IDR_MAINFRAME               128
#define IDB_TOOLBAR                 130
#define IDI_SAVED_DC                142
#define IDI_SAVED_FILES             143
#define IDI_OPTIONS_FILE            223
#define IDI_OPTIONS_MISC            228
#define IDI_OPTIONS_WATERMARK       229
#define IDR_SHUTTER_WAVE            232

// Menus and accelerators
#define IDR_MENU_TOOL               135
#define IDR_MENU_OPTIONS            136
#define IDR_ACCELERATOR             137
#define IDR_MENU_FILE               244
#define IDR_MENU_TOOLBAR            246
#define IDR_MENU_TRAY               257

// Strings
#define IDS_ABOUTBOX                101
#define IDS_APP_CAPTION             103
#define IDS_LEAVE_UNSAVED_DC        5096
#define IDS_SHUTDOWN_UNSAVED_DC     5097
#define IDS_LEAVE_CONFIRM           5093
#define IDS_LEAVE_UNSAVED_FRAMES    5094
#define IDS_SHUTDOWN_UNSAVED_FRAMES 5095
#define IDS_SAVED_FILES_TAB         132
#define IDS_SAVED_DC_TAB            134
#define IDS_OPTIONS_UNSAVED         5080
#define IDS_SETTINGS_NOT_SAVED      5081
#define IDS_SETTINGS_DAMAGED        5082
#define IDS_CAPTURE_PATH_TOO_LONG   5083
#define IDS_SETTINGS_UNUSABLE       5084
#define IDS_DELETE_FAILED           5089
#define IDS_OVERWRITE_CHANGED_FILE  5090
#define IDS_DELETE_LEFT_FILE        5125
#define IDS_SETTINGS_PATH_TOO_LONG  5110
#define IDS_SETTINGS_NOT_CONVERTED  5111
#define IDS_CAPTURE_FOLDER_FAILED   5112
#define IDS_CAPTURE_NO_FREE_NAME    5113
#define IDS_FILE_NAME_INVALID       5114
#define IDS_NOTHING_TO_SAVE_AS      5130

// Controls
#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif
#define IDC_FILE_LIST               1005
#define IDC_DC_LIST                 1006
#define IDC_PANE_TABS               1012
#define IDC_SPLITTER                1004
#define IDC_OPTIONS_TREE            1157
#define IDC_ABOUT_LINE1             1300
#define IDC_ABOUT_LINE2             1301
#define IDC_ABOUT_VERSION           1302
#define IDC_ABOUT_DATE              1303
#define IDW_REBAR                   0xE804
#define IDW_TOOLBAR                 0xE800

// System-menu command of the about box
#define IDM_ABOUTBOX                0x0010

// Tool-list buttons of the work area (their tooltips are the strings of the
// same numbers) and the web page tab's controls and texts (resources/workarea.rc)
#define IDC_TOOL_FIRST              5000
#define IDC_TOOL_LAST               5010
#define IDC_WEB_ADDRESS             5201
#define IDC_WEB_GO                  5202
#define IDC_WEB_CAPTURE             5203
#define IDC_WEB_MESSAGE             5204
#define IDS_TOOL_LIST_TAB           5210
#define IDS_WEB_GO                  5211
#define IDS_WEB_CAPTURE             5212
#define IDS_WEB_NO_ENGINE           5213
#define IDS_WEB_NO_CONTROL          5214
#define IDS_WEB_LOADING             5215
#define IDS_WEB_EMPTY_PAGE          5216
#define IDS_WEB_PAGE_CAPPED         5217
#define IDS_WEB_CAPTURE_FAILED      5218
#define IDS_IMAGE_UNREADABLE        5240
#define IDS_IMAGE_NOT_FOUND         5241
#define IDS_IMAGE_IN_USE            5242
#define IDS_IMAGE_OPEN_FAILED       5243
#define IDS_IMAGE_EMPTY             5244
#define IDS_IMAGE_DAMAGED           5245

// Commands
#define ID_CAPTURE_FULLSCREEN       32773
#define ID_CAPTURE_NAVIGATOR        32776
#define ID_CAPTURE_WEBPAGE          32780
#define ID_WEB_IMAGE                32782
#define ID_CAPTURE_CURSOR           32784
#define ID_CAPTURE_CONTROL          32786
#define ID_OPTIONS_FILE             32788
#define ID_OPTIONS_WATERMARK        32790
#define ID_OPTIONS_MISC             32793
#define ID_TB_SAVE                  32804
#define ID_TB_TOOLS                 32805
#define ID_COLOR_BAR                32806
#define ID_TB_WATERMARK             32807
#define ID_TB_GIF                   32808
#define ID_TB_OPTIONS               32809
#define ID_CAPTURE_DYNAMIC_MOUSE    32822
#define ID_CAPTURE_STATIC_MOUSE     32825
#define ID_CAPTURE_DYNAMIC_TRACKER  32828
#define ID_CAPTURE_STATIC_TRACKER   32839
#define ID_FILE_SAVE_ITEM           32935
#define ID_FILE_SAVE_ITEM_AS        32936
#define ID_FILE_DELETE_ITEM         32937
#define ID_TOOLBAR_QUICK_OPTIONS    32943
#define ID_TOOLBAR_COLOR_BAR        32944
#define ID_FILE_EXIT                32946
#define ID_TRAY_GIF                 32956
#define ID_TRAY_FULLSCREEN          32964
#define ID_TRAY_NAVIGATOR           32965
#define ID_TRAY_DYNAMIC_MOUSE       32966
#define ID_TRAY_DYNAMIC_TRACKER     32967
#define ID_TRAY_STATIC_MOUSE        32968
#define ID_TRAY_STATIC_TRACKER      32969
#define ID_TRAY_WEBPAGE             32970
#define ID_TRAY_WEB_IMAGE           32971
#define ID_TRAY_CONTROL             32972
#define ID_TRAY_CURSOR              32973
#define ID_TRAY_WATERMARK           32974
#define ID_TRAY_OPTIONS_FILE        32975
#define ID_TRAY_OPTIONS_WATERMARK   32976
#define ID_TRAY_OPTIONS_MISC        32977
#define ID_TRAY_EXIT                32978
#define ID_TRAY_RESTORE             32980

// Controls of the file and miscellaneous option pages; each label is also the
// id of its string.
#define IDC_FILE_FOLDER_GROUP       1162
#define IDC_FILE_NOTICE             1163
#define IDC_FILE_DIRECTORY          1164
#define IDC_FILE_BROWSE_FOLDER      1165
#define IDC_FILE_NAME_LABEL         1166
#define IDC_FILE_NAME               1167
#define IDC_FILE_TYPE_LABEL         1168
#define IDC_FILE_TYPE               1169
#define IDC_FILE_EDITOR_GROUP       1170
#define IDC_FILE_EDITED_CHECK       1171
#define IDC_FILE_BROWSE_EDITOR      1173
#define IDC_FILE_EDITED_TOOL        1207
#define IDC_MISC_WINDOW_START       1210
#define IDC_MISC_START_TRAY         1211
#define IDC_MISC_MOUSE_CURSOR       1212
#define IDC_MISC_LAYERED            1213
#define IDC_MISC_POINTER_EFFECT     1214
#define IDC_MISC_TOOLTIP_EFFECT     1215
#define IDC_MISC_SOUND_EFFECT       1216
#define IDC_MISC_COOKIE_HEADING     1218
#define IDC_MISC_COOKIE_LABEL       1219
#define IDC_MISC_COOKIE_NUMBER      1220
#define IDC_MISC_MAGNIFIER_EFFECT   1221
// Pointer, information and magnifier windows of the region captures
#define IDD_REGION_POINTER          164
#define IDD_MAGNIFIER               182
#define IDD_REGION_VIEW             184
#define IDB_REGION_VIEW_BACKGROUND  166
#define IDB_FRAME_CAPTION_RIGHT     167
#define IDB_FRAME_BOTTOM            168
#define IDB_FRAME_BOTTOM_LEFT       169
#define IDB_FRAME_BOTTOM_RIGHT      170
#define IDB_FRAME_LEFT              173
#define IDB_FRAME_RIGHT             176
#define IDB_FRAME_CAPTION_MIDDLE    179
#define IDB_FRAME_CAPTION_LEFT      180
#define IDC_MAGNIFIER_VIEW          1016
#define IDC_POINTER_VIEW            1017
#define IDS_POINTER_VIEW            5028
// Continuous-capture panel (template, controls, and the strings whose ids equal the control ids)
#define IDD_CONTINUE                187
#define IDC_CONTINUE_MODE_CAPTURE   1018
#define IDC_CONTINUE_MODE_FILES     1019
#define IDC_CONTINUE_MODE_DC        1020
#define IDC_CONTINUE_TIME           1021
#define IDC_CONTINUE_TIME_LABEL     1022
#define IDC_CONTINUE_COUNT_LABEL    1023
#define IDC_CONTINUE_COUNT          1024
#define IDC_CONTINUE_DONE           1025
#define IDC_CONTINUE_RESET          1026
#define IDC_CONTINUE_START          1027
#define IDC_CONTINUE_STOP           1028
#define IDC_CONTINUE_FRAMES         1029
#define IDC_CONTINUE_FRAME_TIME     1030
#define IDC_CONTINUE_FRAME_TIME_LABEL 1031
#define IDC_CONTINUE_SET_TIME       1032
#define IDC_CONTINUE_WIDTH_LABEL    1033
#define IDC_CONTINUE_WIDTH          1034
#define IDC_CONTINUE_HEIGHT_LABEL   1035
#define IDC_CONTINUE_HEIGHT         1036
#define IDC_CONTINUE_RESIZE_ALL     1037
#define IDC_CONTINUE_MAKE_GIF       1038
#define IDC_CONTINUE_KEEP_RATIO     1041
#define IDC_CONTINUE_DELETE         1042
#define IDC_CONTINUE_LOOP           1043
#define IDC_CONTINUE_SET_ALL_TIMES  1117
// Animated-GIF maker (template, controls) and its frame-size dialog
#define IDD_GIF_MAKER               189
#define IDD_GIF_RESIZE              190
#define IDC_GIF_FRAMES              1060
#define IDC_GIF_ADD                 1061
#define IDC_GIF_REMOVE              1062
#define IDC_GIF_UP                  1063
#define IDC_GIF_DOWN                1064
#define IDC_GIF_DELAY               1065
#define IDC_GIF_SET_DELAY           1066
#define IDC_GIF_SET_ALL_DELAYS      1067
#define IDC_GIF_TRANSPARENT         1068
#define IDC_GIF_LOOP                1069
#define IDC_GIF_PREVIEW             1070
#define IDC_GIF_PLAY                1071
#define IDC_GIF_RESIZE              1072
#define IDC_GIF_MAKE                1073
#define IDC_GIF_STOP                1074
#define IDC_GIF_PROGRESS            1075
#define IDC_GIF_STATUS              1076
#define IDC_GIF_DELAY_LABEL         1077
#define IDC_GIF_RESIZE_WIDTH        1080
#define IDC_GIF_RESIZE_HEIGHT       1081
#define IDC_GIF_RESIZE_KEEP_RATIO   1082
#define IDC_GIF_RESIZE_PREVIEW      1083
#define IDC_GIF_RESIZE_LEFT         1084
#define IDC_GIF_RESIZE_TOP          1085
#define IDC_GIF_RESIZE_RIGHT        1086
#define IDC_GIF_RESIZE_BOTTOM       1087

// Colour bar and quick options bar (the quick bar's template is IDD_QUICK_OPTIONS_BAR)
#define IDD_COLOR_BAR               105
#define IDW_COLOR_BAR               0xE820
#define IDW_QUICK_BAR               0xE821
#define IDC_COLOR_ZOOM_VIEW         1001
#define IDC_COLOR_SWATCH            1002
#define IDC_COLOR_TEXT              1003
#define IDC_COLOR_PICKED            1259
#define IDC_COLOR_ZOOM_LIST         1260
#define IDC_COLOR_EYEDROPPER        1261
#define IDC_COLOR_COPY              1262
#define IDC_QUICK_CURSOR            1222
#define IDC_QUICK_EDITOR            1223
#define IDC_QUICK_WATERMARK         1224
#define IDC_QUICK_KEEP_REGION       1225
#define IDC_QUICK_LABEL             1226
#define IDC_QUICK_HOMEPAGE          1227
#define IDC_QUICK_VERSION           1228
#define IDC_QUICK_TRAY              1253
#define IDI_QUICK_HOMEPAGE_ON       160
#define IDI_EYEDROPPER              209
#define IDI_QUICK_CURSOR_ON         233
#define IDI_QUICK_CURSOR_OFF        234
#define IDI_QUICK_EDITOR_ON         235
#define IDI_QUICK_EDITOR_OFF        236
#define IDI_QUICK_WATERMARK_ON      237
#define IDI_QUICK_WATERMARK_OFF     238
#define IDI_QUICK_KEEP_REGION_ON    239
#define IDI_QUICK_KEEP_REGION_OFF   240
#define IDI_QUICK_HOMEPAGE_OFF      241
#define IDI_QUICK_VERSION_ON        242
#define IDI_QUICK_VERSION_OFF       243
#define IDI_QUICK_TRAY_OFF          258
#define IDI_QUICK_TRAY_ON           259
#define IDI_COPY_COLOR              262

// Region capture windows
#define IDB_REGION_BUTTONS          185
