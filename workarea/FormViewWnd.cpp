#include "workarea/FormViewWnd.h"

#include "image/DibImage.h"
#include "workarea/ImagePreviewWnd.h"
#include "workarea/ToolListWnd.h"
#include "workarea/WorkText.h"
#include "workarea/web/FormWebpageWnd.h"
#include "resources/resource.h"

namespace {
constexpr UINT IDC_WORK_TABS = 100;
constexpr UINT kFirstPaneID = 1000;

bool IsImageKind(WorkTabKind kind) {
    return kind == WorkTabSavedFile || kind == WorkTabSavedDc;
}

// Why `path` gave no picture, in our words; the decoder's own complaint
// follows in parentheses.
CString UnreadableReason(LPCWSTR path, const CDibImage& image) {
    const HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return LoadText(IDS_IMAGE_NOT_FOUND);
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED)
            return LoadText(IDS_IMAGE_IN_USE);
        CString reason;
        reason.Format(LoadText(IDS_IMAGE_OPEN_FAILED), error);
        return reason;
    }
    LARGE_INTEGER size = {};
    const bool empty = ::GetFileSizeEx(file, &size) && size.QuadPart == 0;
    ::CloseHandle(file);
    if (empty)
        return LoadText(IDS_IMAGE_EMPTY);
    CString reason;
    reason.Format(LoadText(IDS_IMAGE_DAMAGED), CString(image.GetLastError()).GetString());
    return reason;
}

// The stamp is taken first: a write during the read shows as a change later.
// A file that gives no picture leaves in `failure` the tab's text saying why.
bool ReadImageFile(LPCWSTR path, CDibImage& image, FileStamp& stamp, CString& failure) {
    stamp = FileStamp::Of(path);
    // The decoder of the extension's format goes first: when every decoder
    // fails, its complaint is kept, which says more than "unknown format".
    const wchar_t* dot = path ? wcsrchr(path, L'.') : nullptr;
    const wchar_t* slash = path ? wcsrchr(path, L'\\') : nullptr;
    const DWORD formatId = dot && (!slash || dot > slash) ? CDibImage::GetTypeIdFromName(dot + 1) : 0;
    if (path && image.Load(path, formatId) && image.IsValid())
        return true;
    failure.Format(LoadText(IDS_IMAGE_UNREADABLE), path ? path : L"", UnreadableReason(path, image).GetString());
    return false;
}
}  // namespace

BEGIN_MESSAGE_MAP(CFormViewWnd, CView)
    ON_WM_SIZE()
    ON_WM_ERASEBKGND()
    ON_WM_SETFOCUS()
    ON_NOTIFY(TCN_SELCHANGE, IDC_WORK_TABS, OnTabChange)
    ON_MESSAGE(WM_WEBPAGE_CLOSE, OnWebPageClose)
END_MESSAGE_MAP()

CFormViewWnd::CFormViewWnd() = default;

CFormViewWnd::~CFormViewWnd() {
    // Panes are children: destroy them while this object is still whole.
    if (m_hWnd)
        DestroyWindow();
    m_tabs.clear();
}

BOOL CFormViewWnd::Create(CWnd* pParentWnd, const RECT& rect, UINT nID) {
    LPCWSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (!CView::Create(cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect, pParentWnd, nID))
        return FALSE;
    CRect client;
    GetClientRect(&client);
    if (!m_wndTabs.Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_FOCUSNEVER, client, this, IDC_WORK_TABS))
        return FALSE;
    m_wndTabs.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);

    // The tool list is always there, as the first tab.
    auto tools = std::make_unique<CToolListWnd>();
    CString title;
    title.LoadString(IDS_TOOL_LIST_TAB);
    if (!tools->Create(this, CRect(0, 0, 0, 0), kFirstPaneID + m_nNextPaneID++) ||
        !AddTab(title, WorkTabToolList, std::move(tools)))
        return FALSE;
    return TRUE;
}

CString CFormViewWnd::TitleOf(LPCWSTR lpszPath) {
    CString path(lpszPath ? lpszPath : L"");
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? path : path.Mid(slash + 1);
}

int CFormViewWnd::FindTab(const CString& title) const {
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        if (m_tabs[i].title == title)
            return static_cast<int>(i);
    }
    return -1;
}

bool CFormViewWnd::AddTab(const CString& title, WorkTabKind kind, std::unique_ptr<CWnd> pane) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(title));
    const int index = static_cast<int>(m_tabs.size());
    if (m_wndTabs.InsertItem(index, &item) < 0)
        return false;
    m_tabs.push_back({title, kind, std::move(pane)});
    SelectTab(index);
    return true;
}

