#include "app/panes/FileTabCtrl.h"

#include "app/AppMessages.h"
#include "app/panes/PaneResources.h"

namespace {

// Other threads → tab strip: wParam tab, lParam count change.
constexpr UINT WM_PANE_COUNT_CHANGE = WM_APP + 41;
constexpr int kMaxTitle = 49;
constexpr int kMaxTabText = 127;

}  // namespace

BEGIN_MESSAGE_MAP(CFileTabCtrl, CTabCtrl)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_NOTIFY_REFLECT(TCN_SELCHANGING, OnSelChanging)
    ON_NOTIFY_REFLECT(TCN_SELCHANGE, OnSelChange)
    ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
    ON_MESSAGE(WM_PANE_COUNT_CHANGE, OnCountChange)
END_MESSAGE_MAP()

CFileTabCtrl::~CFileTabCtrl() = default;

void CFileTabCtrl::Init() {
    LOGFONTW lf = {};
    HFONT hMainFont = nullptr;
    if (CWnd* pMain = AfxGetMainWnd(); pMain && pMain->m_hWnd)
        hMainFont = reinterpret_cast<HFONT>(pMain->SendMessage(WM_GETFONT));
    if (!hMainFont && GetParent())
        hMainFont = reinterpret_cast<HFONT>(GetParent()->SendMessage(WM_GETFONT));
    if (!hMainFont || !::GetObjectW(hMainFont, sizeof(lf), &lf))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfHeight = 14;
    lf.lfWeight = FW_NORMAL;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);

    m_images.DeleteImageList();
    m_images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 1);
    SetImageList(&m_images);
}

void CFileTabCtrl::AddTab(LPCWSTR lpszTitle, HICON hIcon, CWnd* pPane) {
    const int image = hIcon ? m_images.Add(hIcon) : -1;
    CString title = CString(lpszTitle ? lpszTitle : L"").Left(kMaxTabText);
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(title));
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(pPane);
    InsertItem(GetItemCount(), &item);
    SetCurSel(0);
    m_nPrevTab = 0;
    ShowTab(0);
}

CWnd* CFileTabCtrl::GetPane(int nTab) const {
    TCITEMW item = {};
    item.mask = TCIF_PARAM;
    if (nTab < 0 || !GetItem(nTab, &item))
        return nullptr;
    return reinterpret_cast<CWnd*>(item.lParam);
}

CRect CFileTabCtrl::PaneRect(int nTabBottom) const {
    CRect client;
    GetClientRect(&client);
    const int cxFrame = ::GetSystemMetrics(SM_CXFIXEDFRAME);
    const int cyFrame = ::GetSystemMetrics(SM_CYFIXEDFRAME);
    const int width = client.Width() - 2 * cxFrame - 1;
    const int height = client.Height() - (2 * cxFrame + 2) - nTabBottom;
    return CRect(CPoint(cxFrame, cyFrame + nTabBottom), CSize(std::max(width, 0), std::max(height, 0)));
}

void CFileTabCtrl::ShowTab(int nTab) {
    CWnd* pPane = GetPane(nTab);
    if (!pPane || !pPane->m_hWnd)
        return;
    GetItemRect(nTab, &m_rectShownTab);
    const CRect place = PaneRect(m_rectShownTab.bottom);
    pPane->SetWindowPos(nullptr, place.left, place.top, place.Width(), place.Height(), SWP_NOZORDER);
    pPane->ShowWindow(SW_SHOW);
    Invalidate();
    if (CWnd* pParent = GetParent())
        pParent->PostMessage(WM_SET_SAVE_TARGET, 0, nTab);
}

int CFileTabCtrl::GetCount(int nTab) const {
    return nTab == kFileTab ? m_nFileCount : nTab == kDcTab ? m_nDcCount : 0;
}

CString CFileTabCtrl::GetTabTitle(int nTab) const {
    WCHAR text[kMaxTabText + 1] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = kMaxTabText + 1;
    if (!GetItem(nTab, &item))
        return CString();
    return CString(text);
}

void CFileTabCtrl::ChangeCount(int nTab, int nDelta) {
    if (nTab != kFileTab && nTab != kDcTab)
        return;
    int& count = nTab == kFileTab ? m_nFileCount : m_nDcCount;
    count = std::max(count + nDelta, 0);

    CString name;
    name.LoadString(nTab == kFileTab ? IDS_SAVED_FILES_TAB : IDS_SAVED_DC_TAB);
    CString title;
    title.Format(L"%s(%d)", static_cast<LPCWSTR>(name), count);
    title = title.Left(kMaxTitle);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(title));
    SetItem(nTab, &item);
    Invalidate();
}

void CFileTabCtrl::ChangeCountFromAnyThread(int nTab, int nDelta) {
    if (!m_hWnd)
        return;
    if (::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
        ChangeCount(nTab, nDelta);
    else
        ::PostMessageW(m_hWnd, WM_PANE_COUNT_CHANGE, static_cast<WPARAM>(nTab), static_cast<LPARAM>(nDelta));
}

LRESULT CFileTabCtrl::OnCountChange(WPARAM wParam, LPARAM lParam) {
    ChangeCount(static_cast<int>(wParam), static_cast<int>(lParam));
    return 0;
}

void CFileTabCtrl::PreSubclassWindow() {
    CTabCtrl::PreSubclassWindow();
    ModifyStyle(0, TCS_OWNERDRAWFIXED);
}

int CFileTabCtrl::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CTabCtrl::OnCreate(lpCreateStruct) == -1)
        return -1;
    ModifyStyle(0, TCS_OWNERDRAWFIXED);
    return 0;
}

