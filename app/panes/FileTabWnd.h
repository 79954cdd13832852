// The saved-files pane: the thumbnail list of the files captured or saved in
// this run. The highlighted file, by click or key, is open in the work area.
#pragma once

#include "app/panes/NpTabListCtrl.h"
#include "widgets/ResizableDialog.h"

class CFileTabCtrl;
class CMainFrmWnd;

class CFileTabWnd : public CResizableDialog {
public:
    CFileTabWnd();
    ~CFileTabWnd() override;

    // The work area that the highlighted file opens in; may stay null. Its
    // view's reads of a file redraw that file's thumbnails.
    void SetWorkArea(CMainFrmWnd* pWorkArea);
    CMainFrmWnd* GetWorkArea() const { return m_pWorkArea; }

    // Any thread.
    void AddItem(LPCWSTR lpszPath);
    // UI thread: AddItem for a file not listed yet; a file listed already keeps
    // its one entry, which shows the file anew, as does its tab when shown.
    void AddOrRenewItem(LPCWSTR lpszPath);
    // UI thread; an index outside the list changes nothing.
    void DeleteItem(int nIndex);
    bool HasSelection() const { return m_nSelectedIndex >= 0; }
    // The item listing the file: the selected one when it does, else the
    // first; -1 when none does.
    int FindItem(LPCWSTR lpszPath) const;
    // Highlights and selects the item listing the file, which the work area
    // shows already; false when no item does.
    bool ShowItem(LPCWSTR lpszPath);

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    CNpTabListCtrl m_list;
    CString m_strSelectedPath;
    int m_nSelectedIndex = -1;  // none

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    afx_msg void OnClickList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg LRESULT OnPaneShown(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // Takes the highlighted item as the selection and opens it; none clears it.
    void SelectHighlighted();
    void FreeItemPaths();

    CFileTabCtrl* m_pTabs = nullptr;
    CMainFrmWnd* m_pWorkArea = nullptr;
};
