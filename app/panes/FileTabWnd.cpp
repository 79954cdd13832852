#include "app/panes/FileTabWnd.h"

#include "app/panes/FileTabCtrl.h"
#include "app/panes/PaneResources.h"
#include "workarea/ImagePreviewWnd.h"
#include "workarea/MainFrmWnd.h"

BEGIN_MESSAGE_MAP(CFileTabWnd, CResizableDialog)
    ON_NOTIFY(NM_CLICK, IDC_FILE_LIST, OnClickList)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_FILE_LIST, OnItemChanged)
    ON_MESSAGE(CFileTabCtrl::WM_PANE_SHOWN, OnPaneShown)
END_MESSAGE_MAP()

CFileTabWnd::CFileTabWnd() : CResizableDialog(IDD_FILE_TAB) {}

CFileTabWnd::~CFileTabWnd() {
    if (m_hWnd)
        DestroyWindow();
}

void CFileTabWnd::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILE_LIST, m_list);
}

BOOL CFileTabWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    // The pane lives inside the tab strip that counts its items.
    m_pTabs = dynamic_cast<CFileTabCtrl*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
    m_list.StartLoader();
    AddAnchor(IDC_FILE_LIST, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    return TRUE;
}

void CFileTabWnd::SetWorkArea(CMainFrmWnd* pWorkArea) {
    m_pWorkArea = pWorkArea;
    if (m_pWorkArea && m_pWorkArea->GetView())
        m_pWorkArea->GetView()->SetFileReadHandler([this](LPCWSTR path) { m_list.QueueRedraw(path); });
}

void CFileTabWnd::AddItem(LPCWSTR lpszPath) {
    m_list.QueueFile(lpszPath);
    if (m_pTabs)
        m_pTabs->ChangeCountFromAnyThread(CFileTabCtrl::kFileTab, +1);
}

void CFileTabWnd::AddOrRenewItem(LPCWSTR lpszPath) {
    if (!m_list.ListsFile(lpszPath)) {
        AddItem(lpszPath);
        return;
    }
    m_list.QueueRedraw(lpszPath);
    CFormViewWnd* view = m_pWorkArea ? m_pWorkArea->GetView() : nullptr;
    const CImagePreviewWnd* shown = view ? view->GetCurrentPane() : nullptr;
    if (shown && shown->GetSourcePath().CompareNoCase(lpszPath) == 0)
        view->RereadCurrentFile();
}

void CFileTabWnd::DeleteItem(int nIndex) {
    if (nIndex < 0 || nIndex >= m_list.GetItemCount())
        return;
    CString* pPath = m_list.GetItemPath(nIndex);
    const CString path = pPath ? *pPath : CString();
    delete pPath;
    m_list.SetItemData(nIndex, 0);
    m_list.RemoveItem(nIndex);
    if (m_pTabs)
        m_pTabs->DecrementCount(CFileTabCtrl::kFileTab);
    if (m_pWorkArea && m_pWorkArea->GetView())
        m_pWorkArea->GetView()->CloseFileTab(path, WorkTabSavedFile);

    if (nIndex == m_nSelectedIndex) {
        m_nSelectedIndex = -1;
        m_strSelectedPath.Empty();
    } else if (nIndex < m_nSelectedIndex) {
        --m_nSelectedIndex;
    }
}

void CFileTabWnd::OnClickList(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SelectHighlighted();
    if (HasSelection())
        m_list.SetFocus();
}

// A key moves the highlight without a click: what it lands on is opened too,
// so that save and delete act on the file the user sees.
void CFileTabWnd::OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (CThumbListCtrl::ChangesSelection(pNMHDR))
        SelectHighlighted();
}

// Brought up by the user: the work area shows what this pane highlights.
LRESULT CFileTabWnd::OnPaneShown(WPARAM, LPARAM) {
    if (m_list.GetHighlightedItem() >= 0)
        SelectHighlighted();
    return 0;
}

int CFileTabWnd::FindItem(LPCWSTR lpszPath) const {
    return m_list.FindItem(m_nSelectedIndex, [&](int item) {
        const CString* pPath = m_list.GetItemPath(item);
        return pPath && lpszPath && pPath->CompareNoCase(lpszPath) == 0;
    });
}

bool CFileTabWnd::ShowItem(LPCWSTR lpszPath) {
    const int item = FindItem(lpszPath);
    if (item >= 0)
        m_list.Highlight(item);
    return item >= 0;
}

void CFileTabWnd::SelectHighlighted() {
    const int sel = m_list.GetHighlightedItem();
    CString* pPath = m_list.GetItemPath(sel);
    if (!pPath) {
        m_nSelectedIndex = -1;
        m_strSelectedPath.Empty();
        return;
    }
    m_nSelectedIndex = sel;
    m_strSelectedPath = *pPath;
    // A highlight that follows the work area needs nothing opened.
    if (m_pWorkArea && m_pWorkArea->GetView() && !m_list.IsHighlighting()) {
        m_pWorkArea->GetView()->OpenTab(m_strSelectedPath, WorkTabSavedFile, 0);
        m_pWorkArea->ShowBar(m_pWorkArea->GetPaletteBar(), TRUE);
    }
}

BOOL CFileTabWnd::PreTranslateMessage(MSG* pMsg) {
    // Enter must never end the pane.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || ::GetAsyncKeyState(VK_RETURN) < 0))
        return TRUE;
    return CResizableDialog::PreTranslateMessage(pMsg);
}

void CFileTabWnd::FreeItemPaths() {
    if (!m_list.m_hWnd)
        return;
    const int count = m_list.GetItemCount();
    for (int i = 0; i < count; ++i) {
        delete m_list.GetItemPath(i);
        m_list.SetItemData(i, 0);
    }
}

BOOL CFileTabWnd::DestroyWindow() {
    m_list.StopWorker();
    FreeItemPaths();
    return CResizableDialog::DestroyWindow();
}
