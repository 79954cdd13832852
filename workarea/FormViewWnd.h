// The work area's view: a tab strip whose tabs show image preview panes.
#pragma once

#include "Afx.h"
#include "View.h"
#include "workarea/WorkTab.h"

#include <memory>
#include <vector>

class CDibImage;
class CImagePreviewWnd;

class CFormViewWnd : public CView {
public:
    CFormViewWnd();
    ~CFormViewWnd() override;

    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);

    // Kinds 1 and 2 open an image tab titled with the text after the last
    // backslash of lpszName (kind 1 reads that file, kind 2 copies the bitmap
    // given as dwData, which stays the caller's). A tab with the same title is
    // selected instead. Kind 3 (web page) is not available yet.
    void OpenTab(LPCWSTR lpszName, int nKind, DWORD_PTR dwData);
    // Closes the tab titled with the text after the last backslash of lpszPath.
    void CloseFileTab(LPCWSTR lpszPath, int nKind);

    int GetTabCount() const { return static_cast<int>(m_tabs.size()); }
    int GetCurrentTab() const;
    CString GetTabTitle(int nTab) const;
    // Kind of the current tab; the tool list (0) when none is open.
    WorkTabKind GetCurrentKind() const;
    // Image of the current tab for kinds 1 and 2; null otherwise.
    CDibImage* GetCurrentImage() const;
    CImagePreviewWnd* GetCurrentPane() const;

    static CString TitleOf(LPCWSTR lpszPath);

protected:
    void OnDraw(CDC* pDC) override;
    void SelectTab(int nTab);
    void LayoutPanes();
    int FindTab(const CString& title) const;

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnTabChange(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

private:
    struct Tab {
        CString title;
        WorkTabKind kind = WorkTabToolList;
        std::unique_ptr<CImagePreviewWnd> pane;
    };
    CTabCtrl m_wndTabs;
    std::vector<Tab> m_tabs;
    UINT m_nNextPaneID = 1;
};
