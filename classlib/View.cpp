#include "View.h"

#include "Controls.h"
#include "Dialog.h"
#include "WinApp.h"

#include <algorithm>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------------------
// CView

BEGIN_MESSAGE_MAP(CView, CWnd)
    ON_WM_PAINT()
    ON_MESSAGE(WM_INITIALUPDATE, HandleInitialUpdate)
END_MESSAGE_MAP()

BOOL CView::PreCreateWindow(CREATESTRUCTW& cs) {
    if (!cs.lpszClass)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),  // IDC_ARROW
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    cs.style |= WS_CLIPSIBLINGS;
    return CWnd::PreCreateWindow(cs);
}

void CView::OnInitialUpdate() {
    OnUpdate(nullptr, 0, nullptr);
}

void CView::OnUpdate(CView*, LPARAM, CObject*) {
    Invalidate(TRUE);
}

void CView::OnPrepareDC(CDC*) {}

void CView::OnPaint() {
    CPaintDC dc(this);
    OnPrepareDC(&dc);
    OnDraw(&dc);
}

LRESULT CView::HandleInitialUpdate(WPARAM, LPARAM) {
    OnInitialUpdate();
    return 0;
}

// ---------------------------------------------------------------------------
// CScrollView

const SIZE CScrollView::sizeDefault = {0, 0};

BEGIN_MESSAGE_MAP(CScrollView, CView)
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
END_MESSAGE_MAP()

void CScrollView::SetScrollSizes(int nMapMode, SIZE sizeTotal, const SIZE& sizePage, const SIZE& sizeLine) {
    if (nMapMode != MM_TEXT || sizeTotal.cx < 0 || sizeTotal.cy < 0)
        return;
    m_nMapMode = nMapMode;
    m_totalLog = sizeTotal;
    m_totalDev = sizeTotal;  // MM_TEXT: logical units are pixels
    m_pageDev = sizePage;
    m_lineDev = sizeLine;
    // The defaults: a tenth of the total per page, a tenth of a page per line.
    if (m_pageDev.cx == 0)
        m_pageDev.cx = m_totalDev.cx / 10;
    if (m_pageDev.cy == 0)
        m_pageDev.cy = m_totalDev.cy / 10;
    if (m_lineDev.cx == 0)
        m_lineDev.cx = m_pageDev.cx / 10;
    if (m_lineDev.cy == 0)
        m_lineDev.cy = m_pageDev.cy / 10;
    if (m_hWnd) {
        UpdateBars();
        Invalidate(TRUE);
    }
}

void CScrollView::GetDeviceScrollSizes(int& nMapMode, SIZE& sizeTotal, SIZE& sizePage, SIZE& sizeLine) const {
    nMapMode = m_nMapMode;
    sizeTotal = m_totalDev;
    sizePage = m_pageDev;
    sizeLine = m_lineDev;
}

CPoint CScrollView::GetDeviceScrollPosition() const {
    return CPoint(GetScrollPos(SB_HORZ), GetScrollPos(SB_VERT));
}

void CScrollView::OnPrepareDC(CDC* pDC) {
    if (pDC && m_nMapMode == MM_TEXT) {
        const CPoint pos = GetDeviceScrollPosition();
        pDC->SetMapMode(MM_TEXT);
        pDC->SetViewportOrg(-pos.x, -pos.y);
    }
    CView::OnPrepareDC(pDC);
}

void CScrollView::UpdateBars() {
    if (m_bInsideUpdate || !m_hWnd || m_nMapMode == 0)
        return;
    m_bInsideUpdate = true;
    const CPoint posOld = GetDeviceScrollPosition();
    // Showing one bar narrows the client area, which may call for the other.
    for (int pass = 0; pass < 2; ++pass) {
        CRect client;
        GetClientRect(&client);
        SCROLLINFO si = {};
        si.fMask = SIF_PAGE | SIF_RANGE | SIF_POS;
        si.nMin = 0;
        si.nMax = std::max(0, static_cast<int>(m_totalDev.cx) - 1);
        si.nPage = static_cast<UINT>(std::max(0, client.Width()));
        si.nPos = std::clamp(static_cast<int>(posOld.x), 0, std::max(0, static_cast<int>(m_totalDev.cx) - client.Width()));
        SetScrollInfo(SB_HORZ, &si, TRUE);
        si.nMax = std::max(0, static_cast<int>(m_totalDev.cy) - 1);
        si.nPage = static_cast<UINT>(std::max(0, client.Height()));
        si.nPos = std::clamp(static_cast<int>(posOld.y), 0, std::max(0, static_cast<int>(m_totalDev.cy) - client.Height()));
        SetScrollInfo(SB_VERT, &si, TRUE);
    }
    const CPoint posNew = GetDeviceScrollPosition();
    if (posNew != posOld)
        ::ScrollWindow(m_hWnd, posOld.x - posNew.x, posOld.y - posNew.y, nullptr, nullptr);
    m_bInsideUpdate = false;
}

void CScrollView::ScrollToPosition(POINT pt) {
    const CPoint posOld = GetDeviceScrollPosition();
    SetScrollPos(SB_HORZ, pt.x, TRUE);
    SetScrollPos(SB_VERT, pt.y, TRUE);
    const CPoint posNew = GetDeviceScrollPosition();  // clamped by the system
    if (posNew != posOld)
        ::ScrollWindow(m_hWnd, posOld.x - posNew.x, posOld.y - posNew.y, nullptr, nullptr);
}

