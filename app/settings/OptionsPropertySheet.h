// The options sheet: the three long-lived option pages, shown either all
// together with the navigation tree in place of the tabs, or one alone. A
// header band with the page's icon and title stands where the tabs were.
#pragma once

#include "Afx.h"

#include <vector>

class COpFilePropertyPage;
class COpWatermarkPropertyPage;
class COpContinuePage;
class COpTreeWnd;

class COptionsPropertySheet : public CPropertySheet {
public:
    COptionsPropertySheet(COpFilePropertyPage& file, COpWatermarkPropertyPage& watermark, COpContinuePage& misc,
                          COpTreeWnd& tree);
    ~COptionsPropertySheet() override;

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    // The pages' templates get the sheet's font.
    void BuildPropPageArray() override;

    // Called by the tree: switches to nPage as the tab strip would.
    void SelectPage(int nPage, const CString& strTitle);

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The dialog font every template of the sheet is given.
    static constexpr const wchar_t* kFontFace = L"Microsoft Sans Serif";
    static constexpr WORD kFontSize = 8;

    CString HeaderTitle;
    HICON HeaderIcon = nullptr;  // ours: destroyed when replaced and with the sheet
    CFont HeaderFont;
    int PreviousPage = 0;
    bool SinglePage = false;
    int PageIndex = 0;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg LRESULT OnRefocusAfterRefusal(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);
    // The tabs' image list, given before the system sheet lays itself out;
    // the tabs' images, once the system has made the tabs.
    void SetPageIcons();
    void SetTabImages();
    void SetHeaderIcon(int nPage);
    bool PageModified(int nPage) const;
    void LayOutAllPages();
    void DrawHeader(CDC& dc);

    COpFilePropertyPage& m_file;
    COpWatermarkPropertyPage& m_watermark;
    COpContinuePage& m_misc;
    COpTreeWnd& m_tree;
    CImageList m_tabImages;
    std::vector<int> m_tabImageOf;  // each page's image in m_tabImages, -1 for none
    bool m_bTreeSwitch = false;  // a page change the user asked for through the tree
    bool m_bFollowingPage = false;  // the tree is being put in step with the page
};
