// The saved-DC pane: captures kept in memory, one thumbnail per bitmap. The
// highlighted entry, by click or key, is open in the work area. The bitmaps
// stay their owner's.
#pragma once

#include "app/panes/DcListCtrl.h"
#include "widgets/ResizableDialog.h"

class CFileTabCtrl;
class CMainFrmWnd;

class CDcTabWnd : public CResizableDialog {
public:
    CDcTabWnd();
    ~CDcTabWnd() override;

    void SetWorkArea(CMainFrmWnd* pWorkArea) { m_pWorkArea = pWorkArea; }

    // Any thread.
    void AddItem(LPCWSTR lpszName, HBITMAP hBitmap);
    // UI thread; an index outside the list changes nothing. The bitmap is not freed.
    void DeleteItem(int nIndex);
    bool HasSelection() const { return m_nSelectedIndex >= 0; }
    // The entry whose work-area tab has this title: the selected one when it
    // has, else the first; -1 when none has.
    int FindItem(LPCWSTR lpszTitle) const;
    // Highlights and selects that entry, which the work area shows already;
    // false when there is none.
    bool ShowItem(LPCWSTR lpszTitle);

    BOOL DestroyWindow() override;

    CDcListCtrl m_list;
    HBITMAP m_hSelectedBitmap = nullptr;
    CString m_strSelectedName;
    int m_nSelectedIndex = -1;  // none

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnClickList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg LRESULT OnPaneShown(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // Takes the highlighted entry as the selection and opens it; none clears it.
    void SelectHighlighted();

    CFileTabCtrl* m_pTabs = nullptr;
    CMainFrmWnd* m_pWorkArea = nullptr;
};
