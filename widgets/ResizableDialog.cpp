#include "widgets/ResizableDialog.h"

BEGIN_MESSAGE_MAP(CResizableDialog, CDialog)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_ERASEBKGND()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CResizableDialog::CResizableDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

CResizableDialog::CResizableDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd)
    : CDialog(lpszTemplateName, pParentWnd) {}

int CResizableDialog::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CDialog::OnCreate(lpCreateStruct) == -1)
        return -1;

    const bool bChild = (GetStyle() & WS_CHILD) != 0;
    if (!bChild) {
        // Trade the fixed frame for a sizing one, keeping the client area's size.
        CRect rect;
        GetClientRect(&rect);
        ModifyStyle(DS_MODALFRAME, WS_POPUP | WS_THICKFRAME);
        ::AdjustWindowRectEx(&rect, GetStyle(), ::IsMenu(::GetMenu(m_hWnd)), GetExStyle());
        SetWindowPos(nullptr, 0, 0, rect.Width(), rect.Height(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        SetMinTrackSize(rect.Size());
    }
    return CreateGrip(!bChild, TRUE) ? 0 : -1;
}

void CResizableDialog::OnSize(UINT nType, int cx, int cy) {
    // Called directly, there is no WM_SIZE to hand to the default processing.
    const MSG* pMsg = AfxGetCurrentMessage();
    if (pMsg->message == WM_SIZE && pMsg->hwnd == m_hWnd)
        CDialog::OnSize(nType, cx, cy);
    if (nType == SIZE_MAXHIDE || nType == SIZE_MAXSHOW)
        return;  // another window was maximised or restored
    if (nType == SIZE_MAXIMIZED)
        DenyGripReason(m_dwGripTempState, GRIP_NOT_MAXIMIZED);
    else
        AllowGripReason(m_dwGripTempState, GRIP_NOT_MAXIMIZED);
    PlaceGrip();
    ArrangeChildren();
}

void CResizableDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
    CDialog::OnGetMinMaxInfo(lpMMI);
    MinMaxInfo(lpMMI);
}

BOOL CResizableDialog::OnEraseBkgnd(CDC* pDC) {
    EraseBackgroundClipped(pDC);
    return TRUE;
}

void CResizableDialog::OnDestroy() {
    RemoveAllAnchors();
    CDialog::OnDestroy();
}
