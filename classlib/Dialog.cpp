#include "Dialog.h"

#include <cstring>

#include "WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_pParentWnd(pParentWnd) {
    if (nIDTemplate)
        SetTemplateName(MAKEINTRESOURCEW(nIDTemplate));
}

CDialog::CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd) : m_pParentWnd(pParentWnd) {
    SetTemplateName(lpszTemplateName);
}

CDialog::~CDialog() {
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        DestroyWindow();
}

void CDialog::SetTemplateName(LPCWSTR lpszTemplateName) {
    if (!lpszTemplateName) {
        m_lpszTemplateName = nullptr;
    } else if (IS_INTRESOURCE(lpszTemplateName)) {
        m_lpszTemplateName = lpszTemplateName;
        if (m_nIDHelp == 0)
            m_nIDHelp = LOWORD(reinterpret_cast<UINT_PTR>(lpszTemplateName));
    } else {
        m_strTemplateName = lpszTemplateName;
        m_lpszTemplateName = m_strTemplateName;
    }
}

INT_PTR CALLBACK CDialog::AfxDlgProc(HWND, UINT, WPARAM, LPARAM) {
    // Everything is handled by the object's window procedure first.
    return FALSE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

LPCDLGTEMPLATE CDialog::LoadTemplate(HINSTANCE& hInst) const {
    hInst = AfxGetResourceHandle();
    if (m_lpDialogTemplate)
        return m_lpDialogTemplate;
    if (m_hDialogTemplate)
        return static_cast<LPCDLGTEMPLATE>(::LockResource(m_hDialogTemplate));
    if (!m_lpszTemplateName)
        return nullptr;
    hInst = AfxFindResourceHandle(m_lpszTemplateName, MAKEINTRESOURCEW(5));  // RT_DIALOG
    HRSRC hRes = ::FindResourceW(hInst, m_lpszTemplateName, MAKEINTRESOURCEW(5));
    HGLOBAL hTemplate = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    return hTemplate ? static_cast<LPCDLGTEMPLATE>(::LockResource(hTemplate)) : nullptr;
}

BOOL CDialog::CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst) {
    if (!lpDialogTemplate || m_hWnd)
        return FALSE;
    HookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamW(hInst ? hInst : AfxGetResourceHandle(), lpDialogTemplate,
                                             pParentWnd ? pParentWnd->m_hWnd : nullptr, &CDialog::AfxDlgProc, 0);
    if (!UnhookWindowCreate())
        PostNcDestroy();  // never bound, so no WM_NCDESTROY will come
    return hWnd != nullptr;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd) {
    SetTemplateName(lpszTemplateName);
    m_lpDialogTemplate = nullptr;
    m_hDialogTemplate = nullptr;
    HINSTANCE hInst = nullptr;
    LPCDLGTEMPLATE lpTemplate = LoadTemplate(hInst);
    if (!lpTemplate)
        return FALSE;
    if (!pParentWnd) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this && pMain->m_hWnd)
            pParentWnd = pMain;
    }
    m_pParentWnd = pParentWnd;
    return CreateDlgIndirect(lpTemplate, pParentWnd, hInst);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    if (!pParentWnd) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this && pMain->m_hWnd)
            pParentWnd = pMain;
    }
    m_pParentWnd = pParentWnd;
    return CreateDlgIndirect(lpDialogTemplate, pParentWnd, AfxGetResourceHandle());
}

BOOL CDialog::CreateIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd) {
    auto lpTemplate = static_cast<LPCDLGTEMPLATE>(::LockResource(hDialogTemplate));
    return lpTemplate ? CreateIndirect(lpTemplate, pParentWnd) : FALSE;
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    m_lpDialogTemplate = lpDialogTemplate;
    m_hDialogTemplate = nullptr;
    m_lpszTemplateName = nullptr;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    return lpDialogTemplate != nullptr;
}

BOOL CDialog::InitModalIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd) {
    m_hDialogTemplate = hDialogTemplate;
    m_lpDialogTemplate = nullptr;
    m_lpszTemplateName = nullptr;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    return hDialogTemplate != nullptr;
}

