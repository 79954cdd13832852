// The owner-drawn tab strip over the two panes. It keeps the item counts shown
// in the titles and tells its parent which pane (capture target) is showing.
#pragma once

#include "Afx.h"

class CFileTabCtrl : public CTabCtrl {
public:
    enum { kFileTab = 0, kDcTab = 1 };
    // Sent to the pane that the user's switch of tabs brought up.
    static constexpr UINT WM_PANE_SHOWN = WM_APP + 42;

    CFileTabCtrl() = default;
    ~CFileTabCtrl() override;

    void Init();
    void AddTab(LPCWSTR lpszTitle, HICON hIcon, CWnd* pPane);
    void ShowTab(int nTab);
    // Selects the tab and shows its pane, as a switch of the user's does, but
    // without telling the pane.
    void SelectPane(int nTab);

    // UI thread only.
    void IncrementCount(int nTab) { ChangeCount(nTab, +1); }
    void DecrementCount(int nTab) { ChangeCount(nTab, -1); }
    // Any thread: other threads post the change to the tab strip's thread.
    void ChangeCountFromAnyThread(int nTab, int nDelta);
    int GetCount(int nTab) const;
    CString GetTabTitle(int nTab) const;

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    void PreSubclassWindow() override;
    CWnd* GetPane(int nTab) const;
    CRect PaneRect(int nTabBottom) const;
    void ChangeCount(int nTab, int nDelta);
    // Hides the previous tab's pane and shows the current one.
    void ShowCurrent();
    // Focuses the first control of the tab's pane; false when it has none.
    bool FocusPane(int nTab);

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnSelChanging(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSelChange(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnClick(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg LRESULT OnCountChange(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    CFont m_font;
    CImageList m_images;
    int m_nPrevTab = 0;
    CRect m_rectShownTab;
    int m_nFileCount = 0;
    int m_nDcCount = 0;
};
