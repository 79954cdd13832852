#include "app/panes/DcTabWnd.h"

#include "app/panes/FileTabCtrl.h"
#include "app/panes/PaneResources.h"
#include "workarea/MainFrmWnd.h"

BEGIN_MESSAGE_MAP(CDcTabWnd, CResizableDialog)
    ON_WM_CTLCOLOR()
    ON_NOTIFY(NM_CLICK, IDC_DC_LIST, OnClickList)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_DC_LIST, OnItemChanged)
    ON_MESSAGE(CFileTabCtrl::WM_PANE_SHOWN, OnPaneShown)
END_MESSAGE_MAP()

CDcTabWnd::CDcTabWnd() : CResizableDialog(IDD_DC_TAB) {}

CDcTabWnd::~CDcTabWnd() {
    if (m_hWnd)
        DestroyWindow();
}

void CDcTabWnd::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DC_LIST, m_list);
}

BOOL CDcTabWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    m_pTabs = dynamic_cast<CFileTabCtrl*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
    m_list.Init();
    AddAnchor(IDC_DC_LIST, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    return TRUE;
}

void CDcTabWnd::AddItem(LPCWSTR lpszName, HBITMAP hBitmap) {
    m_list.Enqueue(lpszName, hBitmap);
    if (m_pTabs)
        m_pTabs->ChangeCountFromAnyThread(CFileTabCtrl::kDcTab, +1);
}

void CDcTabWnd::DeleteItem(int nIndex) {
    if (nIndex < 0 || nIndex >= m_list.GetItemCount())
        return;
    const CString name = m_list.GetItemText(nIndex, 0);
    m_list.RemoveItem(nIndex);
    if (m_pTabs)
        m_pTabs->DecrementCount(CFileTabCtrl::kDcTab);
    if (m_pWorkArea && m_pWorkArea->GetView())
        m_pWorkArea->GetView()->CloseFileTab(name, WorkTabSavedDc);

    if (nIndex == m_nSelectedIndex) {
        m_nSelectedIndex = -1;
        m_strSelectedName.Empty();
        m_hSelectedBitmap = nullptr;
    } else if (nIndex < m_nSelectedIndex) {
        --m_nSelectedIndex;
    }
}

HBRUSH CDcTabWnd::OnCtlColor(CDC* pDC, CWnd*, UINT) {
    if (pDC)
        ::SetBkMode(pDC->GetSafeHdc(), TRANSPARENT);
    return ::GetSysColorBrush(COLOR_WINDOW);
}

void CDcTabWnd::OnClickList(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SelectHighlighted();
    if (HasSelection())
        m_list.SetFocus();
}

// A key moves the highlight without a click: what it lands on is opened too.
void CDcTabWnd::OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (CThumbListCtrl::ChangesSelection(pNMHDR))
        SelectHighlighted();
}

// Brought up by the user: the work area shows what this pane highlights.
LRESULT CDcTabWnd::OnPaneShown(WPARAM, LPARAM) {
    if (m_list.GetHighlightedItem() >= 0)
        SelectHighlighted();
    return 0;
}

int CDcTabWnd::FindItem(LPCWSTR lpszTitle) const {
    return m_list.FindItem(m_nSelectedIndex, [&](int item) {
        return lpszTitle && CFormViewWnd::TitleOf(m_list.GetItemText(item, 0)) == lpszTitle;
    });
}

bool CDcTabWnd::ShowItem(LPCWSTR lpszTitle) {
    const int item = FindItem(lpszTitle);
    if (item >= 0)
        m_list.Highlight(item);
    return item >= 0;
}

void CDcTabWnd::SelectHighlighted() {
    const int sel = m_list.GetHighlightedItem();
    if (sel < 0) {
        m_nSelectedIndex = -1;
        m_strSelectedName.Empty();
        m_hSelectedBitmap = nullptr;
        return;
    }
    m_nSelectedIndex = sel;
    m_strSelectedName = m_list.GetItemText(sel, 0);
    m_hSelectedBitmap = reinterpret_cast<HBITMAP>(m_list.GetItemData(sel));
    // A highlight that follows the work area needs nothing opened.
    if (m_pWorkArea && m_pWorkArea->GetView() && !m_list.IsHighlighting()) {
        m_pWorkArea->GetView()->OpenTab(m_strSelectedName, WorkTabSavedDc,
                                        reinterpret_cast<DWORD_PTR>(m_hSelectedBitmap));
        m_pWorkArea->ShowBar(m_pWorkArea->GetImageToolBar(), TRUE);
    }
}

BOOL CDcTabWnd::DestroyWindow() {
    m_list.StopWorker();
    return CResizableDialog::DestroyWindow();
}
