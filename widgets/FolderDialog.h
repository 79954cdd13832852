// CFolderDialog: the system's folder browser behind a modal-dialog interface.
//
// DoModal returns IDOK with the chosen folder in GetFolderPath(), IDCANCEL
// when the user cancels, and -1 when the chosen item is not a file-system
// folder. The new-style browser needs OLE initialised on the calling thread.
#pragma once

#include "Afx.h"

#include <shlobj.h>

class CFolderDialog : public CCommonDialog {
public:
    // The title is copied. An initial folder longer than MAX_PATH - 1
    // characters is ignored: the browser opens at its default.
    explicit CFolderDialog(LPCWSTR lpszTitle = nullptr, LPCWSTR lpszSelPath = nullptr, CWnd* pParentWnd = nullptr);
    ~CFolderDialog() override;

    INT_PTR DoModal() override;
    LPCWSTR GetFolderPath() const { return m_szFolPath; }

    BROWSEINFOW m_bi = {};

protected:
    // Callbacks from the browser; GetBrowseWindow() is valid while they run.
    virtual void OnInitialized();
    virtual void OnSelChanged(LPCITEMIDLIST pItemIDList);
    // Returns non-zero to keep the browser open.
    virtual int OnValidateFailed(LPCWSTR lpszFolderPath);
    virtual void OnIUnknown(IUnknown* pIUnknown);

    HWND GetBrowseWindow() const { return m_hBrowseWnd; }
    void SetSelection(LPCWSTR lpszPath);
    void SetSelection(LPCITEMIDLIST pItemIDList);
    void SetStatusText(LPCWSTR lpszText);

    WCHAR m_szSelPath[MAX_PATH] = {};
    WCHAR m_szFolPath[MAX_PATH] = {};

private:
    static int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

    HWND m_hBrowseWnd = nullptr;
    CString m_strTitle;
    WCHAR m_szDisplayName[MAX_PATH] = {};
};