HWND CDialog::PreModal() {
    HWND hWndTop = nullptr;
    CWnd* pOwner = CWnd::GetSafeOwner(m_pParentWnd, &hWndTop);
    HWND hOwner = pOwner ? pOwner->m_hWnd : nullptr;
    if (hOwner == m_hWnd)
        hOwner = nullptr;
    // When the owner is a popup above the top-level window, the top-level
    // window must not take input either while the dialog runs.
    m_hWndTop = nullptr;
    if (hWndTop && hWndTop != hOwner && ::IsWindowEnabled(hWndTop)) {
        ::EnableWindow(hWndTop, FALSE);
        m_hWndTop = hWndTop;
    }
    return hOwner;
}

void CDialog::PostModal() {
    if (m_hWndTop && ::IsWindow(m_hWndTop))
        ::EnableWindow(m_hWndTop, TRUE);
    m_hWndTop = nullptr;
}

INT_PTR CDialog::DoModal() {
    HINSTANCE hInst = nullptr;
    LPCDLGTEMPLATE lpTemplate = LoadTemplate(hInst);
    if (!lpTemplate || m_hWnd)
        return -1;

    HWND hWndParent = PreModal();
    bool bEnableParent = false;
    if (hWndParent && hWndParent != ::GetDesktopWindow() && ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = true;
    }

    m_nModalResult = -1;
    m_nFlags |= WF_CONTINUEMODAL;
    BOOL bCreated = CreateDlgIndirect(lpTemplate, CWnd::FromHandle(hWndParent), hInst);
    // OnInitDialog may already have ended the dialog.
    if (bCreated && (m_nFlags & WF_CONTINUEMODAL)) {
        DWORD dwFlags = MLF_SHOWONIDLE;
        if (GetStyle() & DS_NOIDLEMSG)
            dwFlags |= MLF_NOIDLEMSG;
        RunModalLoop(dwFlags);
    }

    // Hide before the owner comes back, so that activation goes to the owner.
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableParent)
        ::EnableWindow(hWndParent, TRUE);
    if (hWndParent && m_hWnd && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndParent);

    if (m_hWnd)
        DestroyWindow();
    PostModal();
    m_nFlags &= ~WF_CONTINUEMODAL;
    return bCreated ? m_nModalResult : -1;
}

void CDialog::EndDialog(int nResult) {
    if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) {
        // Our own modal run: the loop ends and DoModal hides and destroys the window.
        EndModalLoop(nResult);
        m_nModalResult = nResult;
        return;
    }
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);  // modeless: hides the window
}

BOOL CDialog::OnInitDialog() {
    if (!UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;  // the failing control has the focus
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
void CDialog::PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    if (pWndCtrl && pWndCtrl->m_hWnd)
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->m_hWnd), TRUE);
}
void CDialog::SetDefID(UINT nID) { ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0); }
DWORD CDialog::GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }
void CDialog::MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    return CWnd::PreTranslateMessage(pMsg);
}

std::vector<BYTE> AfxLoadDialogTemplate(LPCWSTR name, HINSTANCE* pInst) {
    const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);  // RT_DIALOG
    HINSTANCE hInst = AfxFindResourceHandle(name, kDialogType);
    if (pInst)
        *pInst = hInst;
    HRSRC hRes = ::FindResourceW(hInst, name, kDialogType);
    HGLOBAL hRaw = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const auto* pRaw = hRaw ? static_cast<const BYTE*>(::LockResource(hRaw)) : nullptr;
    const DWORD cbRaw = hRes ? ::SizeofResource(hInst, hRes) : 0;
    if (!pRaw || cbRaw < sizeof(DLGTEMPLATE))
        return {};
    return std::vector<BYTE>(pRaw, pRaw + cbRaw);
}

void AfxMakeChildTemplate(std::vector<BYTE>& tmpl, DWORD dwAdd) {
    // An extended template starts with version 1 and signature 0xFFFF; its style follows at 12.
    const bool bExtended = tmpl.size() >= 16 && reinterpret_cast<const WORD*>(tmpl.data())[0] == 1 &&
                           reinterpret_cast<const WORD*>(tmpl.data())[1] == 0xFFFF;
    const size_t styleOffset = bExtended ? 12 : 0;
    DWORD style = 0;
    std::memcpy(&style, tmpl.data() + styleOffset, sizeof(style));
    style &= ~static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                 WS_MAXIMIZEBOX | DS_MODALFRAME | WS_VISIBLE | WS_DISABLED);
    style |= WS_CHILD | dwAdd;
    std::memcpy(tmpl.data() + styleOffset, &style, sizeof(style));
}