void CFormViewWnd::OpenTab(LPCWSTR lpszName, int nKind, DWORD_PTR dwData) {
    if (!m_hWnd || (!IsImageKind(static_cast<WorkTabKind>(nKind)) && nKind != WorkTabWebPage))
        return;
    const CString title = nKind == WorkTabWebPage ? CString(kWebPageTitle) : TitleOf(lpszName);
    if (const int existing = FindTab(title); existing >= 0) {
        if (nKind == WorkTabSavedFile)
            RefreshFileTab(existing, lpszName);
        SelectTab(existing);
        return;
    }

    const UINT paneID = kFirstPaneID + m_nNextPaneID++;
    if (nKind == WorkTabWebPage) {
        auto web = std::make_unique<CFormWebpageWnd>();
        web->SetCaptureHandler(m_onPageCapture);
        if (web->Create(this, CRect(0, 0, 0, 0), paneID))
            AddTab(title, WorkTabWebPage, std::move(web));
        return;
    }

    CDibImage image;
    FileStamp stamp;
    CString failure;
    if (nKind == WorkTabSavedFile)
        ReadImageFile(lpszName, image, stamp, failure);
    else if (!dwData || !image.CreateFromHBITMAP(reinterpret_cast<HBITMAP>(dwData)) || !image.IsValid())
        return;  // nothing to show: no empty tab

    // A file that cannot be read gets its tab all the same, saying so, so that
    // the picture the user sees is never another item's.
    auto pane = std::make_unique<CImagePreviewWnd>();
    if (!pane->Create(this, CRect(0, 0, 0, 0), paneID))
        return;
    if (failure.IsEmpty())
        pane->SetImage(image);
    else
        pane->SetUnreadable(failure);
    if (nKind == WorkTabSavedFile)
        pane->SetSource(lpszName, stamp);
    if (AddTab(title, static_cast<WorkTabKind>(nKind), std::move(pane)) && nKind == WorkTabSavedFile && m_onFileRead)
        m_onFileRead(lpszName);
}

// Another program (the editing program, say) may have written the file since
// the tab read it, or the tab may show another folder's file of the same name.
// Both are read again; a file that cannot be read now shows why instead of
// the picture it had. A null path stands for the file the tab was read from.
void CFormViewWnd::RefreshFileTab(int nTab, LPCWSTR lpszPath) {
    if (nTab < 0 || nTab >= static_cast<int>(m_tabs.size()) || m_tabs[nTab].kind != WorkTabSavedFile)
        return;
    auto* pane = static_cast<CImagePreviewWnd*>(m_tabs[nTab].pane.get());
    const CString source = pane->GetSourcePath();
    if (!lpszPath)
        lpszPath = source;
    if (source.CompareNoCase(lpszPath) == 0 && !pane->SourceChanged())
        return;
    CDibImage image;
    FileStamp stamp;
    CString failure;
    if (ReadImageFile(lpszPath, image, stamp, failure))
        pane->SetImage(image);
    else
        pane->SetUnreadable(failure);
    pane->SetSource(lpszPath, stamp);
    if (m_onFileRead)
        m_onFileRead(pane->GetSourcePath());
}

void CFormViewWnd::NoteCurrentImageSaved(LPCWSTR lpszPath) {
    CImagePreviewWnd* pane = GetCurrentPane();
    if (pane && lpszPath && !pane->GetSourcePath().IsEmpty() && pane->GetSourcePath().CompareNoCase(lpszPath) == 0)
        pane->NoteSourceSaved();
}

void CFormViewWnd::CloseTab(int nTab) {
    if (nTab < 0 || nTab >= static_cast<int>(m_tabs.size()))
        return;
    const bool bWasCurrent = GetCurrentTab() == nTab;
    m_wndTabs.DeleteItem(nTab);
    m_tabs.erase(m_tabs.begin() + nTab);  // destroys the pane and what it holds
    if (!m_tabs.empty() && bWasCurrent)
        SelectTab(std::min(nTab, static_cast<int>(m_tabs.size()) - 1));
}

void CFormViewWnd::CloseFileTab(LPCWSTR lpszPath, int) {
    // Only image tabs are named after files; the tool list and the web page stay.
    const int index = FindTab(TitleOf(lpszPath));
    if (index >= 0 && IsImageKind(m_tabs[index].kind))
        CloseTab(index);
}

LRESULT CFormViewWnd::OnWebPageClose(WPARAM, LPARAM) {
    // Posted: the page that asked is no longer running script when its tab goes.
    CloseTab(FindTab(CString(kWebPageTitle)));
    return 0;
}

void CFormViewWnd::SetPageCaptureHandler(PageCaptureHandler handler) {
    m_onPageCapture = std::move(handler);
    if (CFormWebpageWnd* web = GetWebPage())
        web->SetCaptureHandler(m_onPageCapture);
}

int CFormViewWnd::GetCurrentTab() const {
    if (!m_wndTabs.m_hWnd || m_tabs.empty())
        return -1;
    const int current = m_wndTabs.GetCurSel();
    return current >= 0 && current < static_cast<int>(m_tabs.size()) ? current : -1;
}

