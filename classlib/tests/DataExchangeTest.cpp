// Dialog data exchange: round trips, failure texts, validation, the
// notification lock-out and write-only-when-different.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CCountingEdit : public CEdit {
public:
    int setTexts = 0;
    bool preSubclassed = false;

protected:
    void PreSubclassWindow() override { preSubclassed = true; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SETTEXT)
            ++setTexts;
        return CEdit::WindowProc(message, wParam, lParam);
    }
};

class CDataDlg : public CDialog {
public:
    CDataDlg() : CDialog(IDD_DATA) {}

    CString text;
    int integer = 0;
    UINT uinteger = 0;
    float real = 0;
    double dbl = 0;
    int check = 0;
    int radio = -1;
    int cbIndex = -1;
    CString cbString;
    int lbIndex = -1;
    int slider = 0;
    bool validate = false;
    bool upperCaseOnUpdate = false;
    int updates = 0;
    bool reentered = false;
    CCountingEdit textEdit;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_TEXT, textEdit);
        DDX_Text(pDX, IDC_TEXT, text);
        DDX_Text(pDX, IDC_INT, integer);
        if (validate)
            DDV_MinMaxInt(pDX, integer, 0, 100);
        DDX_Text(pDX, IDC_UINT, uinteger);
        DDX_Text(pDX, IDC_FLOAT, real);
        if (validate)
            DDV_MinMaxFloat(pDX, real, 0.0f, 1.0f);
        DDX_Text(pDX, IDC_DOUBLE, dbl);
        DDX_Check(pDX, IDC_CHECK, check);
        DDX_Radio(pDX, IDC_RADIO1, radio);
        DDX_CBIndex(pDX, IDC_CBLIST, cbIndex);
        DDX_CBString(pDX, IDC_CBEDIT, cbString);
        DDX_LBIndex(pDX, IDC_LIST, lbIndex);
        DDX_Slider(pDX, IDC_SLIDER, slider);
    }
    BOOL OnInitDialog() override {
        for (const wchar_t* item : {L"alpha", L"beta", L"gamma"}) {
            SendDlgItemMessage(IDC_CBLIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            SendDlgItemMessage(IDC_CBEDIT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            SendDlgItemMessage(IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        SendDlgItemMessage(IDC_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
        return CDialog::OnInitDialog();
    }
    afx_msg void OnTextUpdate() {
        static bool inside = false;
        if (inside)
            reentered = true;
        inside = true;
        ++updates;
        UpdateData(TRUE);
        if (upperCaseOnUpdate) {
            text.MakeUpper();
            UpdateData(FALSE);  // writes the edit again, which notifies again
        }
        inside = false;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDataDlg, CDialog)
    ON_EN_UPDATE(IDC_TEXT, OnTextUpdate)
END_MESSAGE_MAP()

class DataExchange : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearMessageBoxes();
        ASSERT_TRUE(dlg.Create(IDD_DATA));
        dlg.ShowWindow(SW_SHOW);
    }
    void TearDown() override { dlg.DestroyWindow(); }

    CString ItemText(int id) {
        CString s;
        dlg.GetDlgItemText(id, s);
        return s;
    }

    CDataDlg dlg;
};

TEST_F(DataExchange, ControlsShowTheMembers) {
    dlg.text = L"텍스트";
    dlg.integer = -42;
    dlg.uinteger = 4000000000u;
    dlg.real = 0.25f;
    dlg.dbl = 1234.5678;
    dlg.check = BST_CHECKED;
    dlg.radio = 2;
    dlg.cbIndex = 1;
    dlg.cbString = L"gamma";
    dlg.lbIndex = 2;
    dlg.slider = 37;
    ASSERT_TRUE(dlg.UpdateData(FALSE));

    struct Case {
        int id;
        const wchar_t* text;
    } texts[] = {{IDC_TEXT, L"텍스트"}, {IDC_INT, L"-42"}, {IDC_UINT, L"4000000000"},
                 {IDC_FLOAT, L"0.25"},   {IDC_DOUBLE, L"1234.5678"}, {IDC_CBEDIT, L"gamma"}};
    for (const Case& c : texts)
        EXPECT_EQ(ItemText(c.id), c.text) << c.id;
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_RADIO1, IDC_RADIO3), IDC_RADIO3);
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_CBLIST, CB_GETCURSEL), 1);
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_LIST, LB_GETCURSEL), 2);
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_SLIDER, TBM_GETPOS), 37);
}

