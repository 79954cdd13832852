#include "PropertySheet.h"

#include "WinApp.h"

#include <cstring>

namespace {

// Room left after a copied page template for changes made to it.
constexpr size_t kTemplateSlack = 512;

}  // namespace

// ---------------------------------------------------------------------------
// CPropertyPage

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption, DWORD dwSize) : CDialog(nIDTemplate), m_psp() {
    Construct(MAKEINTRESOURCEW(nIDTemplate), nIDCaption, dwSize);
}

CPropertyPage::CPropertyPage(LPCWSTR lpszTemplateName, UINT nIDCaption, DWORD dwSize)
    : CDialog(lpszTemplateName), m_psp() {
    Construct(m_lpszTemplateName, nIDCaption, dwSize);
}

void CPropertyPage::Construct(LPCWSTR lpszTemplateName, UINT nIDCaption, DWORD dwSize) {
    m_psp.dwSize = dwSize < PROPSHEETPAGEW_V1_SIZE || dwSize > sizeof(PROPSHEETPAGEW) ? sizeof(PROPSHEETPAGEW) : dwSize;
    m_psp.dwFlags = PSP_USECALLBACK;
    m_psp.hInstance = AfxFindResourceHandle(lpszTemplateName, MAKEINTRESOURCEW(5));  // RT_DIALOG
    m_psp.pszTemplate = lpszTemplateName;
    m_psp.pfnDlgProc = &CPropertyPage::PageDlgProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
    m_psp.pfnCallback = &CPropertyPage::PageCallback;
    if (nIDCaption && m_strCaption.LoadString(nIDCaption)) {
        m_psp.pszTitle = m_strCaption;
        m_psp.dwFlags |= PSP_USETITLE;
    }
}

UINT CALLBACK CPropertyPage::PageCallback(HWND, UINT message, LPPROPSHEETPAGEW ppsp) {
    // Bind the page's window to its object before the window's first message.
    if (message == PSPCB_CREATE && ppsp) {
        auto* pPage = reinterpret_cast<CPropertyPage*>(ppsp->lParam);
        if (pPage && !pPage->m_hWnd)
            HookWindowCreate(pPage);
    }
    return 1;
}

INT_PTR CALLBACK CPropertyPage::PageDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // When the creation hook did not run, the page is bound here, at the first
    // message the dialog manager passes on, and handles it at once.
    if (message == WM_INITDIALOG && !FromHandlePermanent(hWnd) && lParam) {
        auto* pPage = reinterpret_cast<CPropertyPage*>(reinterpret_cast<LPPROPSHEETPAGEW>(lParam)->lParam);
        auto& hookTarget = afx_detail::GetThreadState().pWndInit;
        if (hookTarget == pPage)
            hookTarget = nullptr;
        if (pPage && !pPage->m_hWnd && pPage->SubclassWindow(hWnd))
            return CallWndProc(pPage, hWnd, message, wParam, lParam);
    }
    return FALSE;
}

CPropertySheet* CPropertyPage::GetSheet() const {
    HWND hParent = m_hWnd ? ::GetParent(m_hWnd) : nullptr;
    return dynamic_cast<CPropertySheet*>(FromHandlePermanent(hParent));
}

void CPropertyPage::SetModified(BOOL bChanged) {
    HWND hSheet = m_hWnd ? ::GetParent(m_hWnd) : nullptr;
    if (hSheet)
        ::SendMessageW(hSheet, bChanged ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

BOOL CPropertyPage::OnInitDialog() {
    m_bFirstSetActive = TRUE;
    return CDialog::OnInitDialog();
}

BOOL CPropertyPage::OnSetActive() {
    // The first activation follows OnInitDialog, which has filled the controls.
    if (m_bFirstSetActive)
        m_bFirstSetActive = FALSE;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() {
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset() {
    OnCancel();
}

BOOL CPropertyPage::OnQueryCancel() {
    return TRUE;
}

void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (CDialog::OnNotify(wParam, lParam, pResult))
        return TRUE;
    auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    if (!pNMHDR || pNMHDR->hwndFrom != ::GetParent(m_hWnd))
        return FALSE;  // only the sheet's notices are ours
    CPropertySheet* pSheet = GetSheet();
    switch (pNMHDR->code) {
    case PSN_SETACTIVE:
        *pResult = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        *pResult = OnKillActive() ? FALSE : TRUE;
        break;
    case PSN_APPLY: {
        BOOL ok = OnApply();
        *pResult = ok ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        // The OK button applies with lParam set; the sheet then ends with IDOK.
        if (pSheet && reinterpret_cast<PSHNOTIFY*>(pNMHDR)->lParam)
            pSheet->m_nModalResult = ok ? IDOK : IDCANCEL;
        break;
    }
    case PSN_RESET:
        OnReset();
        // A Cancel that reaches a sheet already ended by OK must not undo its result.
        if (pSheet && pSheet->SendMessage(PSM_GETCURRENTPAGEHWND) != 0)
            pSheet->m_nModalResult = IDCANCEL;
        *pResult = 0;
        break;
    case PSN_QUERYCANCEL:
        *pResult = OnQueryCancel() ? FALSE : TRUE;
        break;
    default:
        return FALSE;
    }
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, *pResult);
    return TRUE;
}

// ---------------------------------------------------------------------------
// CPropertySheet

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet() : m_psh() {
    CommonConstruct(nullptr, 0);
}

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage) : m_psh() {
    m_strCaption.LoadString(nIDCaption);
    CommonConstruct(pParentWnd, iSelectPage);
}

CPropertySheet::CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage) : m_psh() {
    m_strCaption = pszCaption;
    CommonConstruct(pParentWnd, iSelectPage);
}

