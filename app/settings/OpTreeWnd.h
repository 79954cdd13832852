// The options sheet's navigation tree. The object lives for the whole run
// with its image list; its window is made by each sheet that shows it.
#pragma once

#include "widgets/ResizableDialog.h"

class COpTreeWnd : public CResizableDialog {
public:
    enum { IDD = 226 };
    enum Page { kFilePage, kWatermarkPage, kMiscPage, kPageCount };
    COpTreeWnd();

    CImageList& Images() { return m_images; }
    CTreeCtrl& Tree() { return m_wndTree; }
    HTREEITEM Item(int page) const { return page >= 0 && page < kPageCount ? m_items[page] : nullptr; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnClick(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

private:
    CTreeCtrl m_wndTree;
    CImageList m_images;  // icons of the FILE, WATERMARK and MISC pages
    HTREEITEM m_items[kPageCount] = {};
    // A selection change switches the page only after a click (or the
    // window's initialisation) armed the tree: arrow keys alone only move.
    bool Armed = false;
};
