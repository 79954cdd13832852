// CFrameWnd: a frame that lays out docked control bars around one view. Used
// here as a child window inside a dialog; bars are docked, never floating.
#pragma once

#include "AfxDefs.h"
#include "ControlBar.h"
#include "Wnd.h"

class CView;

constexpr UINT reposDefault = 0;
constexpr UINT reposQuery = 1;
constexpr UINT reposExtra = 2;

class CFrameWnd : public CWnd {
public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    using CWnd::Create;
    // A null class name registers a plain frame class.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd = nullptr, LPCWSTR lpszMenuName = nullptr, DWORD dwExStyle = 0,
                CCreateContext* pContext = nullptr);

    // Places the visible bars along the sides and gives the view what is left.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // Lays out at the next WM_IDLEUPDATECMDUI.
    void DelayRecalcLayout(BOOL bNotify = TRUE);
    // Asks each bar child (WM_SIZEPARENT) for its strip, then puts nIDLeftOver
    // in the rest. reposQuery only measures into lpRectParam.
    void RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlag = reposDefault,
                        LPRECT lpRectParam = nullptr, LPCRECT lpRectClient = nullptr, BOOL bStretch = TRUE);

    void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay);
    // Sides (CBRS_ALIGN_*) bars may dock on in this frame.
    void EnableDocking(DWORD dwDockStyle) { m_dwDockStyle = dwDockStyle & CBRS_ALIGN_ANY; }
    // Docks the bar on the given side (AFX_IDW_DOCKBAR_*), or on the first
    // side both the bar and the frame allow.
    void DockControlBar(CControlBar* pBar, UINT nDockBarID = 0, LPCRECT lpRect = nullptr);

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
    // The rectangle the view got at the last layout, in client coordinates.
    CRect GetViewRect() const;

protected:
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
    afx_msg void OnSetFocus(CWnd* pOldWnd);

    CView* m_pViewActive = nullptr;
    DWORD m_dwDockStyle = 0;
    bool m_bLayoutPending = false;
    bool m_bInRecalcLayout = false;

    DECLARE_MESSAGE_MAP()
};
