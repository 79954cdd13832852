#include "FrameWnd.h"

#include "MessageMap.h"
#include "View.h"
#include "WinApp.h"

#include <algorithm>
#include <vector>

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_SETFOCUS()
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCWSTR lpszMenuName, DWORD dwExStyle, CCreateContext*) {
    if (!lpszClassName)
        lpszClassName = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                            reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HMENU hMenu = nullptr;
    if (lpszMenuName && !(dwStyle & WS_CHILD))
        hMenu = ::LoadMenuW(AfxGetInstanceHandle(), lpszMenuName);
    const HWND hWndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    if (!CWnd::CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, hWndParent, hMenu)) {
        if (hMenu)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

void CFrameWnd::RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlag, LPRECT lpRectParam,
                               LPCRECT lpRectClient, BOOL bStretch) {
    if (!m_hWnd)
        return;
    AFX_SIZEPARENTPARAMS layout = {};
    layout.bStretch = bStretch;
    if (lpRectClient)
        layout.rect = *lpRectClient;
    else
        ::GetClientRect(m_hWnd, &layout.rect);

    std::vector<HWND> children;
    for (HWND h = ::GetWindow(m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);

    layout.hDWP = nFlag == reposQuery ? nullptr : ::BeginDeferWindowPos(static_cast<int>(children.size()) + 1);

    HWND hLeftOver = nullptr;
    for (HWND h : children) {
        const UINT id = static_cast<UINT>(::GetDlgCtrlID(h));
        if (id == nIDLeftOver) {
            hLeftOver = h;
            continue;
        }
        // Bars are found by what they are, whatever their id.
        CWnd* pWnd = CWnd::FromHandlePermanent(h);
        const bool bBar = dynamic_cast<CControlBar*>(pWnd) != nullptr || (id >= nIDFirst && id <= nIDLast);
        if (bBar)
            ::SendMessageW(h, WM_SIZEPARENT, 0, reinterpret_cast<LPARAM>(&layout));
    }

    if (nFlag == reposQuery) {
        if (lpRectParam)
            *lpRectParam = layout.rect;
        return;
    }
    CRect rest(layout.rect);
    if (nFlag == reposExtra && lpRectParam) {
        rest.left += lpRectParam->left;
        rest.top += lpRectParam->top;
        rest.right -= lpRectParam->right;
        rest.bottom -= lpRectParam->bottom;
    }
    if (hLeftOver && layout.hDWP)
        layout.hDWP = ::DeferWindowPos(layout.hDWP, hLeftOver, nullptr, rest.left, rest.top,
                                       std::max(0, rest.Width()), std::max(0, rest.Height()),
                                       SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout.hDWP)
        ::EndDeferWindowPos(layout.hDWP);
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (!m_hWnd || m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = true;
    m_bLayoutPending = false;
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, AFX_IDW_PANE_FIRST);
    m_bInRecalcLayout = false;
}

void CFrameWnd::DelayRecalcLayout(BOOL) {
    m_bLayoutPending = true;
}

CRect CFrameWnd::GetViewRect() const {
    CRect rect;
    HWND hView = m_hWnd ? ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST) : nullptr;
    if (hView) {
        ::GetWindowRect(hView, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&rect), 2);
    }
    return rect;
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay) {
    if (!pBar || !pBar->m_hWnd)
        return;
    CFrameWnd* pFrame = pBar->GetDockingFrame();
    if (!pFrame)
        pFrame = this;
    if (bDelay) {
        pBar->DelayShow(bShow);
        pFrame->DelayRecalcLayout();
        return;
    }
    pBar->ShowNow(bShow);
    pBar->DelayShow(bShow);  // drops a delayed change still pending
    pFrame->RecalcLayout(FALSE);
}

void CFrameWnd::DockControlBar(CControlBar* pBar, UINT nDockBarID, LPCRECT) {
    if (!pBar)
        return;
    DWORD align = 0;
    switch (nDockBarID) {
    case AFX_IDW_DOCKBAR_TOP: align = CBRS_ALIGN_TOP; break;
    case AFX_IDW_DOCKBAR_BOTTOM: align = CBRS_ALIGN_BOTTOM; break;
    case AFX_IDW_DOCKBAR_LEFT: align = CBRS_ALIGN_LEFT; break;
    case AFX_IDW_DOCKBAR_RIGHT: align = CBRS_ALIGN_RIGHT; break;
    default: {
        // The bar's own side when both allow it, else the first side both allow.
        const DWORD allowed = pBar->GetEnabledDocking() & m_dwDockStyle;
        const DWORD own = pBar->GetBarStyle() & CBRS_ALIGN_ANY;
        for (DWORD side : {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT}) {
            if (own & allowed & side) {
                align = side;
                break;
            }
        }
        for (DWORD side : {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT}) {
            if (!align && (allowed & side))
                align = side;
        }
        for (DWORD side : {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT}) {
            if (!align && (own & side))
                align = side;
        }
        if (!align)
            align = CBRS_ALIGN_TOP;
    }
    }
    pBar->SetBarStyle((pBar->GetBarStyle() & ~CBRS_ALIGN_ANY) | align);
    pBar->m_pDockSite = this;
    if (pBar->m_hWnd && ::GetParent(pBar->m_hWnd) != m_hWnd)
        ::SetParent(pBar->m_hWnd, m_hWnd);
    DelayRecalcLayout();
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL) {
    m_pViewActive = pViewNew;
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
    // A bar about to show or hide needs a new layout; the layout already
    // counts it as it will be, and the bar applies the change when it gets
    // this message after us.
    for (HWND h = ::GetWindow(m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        auto* pBar = dynamic_cast<CControlBar*>(CWnd::FromHandlePermanent(h));
        if (pBar && pBar->IsVisible() != ((pBar->GetStyle() & WS_VISIBLE) != 0))
            m_bLayoutPending = true;
    }
    if (m_bLayoutPending)
        RecalcLayout();
    return 0;
}

void CFrameWnd::OnSetFocus(CWnd* pOldWnd) {
    if (m_pViewActive && m_pViewActive->m_hWnd)
        m_pViewActive->SetFocus();
    else
        CWnd::OnSetFocus(pOldWnd);
}