void CFileTabCtrl::OnSize(UINT nType, int cx, int cy) {
    CTabCtrl::OnSize(nType, cx, cy);
    const CRect place = PaneRect(m_rectShownTab.bottom);
    for (int i = 0; i < GetItemCount(); ++i) {
        if (CWnd* pPane = GetPane(i); pPane && pPane->m_hWnd)
            pPane->SetWindowPos(nullptr, place.left, place.top, place.Width(), place.Height(),
                                SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CFileTabCtrl::OnSelChanging(NMHDR*, LRESULT* pResult) {
    m_nPrevTab = GetCurSel();
    *pResult = 0;
}

void CFileTabCtrl::OnClick(NMHDR*, LRESULT* pResult) {
    ShowCurrent();
    *pResult = 0;
}

// A click or an arrow key: the tab the strip shows selected is the pane shown.
void CFileTabCtrl::OnSelChange(NMHDR*, LRESULT* pResult) {
    ShowCurrent();
    if (CWnd* pPane = GetPane(GetCurSel()); pPane && pPane->m_hWnd)
        pPane->SendMessage(WM_PANE_SHOWN);
    *pResult = 0;
}

void CFileTabCtrl::ShowCurrent() {
    const int current = GetCurSel();
    bool focusHidden = false;
    if (current != m_nPrevTab) {
        if (CWnd* pPrev = GetPane(m_nPrevTab); pPrev && pPrev->m_hWnd) {
            focusHidden = ::IsChild(pPrev->m_hWnd, ::GetFocus()) != FALSE;
            pPrev->ShowWindow(SW_HIDE);
        }
    }
    ShowTab(current);
    m_nPrevTab = current;
    // A hidden pane keeps no keyboard focus: the shown one takes it over.
    if (focusHidden)
        FocusPane(current);
}

bool CFileTabCtrl::FocusPane(int nTab) {
    CWnd* pPane = GetPane(nTab);
    const HWND hFirst = pPane && pPane->m_hWnd ? ::GetNextDlgTabItem(pPane->m_hWnd, nullptr, FALSE) : nullptr;
    if (hFirst)
        ::SetFocus(hFirst);
    return hFirst != nullptr;
}

void CFileTabCtrl::SelectPane(int nTab) {
    if (nTab == GetCurSel() || !GetPane(nTab))
        return;
    m_nPrevTab = GetCurSel();
    SetCurSel(nTab);
    ShowCurrent();
}

void CFileTabCtrl::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    const int nTab = static_cast<int>(lpDrawItemStruct->itemID);
    HDC hDC = lpDrawItemStruct->hDC;
    CRect rect(lpDrawItemStruct->rcItem);

    WCHAR text[kMaxTabText + 1] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.cchTextMax = kMaxTabText + 1;
    if (!GetItem(nTab, &item))
        return;

    const int x = rect.left + ::GetSystemMetrics(SM_CXFIXEDFRAME) + ::GetSystemMetrics(SM_CXBORDER);
    const int y = rect.top + ::GetSystemMetrics(SM_CYFIXEDFRAME) + ::GetSystemMetrics(SM_CYBORDER);
    int textLeft = x;
    if (item.iImage >= 0 && m_images.m_hImageList) {
        ImageList_Draw(m_images.m_hImageList, item.iImage, hDC, x, y, ILD_TRANSPARENT);
        textLeft = x + 16 + 2;
    }
    const HGDIOBJ hOldFont = m_font.m_hObject ? ::SelectObject(hDC, m_font.m_hObject) : nullptr;
    const int oldMode = ::SetBkMode(hDC, TRANSPARENT);
    CRect textRect(textLeft, rect.top, rect.right, rect.bottom);
    ::DrawTextW(hDC, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER);
    ::SetBkMode(hDC, oldMode);
    if (hOldFont)
        ::SelectObject(hDC, hOldFont);
}

BOOL CFileTabCtrl::PreTranslateMessage(MSG* pMsg) {
    // The panes are children of the strip, where the dialog's Tab never looks:
    // from the strip, Tab goes on into the pane shown; from there the dialog
    // brings it back.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_TAB && pMsg->hwnd == m_hWnd &&
        ::GetKeyState(VK_CONTROL) >= 0 && FocusPane(GetCurSel()))
        return TRUE;
    return CTabCtrl::PreTranslateMessage(pMsg);
}

BOOL CFileTabCtrl::DestroyWindow() {
    SetImageList(nullptr);
    m_images.DeleteImageList();
    for (int i = 0; i < GetItemCount(); ++i) {
        if (CWnd* pPane = GetPane(i); pPane && pPane->m_hWnd)
            pPane->DestroyWindow();
    }
    m_font.DeleteObject();
    return CTabCtrl::DestroyWindow();
}