void CPropertySheet::CommonConstruct(CWnd* pParentWnd, UINT iSelectPage) {
    m_pParentWnd = pParentWnd;
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pszCaption = m_strCaption;
    m_psh.nStartPage = iSelectPage;
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
    if (!pPage)
        return;
    m_pages.push_back(pPage);
    if (m_hWnd) {
        HPROPSHEETPAGE hPage = ::CreatePropertySheetPageW(&pPage->m_psp);
        if (hPage && !SendMessage(PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(hPage)))
            ::DestroyPropertySheetPage(hPage);
    }
}

void CPropertySheet::RemovePage(CPropertyPage* pPage) {
    int index = GetPageIndex(pPage);
    if (index >= 0)
        RemovePage(index);
}

void CPropertySheet::RemovePage(int nPage) {
    if (nPage < 0 || nPage >= GetPageCount())
        return;
    if (m_hWnd)
        SendMessage(PSM_REMOVEPAGE, static_cast<WPARAM>(nPage));
    m_pages.erase(m_pages.begin() + nPage);
}

CPropertyPage* CPropertySheet::GetPage(int nPage) const {
    return nPage >= 0 && nPage < GetPageCount() ? m_pages[static_cast<size_t>(nPage)] : nullptr;
}

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const {
    for (size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] == pPage)
            return static_cast<int>(i);
    }
    return -1;
}

int CPropertySheet::GetActiveIndex() const {
    if (!m_hWnd)
        return static_cast<int>(m_psh.nStartPage);
    LRESULT hPage = SendMessage(PSM_GETCURRENTPAGEHWND);
    if (!hPage)
        return -1;
    return static_cast<int>(SendMessage(PSM_HWNDTOINDEX, static_cast<WPARAM>(hPage)));
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return GetPage(GetActiveIndex());
}

BOOL CPropertySheet::SetActivePage(int nPage) {
    if (nPage < 0 || nPage >= GetPageCount())
        return FALSE;
    if (!m_hWnd) {
        m_psh.nStartPage = static_cast<UINT>(nPage);
        return TRUE;
    }
    return static_cast<BOOL>(SendMessage(PSM_SETCURSEL, static_cast<WPARAM>(nPage)));
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* pPage) {
    return SetActivePage(GetPageIndex(pPage));
}

CTabCtrl* CPropertySheet::GetTabControl() const {
    return m_hWnd ? FromHandleAs<CTabCtrl>(reinterpret_cast<HWND>(SendMessage(PSM_GETTABCONTROL))) : nullptr;
}

void CPropertySheet::SetTitle(LPCWSTR lpszText, UINT nStyle) {
    m_strCaption = lpszText;
    m_psh.pszCaption = m_strCaption;
    m_psh.dwFlags = (m_psh.dwFlags & ~PSH_PROPTITLE) | (nStyle & PSH_PROPTITLE);
    if (m_hWnd)
        SendMessage(PSM_SETTITLEW, nStyle, reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(m_strCaption)));
}

void CPropertySheet::PressButton(int nButton) {
    if (m_hWnd)
        SendMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(nButton));
}

void CPropertySheet::EndDialog(int nEndID) {
    EndModalLoop(nEndID);
}

