// Property sheets over the system's property sheet, run in the library's modal loop.
#pragma once

#include "AfxDefs.h"
#include "Controls.h"
#include "Dialog.h"

#include <vector>

class CPropertySheet;

// A page; constructible long before any sheet or window exists.
class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0, DWORD dwSize = sizeof(PROPSHEETPAGEW));
    explicit CPropertyPage(LPCWSTR lpszTemplateName, UINT nIDCaption = 0, DWORD dwSize = sizeof(PROPSHEETPAGEW));

    PROPSHEETPAGEW m_psp;

    // Enables or disables the sheet's Apply button for this page's changes.
    void SetModified(BOOL bChanged = TRUE);
    CPropertySheet* GetSheet() const;

    // Sheet notifications (PSN_*), in the order the sheet sends them.
    virtual BOOL OnSetActive();    // FALSE keeps the page from becoming active
    virtual BOOL OnKillActive();   // FALSE (data invalid) keeps the page active
    virtual BOOL OnApply();        // FALSE keeps the sheet open on this page
    virtual void OnReset();
    virtual BOOL OnQueryCancel();  // FALSE keeps the sheet open
    void OnOK() override;
    void OnCancel() override;

    BOOL OnInitDialog() override;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    void Construct(LPCWSTR lpszTemplateName, UINT nIDCaption, DWORD dwSize);
    static UINT CALLBACK PageCallback(HWND hWnd, UINT message, LPPROPSHEETPAGEW ppsp);
    static INT_PTR CALLBACK PageDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    CString m_strCaption;
    BOOL m_bFirstSetActive = TRUE;
    friend class CPropertySheet;
};

class CPropertySheet : public CWnd {
public:
    CPropertySheet();
    explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
    explicit CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);

    PROPSHEETHEADERW m_psh;

    void AddPage(CPropertyPage* pPage);
    void RemovePage(CPropertyPage* pPage);
    void RemovePage(int nPage);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int nPage) const;
    int GetPageIndex(CPropertyPage* pPage) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int nPage);
    BOOL SetActivePage(CPropertyPage* pPage);
    CTabCtrl* GetTabControl() const;
    void SetTitle(LPCWSTR lpszText, UINT nStyle = 0);
    void PressButton(int nButton);
    void EndDialog(int nEndID);

    // Runs the sheet modally in the library's loop. IDOK when it ended by OK,
    // IDCANCEL otherwise, -1 when it could not be created.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    // Fills m_psh.ppsp with copies of the pages' headers. Each page gets an
    // in-memory, writable copy of its template (PSP_DLGINDIRECT) with room to
    // spare, so that an override may change a template (its font, say).
    virtual void BuildPropPageArray();

    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL ContinueModal() override;

protected:
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    // The writable copy of page nPage's template that BuildPropPageArray made,
    // and the bytes it may grow to; null when the page brought its own.
    DLGTEMPLATE* GetPageTemplate(int nPage, size_t* pCapacity);

    std::vector<CPropertyPage*> m_pages;
    CWnd* m_pParentWnd = nullptr;
    CString m_strCaption;

    DECLARE_MESSAGE_MAP()

private:
    void CommonConstruct(CWnd* pParentWnd, UINT iSelectPage);
    std::vector<BYTE> m_pageArray;
    std::vector<std::vector<DWORD>> m_templates;
    friend class CPropertyPage;
};
