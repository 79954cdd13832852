#include "widgets/ResizableFormView.h"

BEGIN_MESSAGE_MAP(CResizableFormView, CFormView)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_ERASEBKGND()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CResizableFormView::CResizableFormView(UINT nIDTemplate) : CFormView(nIDTemplate) {}

CResizableFormView::CResizableFormView(LPCWSTR lpszTemplateName) : CFormView(lpszTemplateName) {}

int CResizableFormView::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CFormView::OnCreate(lpCreateStruct) == -1)
        return -1;
    return CreateGrip(TRUE, TRUE) ? 0 : -1;
}

void CResizableFormView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    m_bInitDone = TRUE;
    ArrangeChildren();
}

void CResizableFormView::OnSize(UINT nType, int cx, int cy) {
    CFormView::OnSize(nType, cx, cy);

    HWND hParent = ::GetParent(m_hWnd);
    if (hParent && ::IsZoomed(hParent))
        DenyGripReason(m_dwGripTempState, GRIP_PARENT_RESTORED);
    else
        AllowGripReason(m_dwGripTempState, GRIP_PARENT_RESTORED);

    const CSize total = GetTotalSize();
    if (cx < total.cx || cy < total.cy)
        DenyGripReason(m_dwGripTempState, GRIP_FORM_FITS);
    else
        AllowGripReason(m_dwGripTempState, GRIP_FORM_FITS);

    bool bAtCorner = false;
    if (hParent && (::GetWindowLongW(hParent, GWL_STYLE) & WS_THICKFRAME)) {
        CRect rectView;
        GetWindowRect(&rectView);
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&rectView), 2);
        rectView.NormalizeRect();
        CRect rectParent;
        ::GetClientRect(hParent, &rectParent);
        bAtCorner = rectView.right == rectParent.right && rectView.bottom == rectParent.bottom;
    }
    if (bAtCorner)
        AllowGripReason(m_dwGripTempState, GRIP_AT_CORNER);
    else
        DenyGripReason(m_dwGripTempState, GRIP_AT_CORNER);

    PlaceGrip();
    ArrangeChildren();
}

void CResizableFormView::GetLayoutClientRect(LPRECT lpRect) {
    CRect rect;
    GetClientRect(&rect);
    const CSize total = GetTotalSize();
    if (!m_bInitDone) {
        // Before the first update the controls sit where the template put them.
        rect.right = rect.left + total.cx;
        rect.bottom = rect.top + total.cy;
    } else if (m_nMapMode >= 0) {
        // Anchors resolve over the whole scrollable form.
        if (rect.Width() < total.cx)
            rect.right = rect.left + total.cx;
        if (rect.Height() < total.cy)
            rect.bottom = rect.top + total.cy;
        const CPoint pos = GetScrollPosition();
        rect.OffsetRect(-pos.x, -pos.y);
    }
    *lpRect = rect;
}

void CResizableFormView::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
    CFormView::OnGetMinMaxInfo(lpMMI);
    MinMaxInfo(lpMMI);
}

BOOL CResizableFormView::OnEraseBkgnd(CDC* pDC) {
    EraseBackgroundClipped(pDC);
    return TRUE;
}

void CResizableFormView::OnDestroy() {
    RemoveAllAnchors();
    CFormView::OnDestroy();
}
