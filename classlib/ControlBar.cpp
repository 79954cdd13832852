#include "ControlBar.h"

#include "FrameWnd.h"
#include "MessageMap.h"

#include <algorithm>

CSize CControlBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    CRect rc;
    if (m_hWnd)
        GetWindowRect(&rc);
    CSize size = rc.Size();
    if (bStretch) {
        // A stretched bar takes the whole length of its dock.
        if (bHorz)
            size.cx = 32767;
        else
            size.cy = 32767;
    }
    return size;
}

CSize CControlBar::CalcDynamicLayout(int, DWORD dwMode) {
    return CalcFixedLayout((dwMode & LM_STRETCH) != 0, (dwMode & LM_HORZ) != 0);
}

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
    ON_MESSAGE(WM_SIZEPARENT, OnSizeParent)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CFrameWnd* CControlBar::GetDockingFrame() const {
    if (m_pDockSite)
        return m_pDockSite;
    return m_hWnd ? dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd))) : nullptr;
}

BOOL CControlBar::IsVisible() const {
    if (m_nStateFlags & delayHide)
        return FALSE;
    return (m_nStateFlags & delayShow) || (m_hWnd && (GetStyle() & WS_VISIBLE));
}

void CControlBar::DelayShow(BOOL bShow) {
    m_nStateFlags &= ~static_cast<UINT>(delayHide | delayShow);
    const BOOL bVisible = m_hWnd && (GetStyle() & WS_VISIBLE);
    if (bShow && !bVisible)
        m_nStateFlags |= delayShow;
    else if (!bShow && bVisible)
        m_nStateFlags |= delayHide;
}

BOOL CControlBar::ApplyDelayedShow() {
    UINT swp = 0;
    if (m_nStateFlags & delayHide)
        swp = SWP_HIDEWINDOW;
    else if (m_nStateFlags & delayShow)
        swp = SWP_SHOWWINDOW;
    m_nStateFlags &= ~static_cast<UINT>(delayHide | delayShow);
    if (!swp || !m_hWnd)
        return FALSE;
    ShowNow(swp == SWP_SHOWWINDOW);
    return TRUE;
}

void CControlBar::ShowNow(BOOL bShow) {
    if (!m_hWnd)
        return;
    SetWindowPos(nullptr, 0, 0, 0, 0,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | (bShow ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    const HWND focus = ::GetFocus();
    CFrameWnd* pFrame = GetDockingFrame();
    if (!bShow && focus && (focus == m_hWnd || ::IsChild(m_hWnd, focus)) && pFrame && pFrame->m_hWnd)
        pFrame->SetFocus();
}

LRESULT CControlBar::OnSizeParent(WPARAM, LPARAM lParam) {
    auto* layout = reinterpret_cast<AFX_SIZEPARENTPARAMS*>(lParam);
    if (!layout || !IsVisible())
        return 0;
    const DWORD align = m_dwStyle & CBRS_ALIGN_ANY;
    if (!align)
        return 0;
    const bool bHorz = (align & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0;
    CSize size = (m_dwStyle & CBRS_SIZE_DYNAMIC)
                     ? CalcDynamicLayout(-1, bHorz ? (LM_HORZ | LM_HORZDOCK) : LM_VERTDOCK)
                     : CalcFixedLayout(layout->bStretch, bHorz);
    CRect avail(layout->rect);
    size.cx = std::max(0L, std::min<LONG>(size.cx, avail.Width()));
    size.cy = std::max(0L, std::min<LONG>(size.cy, avail.Height()));
    CRect place;
    if (align & CBRS_ALIGN_TOP) {
        place = CRect(avail.left, avail.top, avail.left + size.cx, avail.top + size.cy);
        layout->rect.top += size.cy;
        layout->sizeTotal.cy += size.cy;
    } else if (align & CBRS_ALIGN_BOTTOM) {
        place = CRect(avail.left, avail.bottom - size.cy, avail.left + size.cx, avail.bottom);
        layout->rect.bottom -= size.cy;
        layout->sizeTotal.cy += size.cy;
    } else if (align & CBRS_ALIGN_LEFT) {
        place = CRect(avail.left, avail.top, avail.left + size.cx, avail.top + size.cy);
        layout->rect.left += size.cx;
        layout->sizeTotal.cx += size.cx;
    } else {
        place = CRect(avail.right - size.cx, avail.top, avail.right, avail.top + size.cy);
        layout->rect.right -= size.cx;
        layout->sizeTotal.cx += size.cx;
    }
    if (layout->hDWP)
        layout->hDWP = ::DeferWindowPos(layout->hDWP, m_hWnd, nullptr, place.left, place.top, place.Width(),
                                        place.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
    // Command-state updates are the bar owner's business; nothing is disabled here.
    ApplyDelayedShow();
    return 0;
}