void CScrollView::OnSize(UINT nType, int cx, int cy) {
    CView::OnSize(nType, cx, cy);
    UpdateBars();
}

void CScrollView::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    if (pScrollBar && pScrollBar->m_hWnd) {
        CView::OnHScroll(nSBCode, nPos, pScrollBar);  // a scroll bar control among the children
        return;
    }
    OnScroll(MAKEWORD(nSBCode, 0xFF), nPos);
}

void CScrollView::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    if (pScrollBar && pScrollBar->m_hWnd) {
        CView::OnVScroll(nSBCode, nPos, pScrollBar);
        return;
    }
    OnScroll(MAKEWORD(0xFF, nSBCode), nPos);
}

BOOL CScrollView::OnScroll(UINT nScrollCode, UINT, BOOL bDoScroll) {
    // Low byte: the horizontal code, high byte: the vertical one; 0xFF for none.
    auto target = [this](int nBar, UINT code, int page, int line) -> int {
        SCROLLINFO si = {};
        si.cbSize = sizeof(si);
        si.fMask = SIF_ALL;
        if (!::GetScrollInfo(m_hWnd, nBar, &si))
            return 0;
        switch (code) {
        case SB_TOP: return si.nMin;
        case SB_BOTTOM: return si.nMax;
        case SB_LINEUP: return si.nPos - std::max(line, 1);
        case SB_LINEDOWN: return si.nPos + std::max(line, 1);
        case SB_PAGEUP: return si.nPos - std::max(page, 1);
        case SB_PAGEDOWN: return si.nPos + std::max(page, 1);
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: return si.nTrackPos;  // 32-bit, unlike the message's nPos
        default: return si.nPos;
        }
    };
    const UINT codeH = LOBYTE(nScrollCode);
    const UINT codeV = HIBYTE(nScrollCode);
    const CPoint pos = GetDeviceScrollPosition();
    CSize by(0, 0);
    if (codeH != 0xFF)
        by.cx = target(SB_HORZ, codeH, m_pageDev.cx, m_lineDev.cx) - pos.x;
    if (codeV != 0xFF)
        by.cy = target(SB_VERT, codeV, m_pageDev.cy, m_lineDev.cy) - pos.y;
    return OnScrollBy(by, bDoScroll);
}

BOOL CScrollView::OnScrollBy(CSize sizeScroll, BOOL bDoScroll) {
    const CPoint pos = GetDeviceScrollPosition();
    const CPoint target(pos.x + sizeScroll.cx, pos.y + sizeScroll.cy);
    if (!bDoScroll)
        return target != pos;
    ScrollToPosition(target);
    return GetDeviceScrollPosition() != pos;
}

// ---------------------------------------------------------------------------
// CFormView

CFormView::CFormView(UINT nIDTemplate) : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)) {}

CFormView::CFormView(LPCWSTR lpszTemplateName) {
    if (lpszTemplateName && !IS_INTRESOURCE(lpszTemplateName)) {
        m_strTemplateName = lpszTemplateName;
        m_lpszTemplateName = m_strTemplateName;
    } else {
        m_lpszTemplateName = lpszTemplateName;
    }
}

INT_PTR CALLBACK CFormView::FormDlgProc(HWND, UINT, WPARAM, LPARAM) {
    // Everything reaches the object's window procedure first.
    return FALSE;
}

BOOL CFormView::Create(LPCWSTR, LPCWSTR, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                       CCreateContext*) {
    if (m_hWnd || !m_lpszTemplateName || !pParentWnd || !pParentWnd->m_hWnd)
        return FALSE;
    HINSTANCE hInst = nullptr;
    std::vector<BYTE> tmpl = AfxLoadDialogTemplate(m_lpszTemplateName, &hInst);
    if (tmpl.empty())
        return FALSE;
    // A form is a child whatever the template says; the caller's style decides the rest.
    AfxMakeChildTemplate(tmpl, dwStyle & ~static_cast<DWORD>(WS_VISIBLE | WS_POPUP));

    HookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamW(hInst, reinterpret_cast<LPCDLGTEMPLATE>(tmpl.data()),
                                             pParentWnd->m_hWnd, &CFormView::FormDlgProc, 0);
    if (!UnhookWindowCreate())
        PostNcDestroy();  // never bound, so no WM_NCDESTROY will come
    if (!hWnd)
        return FALSE;

    CRect rectTemplate;
    GetWindowRect(&rectTemplate);
    SetScrollSizes(MM_TEXT, rectTemplate.Size());
    SetDlgCtrlID(static_cast<int>(nID));
    SetWindowPos(nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (dwStyle & WS_VISIBLE)
        ShowWindow(SW_SHOWNORMAL);
    return TRUE;
}

void CFormView::OnInitialUpdate() {
    UpdateData(FALSE);
    CScrollView::OnInitialUpdate();
}

void CFormView::OnDraw(CDC*) {}

BOOL CFormView::PreTranslateMessage(MSG* pMsg) {
    if (CScrollView::PreTranslateMessage(pMsg))
        return TRUE;
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    return AfxIsDialogMessage(m_hWnd, pMsg);
}
