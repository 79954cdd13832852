// Property sheets: page notifications, active page, the page array hook and
// the sheet's OnInitDialog wrapping the system's.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 70;
constexpr UINT_PTR kSafetyTimer = 98;

class CTestPage : public CPropertyPage {
public:
    explicit CTestPage(UINT nIDTemplate) : CPropertyPage(nIDTemplate) {}
    int applies = 0;
    int setActives = 0;
    int killActives = 0;
    int resets = 0;
    CString value;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_PAGE_EDIT, value); }
    BOOL OnApply() override {
        ++applies;
        return CPropertyPage::OnApply();
    }
    BOOL OnSetActive() override {
        ++setActives;
        return CPropertyPage::OnSetActive();
    }
    BOOL OnKillActive() override {
        ++killActives;
        return CPropertyPage::OnKillActive();
    }
    void OnReset() override { ++resets; }
};

class CTestSheet : public CPropertySheet {
public:
    CTestSheet() : CPropertySheet(L"Sheet") {}

    std::vector<std::function<void(CTestSheet&)>> steps;
    bool arrayBuilt = false;
    bool indirectTemplates = false;
    int tabsAtInit = -1;
    CString secondTabText;

    void Next() { PostMessage(WM_TEST_STEP); }

protected:
    void BuildPropPageArray() override {
        CPropertySheet::BuildPropPageArray();
        arrayBuilt = true;
        if (m_psh.nPages < 2)
            return;
        // Rename the second page through its copy in the array.
        auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(
            reinterpret_cast<BYTE*>(const_cast<PROPSHEETPAGEW*>(m_psh.ppsp)) + m_psh.ppsp->dwSize);
        psp->dwFlags |= PSP_USETITLE;
        psp->pszTitle = L"Renamed";
        indirectTemplates = (m_psh.ppsp->dwFlags & PSP_DLGINDIRECT) && (psp->dwFlags & PSP_DLGINDIRECT);
    }
    BOOL OnInitDialog() override {
        BOOL result = CPropertySheet::OnInitDialog();
        // The system's initialisation has run: the tabs exist already.
        CTabCtrl* tabs = GetTabControl();
        tabsAtInit = tabs ? tabs->GetItemCount() : -1;
        WCHAR text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        if (tabs && tabs->GetItem(1, &item))
            secondTabText = text;
        SetTimer(kSafetyTimer, 20000, nullptr);
        Next();
        return result;
    }
    afx_msg LRESULT OnStep(WPARAM, LPARAM) {
        if (m_next < steps.size())
            steps[m_next++](*this);
        return 0;
    }
    afx_msg void OnTimer(UINT_PTR) { EndDialog(-2); }
    DECLARE_MESSAGE_MAP()

private:
    size_t m_next = 0;
};

BEGIN_MESSAGE_MAP(CTestSheet, CPropertySheet)
    ON_MESSAGE(WM_TEST_STEP, OnStep)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(PropertySheets, PagesExistBeforeAnyWindow) {
    CTestPage page(IDD_PAGE1);
    EXPECT_EQ(page.m_hWnd, nullptr);
    EXPECT_EQ(reinterpret_cast<CTestPage*>(page.m_psp.lParam), &page);
    EXPECT_EQ(page.m_psp.pszTemplate, MAKEINTRESOURCEW(IDD_PAGE1));

    CTestSheet sheet;
    sheet.AddPage(&page);
    EXPECT_EQ(sheet.GetPageCount(), 1);
    EXPECT_EQ(sheet.GetPage(0), &page);
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    EXPECT_FALSE(sheet.SetActivePage(3));
}

TEST(PropertySheets, ApplyActivePageAndOk) {
    CTestPage first(IDD_PAGE1);
    CTestPage second(IDD_PAGE2);
    first.value = L"one";
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.AddPage(&second);

    int appliesAfterApply[2] = {-1, -1};
    int activeAfterSwitch = -1;
    CPropertyPage* activePage = nullptr;
    CString firstEditText;
    sheet.steps = {
        [&](CTestSheet& s) {
            first.GetDlgItemText(IDC_PAGE_EDIT, firstEditText);
            first.SetModified();
            s.PressButton(PSBTN_APPLYNOW);
            appliesAfterApply[0] = first.applies;
            appliesAfterApply[1] = second.applies;
            s.Next();
        },
        [&](CTestSheet& s) {
            s.SetActivePage(1);
            activeAfterSwitch = s.GetActiveIndex();
            activePage = s.GetActivePage();
            s.Next();
        },
        [](CTestSheet& s) { s.PressButton(PSBTN_OK); },
    };
    EXPECT_EQ(sheet.DoModal(), IDOK);

    EXPECT_TRUE(sheet.arrayBuilt);
    EXPECT_TRUE(sheet.indirectTemplates);
    EXPECT_EQ(sheet.tabsAtInit, 2);
    EXPECT_EQ(sheet.secondTabText, L"Renamed");
    EXPECT_EQ(firstEditText, L"one");
    // Apply reached the one page that had been shown.
    EXPECT_EQ(appliesAfterApply[0], 1);
    EXPECT_EQ(appliesAfterApply[1], 0);
    EXPECT_EQ(activeAfterSwitch, 1);
    EXPECT_EQ(activePage, &second);
    EXPECT_EQ(first.killActives, 2);  // before its Apply and when left
    EXPECT_EQ(second.setActives, 1);
    EXPECT_EQ(second.applies, 1);
    EXPECT_EQ(first.m_hWnd, nullptr);  // the pages outlive their windows
    EXPECT_EQ(sheet.m_hWnd, nullptr);
}

TEST(PropertySheets, CancelResetsThePages) {
    CTestPage first(IDD_PAGE1);
    CTestPage second(IDD_PAGE2);
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.SetActivePage(1);
    int startIndex = -1;
    sheet.steps = {[&](CTestSheet& s) {
        startIndex = s.GetActiveIndex();
        s.PressButton(PSBTN_CANCEL);
    }};
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(startIndex, 1);
    EXPECT_EQ(second.resets, 1);
    EXPECT_EQ(first.applies + second.applies, 0);

    // The same pages serve a second sheet.
    CTestSheet again;
    again.AddPage(&first);
    again.steps = {[](CTestSheet& s) { s.PressButton(PSBTN_OK); }};
    EXPECT_EQ(again.DoModal(), IDOK);
    EXPECT_EQ(first.applies, 1);

    // A Cancel reaching the sheet after OK ended it (another thread's post
    // arriving before the loop looks) leaves OK's result.
    CTestSheet late;
    late.AddPage(&first);
    late.steps = {[](CTestSheet& s) {
        s.PressButton(PSBTN_OK);
        s.SendMessage(WM_COMMAND, IDCANCEL);
    }};
    EXPECT_EQ(late.DoModal(), IDOK);
    EXPECT_EQ(first.applies, 2);
}

}  // namespace