CString CFormViewWnd::GetTabTitle(int nTab) const {
    return nTab >= 0 && nTab < static_cast<int>(m_tabs.size()) ? m_tabs[nTab].title : CString();
}

WorkTabKind CFormViewWnd::GetCurrentKind() const {
    const int current = GetCurrentTab();
    return current < 0 ? WorkTabToolList : m_tabs[current].kind;
}

CImagePreviewWnd* CFormViewWnd::GetCurrentPane() const {
    const int current = GetCurrentTab();
    if (current < 0 || !IsImageKind(m_tabs[current].kind))
        return nullptr;
    return static_cast<CImagePreviewWnd*>(m_tabs[current].pane.get());
}

CDibImage* CFormViewWnd::GetCurrentImage() const {
    CImagePreviewWnd* pane = GetCurrentPane();
    return pane && pane->GetImage().IsValid() ? &pane->GetImage() : nullptr;
}

CToolListWnd* CFormViewWnd::GetToolList() const {
    for (const Tab& tab : m_tabs) {
        if (tab.kind == WorkTabToolList)
            return static_cast<CToolListWnd*>(tab.pane.get());
    }
    return nullptr;
}

int CFormViewWnd::GetMinimumWidth() const {
    CToolListWnd* tools = GetToolList();
    if (!tools || !tools->m_hWnd || !m_wndTabs.m_hWnd)
        return 0;
    // The tab strip's own frame around the list.
    CRect sample(0, 0, 1000, 1000);
    ::SendMessageW(m_wndTabs.m_hWnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&sample));
    int pane = tools->GetMinimumWidth();
    if (GetWebPage())
        pane = std::max(pane, CFormWebpageWnd::GetMinimumWidth());
    return pane + (1000 - sample.Width());
}

CFormWebpageWnd* CFormViewWnd::GetWebPage() const {
    for (const Tab& tab : m_tabs) {
        if (tab.kind == WorkTabWebPage)
            return static_cast<CFormWebpageWnd*>(tab.pane.get());
    }
    return nullptr;
}

void CFormViewWnd::SelectTab(int nTab) {
    m_wndTabs.SetCurSel(nTab);
    LayoutPanes();
    // The tab strip never takes the focus, and the system leaves it in a
    // pane that hides: the shown pane takes it over.
    const HWND focus = ::GetFocus();
    bool focusHidden = false;
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        CWnd* pane = m_tabs[i].pane.get();
        if (!pane || !pane->m_hWnd)
            continue;
        const bool shown = static_cast<int>(i) == nTab;
        focusHidden = focusHidden || (!shown && focus && (focus == pane->m_hWnd || ::IsChild(pane->m_hWnd, focus)));
        pane->ShowWindow(shown ? SW_SHOW : SW_HIDE);
    }
    if (focusHidden)
        FocusCurrentPane();
    if (m_onTabShown)
        m_onTabShown();
}

void CFormViewWnd::FocusCurrentPane() {
    const int current = GetCurrentTab();
    CWnd* pane = current < 0 ? nullptr : m_tabs[current].pane.get();
    if (!pane || !pane->m_hWnd)
        return;
    // Its first control, as a dialog gives it: a text box's text selected, so typing replaces it.
    HWND first = ::GetNextDlgTabItem(pane->m_hWnd, nullptr, FALSE);
    if (!first)
        first = pane->m_hWnd;
    ::SetFocus(first);
    if (::SendMessageW(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        ::SendMessageW(first, EM_SETSEL, 0, -1);
}

void CFormViewWnd::OnSetFocus(CWnd*) {
    FocusCurrentPane();
}

void CFormViewWnd::LayoutPanes() {
    if (!m_wndTabs.m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    m_wndTabs.MoveWindow(&client);
    CRect display = client;
    m_wndTabs.AdjustRect(FALSE, &display);
    for (Tab& tab : m_tabs) {
        if (tab.pane && tab.pane->m_hWnd)
            tab.pane->SetWindowPos(&CWnd::wndTop, display.left, display.top, std::max(0, display.Width()),
                                   std::max(0, display.Height()), SWP_NOACTIVATE);
    }
}

void CFormViewWnd::OnSize(UINT nType, int cx, int cy) {
    CView::OnSize(nType, cx, cy);
    LayoutPanes();
}

BOOL CFormViewWnd::OnEraseBkgnd(CDC* pDC) {
    return CView::OnEraseBkgnd(pDC);
}

void CFormViewWnd::OnTabChange(NMHDR*, LRESULT* pResult) {
    const int current = m_wndTabs.GetCurSel();
    RefreshFileTab(current, nullptr);
    SelectTab(current);
    *pResult = 0;
}

void CFormViewWnd::OnDraw(CDC*) {}
