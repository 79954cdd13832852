// The work area's view: a tab strip whose first tab is the tool list and
// whose further tabs show image preview panes or the web page.
#pragma once

#include "Afx.h"
#include "View.h"
#include "workarea/WorkTab.h"
#include "workarea/web/PageCapture.h"

#include <functional>
#include <memory>
#include <vector>

class CDibImage;
class CFormWebpageWnd;
class CImagePreviewWnd;
class CToolListWnd;

class CFormViewWnd : public CView {
public:
    CFormViewWnd();
    ~CFormViewWnd() override;

    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);

    // Kinds 1 and 2 open an image tab titled with the text after the last
    // backslash of lpszName (kind 1 reads that file, and says why in the tab
    // when it cannot; kind 2 copies the bitmap given as dwData, which stays
    // the caller's). Kind 3 opens the web page tab "WebPage". A tab with the
    // same title is selected instead; a file's tab first reads the file again
    // when it was written since the tab read it.
    void OpenTab(LPCWSTR lpszName, int nKind, DWORD_PTR dwData);
    // Closes the image tab titled with the text after the last backslash of lpszPath.
    void CloseFileTab(LPCWSTR lpszPath, int nKind);

    // Where the web page tab sends its whole-page captures.
    void SetPageCaptureHandler(PageCaptureHandler handler);
    // Told the path of every file that an image tab has read, first or again.
    void SetFileReadHandler(std::function<void(LPCWSTR)> handler) { m_onFileRead = std::move(handler); }
    // Told each time a tab becomes the current one, by a click or otherwise.
    void SetTabShownHandler(std::function<void()> handler) { m_onTabShown = std::move(handler); }

    int GetTabCount() const { return static_cast<int>(m_tabs.size()); }
    int GetCurrentTab() const;
    CString GetTabTitle(int nTab) const;
    // Kind of the current tab; the tool list (0) when none is open.
    WorkTabKind GetCurrentKind() const;
    // Image and preview pane of the current tab for kinds 1 and 2; null
    // otherwise, and no image for a file that could not be read.
    CDibImage* GetCurrentImage() const;
    CImagePreviewWnd* GetCurrentPane() const;
    // The current tab's picture was just saved under lpszPath: when that is the
    // file the tab was read from, the tab now holds what the file holds.
    void NoteCurrentImageSaved(LPCWSTR lpszPath);
    // The current file tab reads its file again when it was written since.
    void RereadCurrentFile() { RefreshFileTab(GetCurrentTab(), nullptr); }
    CToolListWnd* GetToolList() const;
    // The narrowest width at which the tool list shows its labels whole and,
    // while it is open, the web page tab its address row.
    int GetMinimumWidth() const;
    // The web page tab; null while it is not open.
    CFormWebpageWnd* GetWebPage() const;

    static constexpr const wchar_t* kWebPageTitle = L"WebPage";

    static CString TitleOf(LPCWSTR lpszPath);

protected:
    void OnDraw(CDC* pDC) override;
    void SelectTab(int nTab);
    void LayoutPanes();
    // Gives the focus to the current pane's first control.
    void FocusCurrentPane();
    int FindTab(const CString& title) const;
    bool AddTab(const CString& title, WorkTabKind kind, std::unique_ptr<CWnd> pane);
    void CloseTab(int nTab);
    void RefreshFileTab(int nTab, LPCWSTR lpszPath);

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnTabChange(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg LRESULT OnWebPageClose(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    struct Tab {
        CString title;
        WorkTabKind kind = WorkTabToolList;
        std::unique_ptr<CWnd> pane;
    };
    CTabCtrl m_wndTabs;
    std::vector<Tab> m_tabs;
    UINT m_nNextPaneID = 1;
    PageCaptureHandler m_onPageCapture;
    std::function<void(LPCWSTR)> m_onFileRead;
    std::function<void()> m_onTabShown;
};
