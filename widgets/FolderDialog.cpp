#include "widgets/FolderDialog.h"

#include <cwchar>

CFolderDialog::CFolderDialog(LPCWSTR lpszTitle, LPCWSTR lpszSelPath, CWnd* pParentWnd)
    : CCommonDialog(pParentWnd), m_strTitle(lpszTitle) {
    if (lpszSelPath && wcsnlen(lpszSelPath, MAX_PATH) < MAX_PATH)
        wcscpy(m_szSelPath, lpszSelPath);
    m_bi.hwndOwner = pParentWnd->GetSafeHwnd();
    m_bi.pidlRoot = nullptr;
    m_bi.pszDisplayName = m_szDisplayName;
    m_bi.lpszTitle = lpszTitle ? m_strTitle.GetString() : nullptr;
    m_bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    m_bi.lpfn = &CFolderDialog::BrowseCallbackProc;
    m_bi.lParam = reinterpret_cast<LPARAM>(this);
}

CFolderDialog::~CFolderDialog() {
    if (m_bi.pidlRoot)
        ::CoTaskMemFree(const_cast<LPITEMIDLIST>(m_bi.pidlRoot));
    m_bi = BROWSEINFOW();
}

INT_PTR CFolderDialog::DoModal() {
    HWND hOwner = PreModal();
    m_bi.hwndOwner = hOwner;
    m_szFolPath[0] = L'\0';
    const bool bOwnerEnabled = hOwner && ::IsWindowEnabled(hOwner);

    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&m_bi);
    INT_PTR result = IDCANCEL;
    if (pidl) {
        result = ::SHGetPathFromIDListW(pidl, m_szFolPath) ? IDOK : -1;
        if (result != IDOK)
            m_szFolPath[0] = L'\0';
        ::CoTaskMemFree(pidl);
    }
    // However the browser ended, the owner is usable again.
    if (bOwnerEnabled)
        ::EnableWindow(hOwner, TRUE);
    PostModal();
    return result;
}

int CALLBACK CFolderDialog::BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData) {
    auto* self = reinterpret_cast<CFolderDialog*>(lpData);
    if (!self)
        return 0;
    // Callbacks nest (a selection set while initialising reports a change).
    const HWND hPrevious = self->m_hBrowseWnd;
    self->m_hBrowseWnd = hWnd;
    int result = 0;
    switch (uMsg) {
    case BFFM_INITIALIZED:
        self->OnInitialized();
        break;
    case BFFM_SELCHANGED:
        self->OnSelChanged(reinterpret_cast<LPCITEMIDLIST>(lParam));
        break;
    case BFFM_VALIDATEFAILEDW:
        result = self->OnValidateFailed(reinterpret_cast<LPCWSTR>(lParam));
        break;
    case BFFM_IUNKNOWN:
        self->OnIUnknown(reinterpret_cast<IUnknown*>(lParam));
        break;
    default:
        break;
    }
    self->m_hBrowseWnd = hPrevious;
    return result;
}

void CFolderDialog::OnInitialized() {
    if (m_szSelPath[0])
        SetSelection(m_szSelPath);
}

void CFolderDialog::OnSelChanged(LPCITEMIDLIST pItemIDList) {
    if (!(m_bi.ulFlags & BIF_STATUSTEXT))
        return;
    WCHAR szPath[MAX_PATH] = {};
    if (!pItemIDList || !::SHGetPathFromIDListW(pItemIDList, szPath))
        szPath[0] = L'\0';
    SetStatusText(szPath);
}

int CFolderDialog::OnValidateFailed(LPCWSTR) {
    ::MessageBeep(MB_ICONHAND);
    return 1;
}

void CFolderDialog::OnIUnknown(IUnknown*) {}

void CFolderDialog::SetSelection(LPCWSTR lpszPath) {
    if (m_hBrowseWnd && lpszPath)
        ::SendMessageW(m_hBrowseWnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(lpszPath));
}

void CFolderDialog::SetSelection(LPCITEMIDLIST pItemIDList) {
    if (m_hBrowseWnd && pItemIDList)
        ::SendMessageW(m_hBrowseWnd, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(pItemIDList));
}

void CFolderDialog::SetStatusText(LPCWSTR lpszText) {
    if (m_hBrowseWnd && lpszText)
        ::SendMessageW(m_hBrowseWnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(lpszText));
}
