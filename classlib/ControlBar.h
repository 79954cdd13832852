// CControlBar: the base of toolbars and dialog bars. Bars dock on the sides of
// their frame (CFrameWnd); floating bars are not supported.
#pragma once

#include "AfxDefs.h"
#include "Wnd.h"

// Bar styles kept in CControlBar::m_dwStyle (not in the window style).
constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
constexpr DWORD CBRS_BORDER_LEFT = 0x0100;
constexpr DWORD CBRS_BORDER_TOP = 0x0200;
constexpr DWORD CBRS_BORDER_RIGHT = 0x0400;
constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
constexpr DWORD CBRS_BORDER_ANY = 0x0F00;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_FLOAT_MULTI = 0x0040;
constexpr DWORD CBRS_BORDER_3D = 0x0080;
constexpr DWORD CBRS_HIDE_INPLACE = 0x0008;
constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0004;
constexpr DWORD CBRS_SIZE_FIXED = 0x0002;
constexpr DWORD CBRS_FLOATING = 0x0001;
constexpr DWORD CBRS_GRIPPER = 0x00400000;
constexpr DWORD CBRS_ALL = 0x0040FFFF;
constexpr DWORD CBRS_NOALIGN = 0;
constexpr DWORD CBRS_LEFT = CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
constexpr DWORD CBRS_RIGHT = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;

// Layout query modes of CalcDynamicLayout.
constexpr DWORD LM_STRETCH = 0x01;
constexpr DWORD LM_HORZ = 0x02;
constexpr DWORD LM_MRUWIDTH = 0x04;
constexpr DWORD LM_HORZDOCK = 0x08;
constexpr DWORD LM_VERTDOCK = 0x10;
constexpr DWORD LM_LENGTHY = 0x20;
constexpr DWORD LM_COMMIT = 0x40;

constexpr UINT AFX_IDW_TOOLBAR = 0xE800;
constexpr UINT AFX_IDW_CONTROLBAR_FIRST = 0xE800;
constexpr UINT AFX_IDW_CONTROLBAR_LAST = 0xE8FF;
constexpr UINT AFX_IDW_DIALOGBAR = 0xE805;
constexpr UINT AFX_IDW_DOCKBAR_TOP = 0xE81B;
constexpr UINT AFX_IDW_DOCKBAR_LEFT = 0xE81C;
constexpr UINT AFX_IDW_DOCKBAR_RIGHT = 0xE81D;
constexpr UINT AFX_IDW_DOCKBAR_BOTTOM = 0xE81E;
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;

// lParam of WM_SIZEPARENT: each bar takes its strip off rect.
struct AFX_SIZEPARENTPARAMS {
    HDWP hDWP;        // null when only measuring
    RECT rect;        // what is left for the next bar and the view
    SIZE sizeTotal;   // what the bars took
    BOOL bStretch;
};

class CFrameWnd;

class CControlBar : public CWnd {
public:
    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD dwStyle) { m_dwStyle = dwStyle; }
    // Size of the bar laid out along or across its dock.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    virtual CSize CalcDynamicLayout(int nLength, DWORD dwMode);

    // Sides (CBRS_ALIGN_*) the bar may dock on.
    void EnableDocking(DWORD dwDockStyle) { m_dwDockStyle = dwDockStyle & CBRS_ALIGN_ANY; }
    DWORD GetEnabledDocking() const { return m_dwDockStyle; }
    // The frame the bar docks in: its dock site, else its parent frame.
    CFrameWnd* GetDockingFrame() const;
    BOOL IsFloating() const { return FALSE; }
    // Visible now, or about to be shown at the next idle time.
    BOOL IsVisible() const;
    // Shows or hides the bar at the next WM_IDLEUPDATECMDUI.
    void DelayShow(BOOL bShow);
    // Shows or hides the bar now. A focus held inside a bar that hides goes to
    // its frame, which hands it on to its view: the system leaves it in the
    // hidden window, where keys reach nothing the user can see.
    void ShowNow(BOOL bShow);

    CFrameWnd* m_pDockSite = nullptr;

protected:
    enum : UINT { delayHide = 0x1, delayShow = 0x2 };
    // Applies a pending DelayShow; TRUE when the bar changed.
    BOOL ApplyDelayedShow();

    afx_msg LRESULT OnSizeParent(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);

    DWORD m_dwStyle = 0;
    DWORD m_dwDockStyle = 0;
    UINT m_nStateFlags = 0;
    CRect m_rectBorders;

    DECLARE_MESSAGE_MAP()
};
