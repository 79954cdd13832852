// Private window messages that cross windows of the program.
#pragma once

#include "Afx.h"

constexpr UINT WM_CAPTURE_DONE = WM_APP + 1;         // posted; lParam: worker slot
constexpr UINT WM_REGION_REFRESH = WM_APP + 3;       // posted
constexpr UINT WM_GIF_DONE = WM_APP + 4;             // posted
constexpr UINT WM_GIF_PROGRESS = WM_APP + 5;         // posted; wParam total, lParam index
constexpr UINT WM_WATERMARK_FILE_DONE = WM_APP + 6;  // posted
constexpr UINT WM_SET_SAVE_TARGET = WM_APP + 7;      // posted; lParam 0 files, 1 saved-DC list
constexpr UINT WM_RENDER_ITEMS = WM_APP + 8;         // sent
constexpr UINT WM_DOWNLOAD_FILE_DONE = WM_APP + 9;   // posted
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_APP + 10;   // posted
constexpr UINT WM_DOWNLOAD_TOTAL = WM_APP + 11;      // posted
constexpr UINT WM_TRAY_NOTIFY = WM_APP + 12;         // tray icon callback; lParam: mouse message
constexpr UINT WM_GO_TRAY = WM_APP + 14;             // posted: hide into the notification area

// lParam of WM_TRAY_NOTIFY with which the tray menu's restore entry asks to restore.
constexpr LPARAM TRAY_RESTORE = 0x800D;
