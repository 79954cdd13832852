#include "workarea/MainFrmWnd.h"

#include "widgets/WorkAreaFit.h"

#include <algorithm>

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
    if (bShow)
        MakeRoomForView();
    // What the bar uncovers, and the view's children moved by the new layout, paint again.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

int CMainFrmWnd::GetMinimumWidth() {
    if (!m_hWnd || !m_pView->m_hWnd)
        return 0;
    // The width the bars on show take, asked without moving anything. A
    // bar gives way to a narrow client, so they are asked with room to spare.
    constexpr int kRoom = 100000;
    CRect client, rest;
    GetClientRect(&client);
    const CRect roomy(0, 0, kRoom, client.Height());
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, AFX_IDW_PANE_FIRST, reposQuery, &rest, &roomy);
    return kRoom - rest.Width() + m_pView->GetMinimumWidth();
}

void CMainFrmWnd::MakeRoomForView() {
    CRect client;
    GetClientRect(&client);
    const int missing = GetMinimumWidth() - client.Width();
    CWnd* top = GetTopLevelParent();
    if (missing <= 0 || !top || top == this || top->IsZoomed() || top->IsIconic())
        return;
    CRect window;
    top->GetWindowRect(&window);
    const CRect work = WorkAreaOf(window);
    // No wider than the work area, unless it already was.
    window.right = window.left + std::max(window.Width(), std::min(window.Width() + missing, work.Width()));
    // Grown leftwards where the right edge would leave the work area.
    window = FitInside(window, work);
    top->SetWindowPos(nullptr, window.left, window.top, window.Width(), window.Height(),
                      SWP_NOZORDER | SWP_NOACTIVATE);
}
