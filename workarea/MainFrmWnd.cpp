#include "workarea/MainFrmWnd.h"

BEGIN_MESSAGE_MAP(CMainFrmWnd, CFrameWnd)
    ON_WM_CREATE()
END_MESSAGE_MAP()

CMainFrmWnd::CMainFrmWnd() : m_pView(std::make_unique<CFormViewWnd>()) {}

CMainFrmWnd::~CMainFrmWnd() {
    // Children first, while the view object is still alive.
    if (m_hWnd)
        DestroyWindow();
}

int CMainFrmWnd::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    EnableDocking(CBRS_ALIGN_ANY);
    CRect rect(0, 0, 0, 0);
    if (!m_pView->Create(this, rect, AFX_IDW_PANE_FIRST))
        return -1;
    SetActiveView(m_pView.get());
    m_pView->SendMessage(WM_INITIALUPDATE);
    return 0;
}

BOOL CMainFrmWnd::CreateDialogBar(CResizeableDlgBar& bar, UINT nIDTemplate, UINT nStyle, UINT nID) {
    if (!bar.Create(this, nIDTemplate, nStyle, nID))
        return FALSE;
    bar.m_sizeDocked = bar.m_sizeDefault;
    bar.m_sizeFloating = bar.m_sizeDefault;
    bar.m_bChangeDockedSize = TRUE;
    bar.EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&bar);
    return TRUE;
}

void CMainFrmWnd::AttachColorBar(CControlBar* pBar) {
    m_pColorBar = pBar;
}

void CMainFrmWnd::AttachQuickBar(CControlBar* pBar) {
    m_pQuickBar = pBar;
}

void CMainFrmWnd::ShowBar(CControlBar* pBar, BOOL bShow) {
    if (!pBar || !pBar->m_hWnd)
        return;
    ShowControlBar(pBar, bShow, FALSE);
    RecalcLayout(TRUE);
    // What the bar uncovers, and the view's children moved by the new layout, paint again.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