TEST_F(DataExchange, MembersTakeTheControls) {
    dlg.SetDlgItemText(IDC_TEXT, L"hello");
    dlg.SetDlgItemText(IDC_INT, L"  17 ");
    dlg.SetDlgItemText(IDC_UINT, L"123");
    dlg.SetDlgItemText(IDC_FLOAT, L"2.5");
    dlg.SetDlgItemText(IDC_DOUBLE, L"-0.125");
    dlg.CheckDlgButton(IDC_CHECK, BST_UNCHECKED);
    dlg.CheckRadioButton(IDC_RADIO1, IDC_RADIO3, IDC_RADIO2);
    dlg.SendDlgItemMessage(IDC_CBLIST, CB_SETCURSEL, 2);
    dlg.SetDlgItemText(IDC_CBEDIT, L"typed");
    dlg.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, 0);
    dlg.SendDlgItemMessage(IDC_SLIDER, TBM_SETPOS, TRUE, 80);
    ASSERT_TRUE(dlg.UpdateData(TRUE));

    EXPECT_EQ(dlg.text, L"hello");
    EXPECT_EQ(dlg.integer, 17);
    EXPECT_EQ(dlg.uinteger, 123u);
    EXPECT_FLOAT_EQ(dlg.real, 2.5f);
    EXPECT_DOUBLE_EQ(dlg.dbl, -0.125);
    EXPECT_EQ(dlg.check, BST_UNCHECKED);
    EXPECT_EQ(dlg.radio, 1);
    EXPECT_EQ(dlg.cbIndex, 2);
    EXPECT_EQ(dlg.cbString, L"typed");
    EXPECT_EQ(dlg.lbIndex, 0);
    EXPECT_EQ(dlg.slider, 80);

    // No radio button checked reads as -1.
    dlg.CheckRadioButton(IDC_RADIO1, IDC_RADIO3, 0);
    for (int id : {IDC_RADIO1, IDC_RADIO2, IDC_RADIO3})
        dlg.CheckDlgButton(id, BST_UNCHECKED);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.radio, -1);
}

TEST_F(DataExchange, BadInputIsRefusedWithTheSystemText) {
    struct Case {
        int id;
        const wchar_t* input;
        const wchar_t* message;
        bool validate;
    } cases[] = {
        {IDC_INT, L"12abc", L"Please enter an integer.", false},
        {IDC_INT, L"", L"Please enter an integer.", false},
        {IDC_INT, L"99999999999", L"Please enter an integer.", false},
        {IDC_UINT, L"-1", L"Please enter a positive integer.", false},
        {IDC_FLOAT, L"x", L"Please enter a number.", false},
        {IDC_FLOAT, L"1e300", L"Please enter a number.", false},
        {IDC_DOUBLE, L"1e999", L"Please enter a number.", false},
        {IDC_INT, L"150", L"Please enter an integer between 0 and 100.", true},
        {IDC_FLOAT, L"1.5", L"Please enter a number between 0 and 1.", true},
    };
    for (const Case& c : cases) {
        dlg.validate = c.validate;
        dlg.integer = 5;
        dlg.real = 0.5f;
        ASSERT_TRUE(dlg.UpdateData(FALSE));
        test::ClearMessageBoxes();
        dlg.SetDlgItemText(c.id, c.input);
        EXPECT_FALSE(dlg.UpdateData(TRUE)) << c.input;
        ASSERT_EQ(test::MessageBoxes().size(), 1u) << c.input;
        EXPECT_EQ(test::MessageBoxes()[0], c.message);
        EXPECT_EQ(::GetFocus(), dlg.GetDlgItem(c.id)->m_hWnd) << c.input;
    }
}

TEST_F(DataExchange, NotificationsCausedByTheExchangeAreLockedOut) {
    dlg.upperCaseOnUpdate = true;
    dlg.SetDlgItemText(IDC_TEXT, L"mixed Case");  // the user's change
    EXPECT_EQ(dlg.updates, 1);
    EXPECT_FALSE(dlg.reentered);
    EXPECT_EQ(ItemText(IDC_TEXT), L"MIXED CASE");
}

TEST_F(DataExchange, ControlsAreBoundAndWrittenOnlyWhenDifferent) {
    EXPECT_TRUE(dlg.textEdit.preSubclassed);
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.GetDlgItem(IDC_TEXT)->m_hWnd), &dlg.textEdit);

    dlg.text = L"same";
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    int afterFirst = dlg.textEdit.setTexts;
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(dlg.textEdit.setTexts, afterFirst);
    dlg.text = L"other";
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(dlg.textEdit.setTexts, afterFirst + 1);
}

}  // namespace