void CPropertySheet::BuildPropPageArray() {
    m_templates.assign(m_pages.size(), {});
    size_t total = 0;
    for (CPropertyPage* pPage : m_pages)
        total += pPage->m_psp.dwSize;
    m_pageArray.assign(total, 0);

    BYTE* out = m_pageArray.data();
    for (size_t index = 0; index < m_pages.size(); ++index) {
        CPropertyPage* pPage = m_pages[index];
        PROPSHEETPAGEW psp = {};
        std::memcpy(&psp, &pPage->m_psp, pPage->m_psp.dwSize);
        if (!(psp.dwFlags & PSP_DLGINDIRECT)) {
            HRSRC hRes = ::FindResourceW(psp.hInstance, psp.pszTemplate, MAKEINTRESOURCEW(5));  // RT_DIALOG
            HGLOBAL hData = hRes ? ::LoadResource(psp.hInstance, hRes) : nullptr;
            const void* data = hData ? ::LockResource(hData) : nullptr;
            DWORD size = hRes ? ::SizeofResource(psp.hInstance, hRes) : 0;
            if (data && size) {
                std::vector<DWORD> copy((size + kTemplateSlack + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
                std::memcpy(copy.data(), data, size);
                psp.pResource = reinterpret_cast<LPCDLGTEMPLATEW>(copy.data());
                psp.dwFlags |= PSP_DLGINDIRECT;
                m_templates[index] = std::move(copy);
            }
        }
        std::memcpy(out, &psp, pPage->m_psp.dwSize);
        out += pPage->m_psp.dwSize;
    }
    m_psh.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(m_pageArray.data());
    m_psh.nPages = static_cast<UINT>(m_pages.size());
    m_psh.dwFlags |= PSH_PROPSHEETPAGE;
}

DLGTEMPLATE* CPropertySheet::GetPageTemplate(int nPage, size_t* pCapacity) {
    if (nPage < 0 || static_cast<size_t>(nPage) >= m_templates.size() || m_templates[nPage].empty())
        return nullptr;
    std::vector<DWORD>& copy = m_templates[static_cast<size_t>(nPage)];
    if (pCapacity)
        *pCapacity = copy.size() * sizeof(DWORD);
    return reinterpret_cast<DLGTEMPLATE*>(copy.data());
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd || m_pages.empty())
        return -1;
    HWND hWndTop = nullptr;
    CWnd* pOwner = CWnd::GetSafeOwner(m_pParentWnd, &hWndTop);
    HWND hWndParent = pOwner ? pOwner->m_hWnd : nullptr;

    BuildPropPageArray();
    m_psh.dwFlags |= PSH_MODELESS;
    m_psh.hwndParent = hWndParent;
    m_psh.pszCaption = m_strCaption;

    bool bEnableParent = false;
    if (hWndParent && ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = true;
    }

    m_nModalResult = IDCANCEL;
    m_nFlags |= WF_CONTINUEMODAL;
    // Bound before its WM_INITDIALOG, so OnInitDialog overrides wrap the system's.
    HookWindowCreate(this);
    INT_PTR hSheet = ::PropertySheetW(&m_psh);
    if (!UnhookWindowCreate() || hSheet <= 0) {
        if (m_hWnd)
            DestroyWindow();
        if (bEnableParent)
            ::EnableWindow(hWndParent, TRUE);
        m_psh.dwFlags &= ~PSH_MODELESS;
        m_nFlags &= ~WF_CONTINUEMODAL;
        return -1;
    }
    if (ContinueModal())
        RunModalLoop(0);

    int result = m_nModalResult;
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableParent)
        ::EnableWindow(hWndParent, TRUE);
    if (hWndParent && m_hWnd && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndParent);
    if (m_hWnd)
        DestroyWindow();
    m_psh.dwFlags &= ~PSH_MODELESS;
    m_nFlags &= ~WF_CONTINUEMODAL;
    return result;
}

BOOL CPropertySheet::ContinueModal() {
    // The system's sheet has no current page once OK or Cancel ended it.
    return CWnd::ContinueModal() && SendMessage(PSM_GETCURRENTPAGEHWND) != 0;
}

LRESULT CPropertySheet::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CPropertySheet::OnInitDialog() {
    // The system's own initialisation creates the tabs and the first page.
    return static_cast<BOOL>(Default());
}

BOOL CPropertySheet::PreTranslateMessage(MSG* pMsg) {
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    // Keyboard navigation, Ctrl+Tab between pages included, is the sheet's.
    if (m_hWnd && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return static_cast<BOOL>(SendMessage(PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(pMsg)));
    return FALSE;
}
