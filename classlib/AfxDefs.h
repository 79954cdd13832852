// Common definitions of the class library: system headers, private messages,
// the root class and forward declarations.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

// Function-like macros of the system headers that clash with member names.
#undef GetNextWindow

#include <cstddef>
#include <cstdint>

// Marks message handlers in class declarations; expands to nothing.
#define afx_msg

#ifndef PASCAL
#define PASCAL __stdcall
#endif

// Private window messages of the class library.
constexpr UINT WM_SIZEPARENT = 0x0361;       // lParam: AFX_SIZEPARENTPARAMS*
constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;  // wParam: disable when no handler
constexpr UINT WM_INITIALUPDATE = 0x0364;    // sent to views after creation
constexpr UINT WM_KICKIDLE = 0x036A;         // wParam: MSGF_DIALOGBOX, lParam: idle count

// Base of the reflected-message numbers MFC code knows; reflection itself goes
// through the ON_*_REFLECT entries of the control's message map.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

// Command notification codes used by command routing.
constexpr int CN_COMMAND = 0;

// Modal loop flags.
constexpr DWORD MLF_NOIDLEMSG = 0x0001;
constexpr DWORD MLF_NOKICKIDLE = 0x0002;
constexpr DWORD MLF_SHOWONIDLE = 0x0004;

// Default string resource with the application's title.
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;

// Command and control ids the library gives meaning to.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif
#ifndef ID_APPLY_NOW
#define ID_APPLY_NOW 0x3021
#endif

// Root of the library's class tree: gives every object a virtual destructor
// so that temporary objects of any kind can be kept in one place.
class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
    virtual ~CObject() = default;
};

class CString;
class CPoint;
class CSize;
class CRect;
class CCmdTarget;
class CWnd;
class CDialog;
class CWinThread;
class CWinApp;
class CDC;
class CGdiObject;
class CPen;
class CBrush;
class CFont;
class CBitmap;
class CRgn;
class CPalette;
class CMenu;
class CImageList;
class CScrollBar;
class CDataExchange;
class COccManager;

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);
