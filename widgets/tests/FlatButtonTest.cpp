// CFlatButton: style conversion, the looks it draws, hover under real mouse
// input, check-box clicks, icons and focus.
#include "WidgetTestUtil.h"
#include "WidgetsTestRes.h"
#include "widgets/FlatButton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

constexpr int IDI_MULTI = 300;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

class CTestFlatButton : public CFlatButton {
public:
    void ForceHover(BOOL bOver) { m_bMouseOnButton = bOver; }
    void SetHoverBackground(COLORREF c) { m_crColors[COLOR_BK_IN] = c; }
    BOOL IsLit() const { return m_bMouseOnButton; }
};

class CButtonsDlg : public CDialog {
public:
    CButtonsDlg() : CDialog(IDD_BUTTONS) {}
    CTestFlatButton flat;
    CTestFlatButton check;
    CTestFlatButton deflt;
    CTestFlatButton group;
    std::map<UINT, int> clicks;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_FLAT, flat);
        DDX_Control(pDX, IDC_FLAT_CHECK, check);
        DDX_Control(pDX, IDC_FLAT_DEFAULT, deflt);
        DDX_Control(pDX, IDC_FLAT_GROUP, group);
    }
    afx_msg void OnFlat() { ++clicks[IDC_FLAT]; }
    afx_msg void OnCheck() { ++clicks[IDC_FLAT_CHECK]; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CButtonsDlg, CDialog)
    ON_BN_CLICKED(IDC_FLAT, OnFlat)
    ON_BN_CLICKED(IDC_FLAT_CHECK, OnCheck)
END_MESSAGE_MAP()

// A square icon of one opaque colour.
HICON SolidIcon(int size, COLORREF color) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP hColor = ::CreateCompatibleBitmap(screen, size, size);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, hColor);
    RECT r = {0, 0, size, size};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    HBITMAP hMask = ::CreateBitmap(size, size, 1, 1, nullptr);
    HDC mdc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldMask = ::SelectObject(mdc, hMask);
    ::PatBlt(mdc, 0, 0, size, size, BLACKNESS);  // opaque everywhere
    ::SelectObject(mdc, oldMask);
    ::DeleteDC(mdc);
    ICONINFO info = {TRUE, 0, 0, hMask, hColor};
    HICON hIcon = ::CreateIconIndirect(&info);
    ::DeleteObject(hMask);
    ::DeleteObject(hColor);
    return hIcon;
}

bool IconAlive(HICON hIcon) {
    ICONINFO info = {};
    if (!::GetIconInfo(hIcon, &info))
        return false;
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(info.hbmColor);
    return true;
}

class FlatButtonTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create(IDD_BUTTONS));
        dlg.SetWindowPos(nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dlg.ShowWindow(SW_SHOW);
        dlg.SetForegroundWindow();
        wt::Settle(dlg.m_hWnd);
    }
    void TearDown() override {
        wt::MouseAway();
        dlg.DestroyWindow();
    }

    // Draws the button into a canvas with the given owner-draw state.
    void Draw(CFlatButton& button, UINT itemState, wt::DibCanvas& canvas) {
        HGDIOBJ oldFont = ::SelectObject(canvas.dc(), reinterpret_cast<HGDIOBJ>(button.SendMessage(WM_GETFONT)));
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = itemState;
        dis.hwndItem = button.m_hWnd;
        dis.hDC = canvas.dc();
        dis.rcItem = {0, 0, canvas.width(), canvas.height()};
        button.DrawItem(&dis);
        ::SelectObject(canvas.dc(), oldFont);
    }

    CButtonsDlg dlg;
};

TEST_F(FlatButtonTest, EveryButtonBecomesOwnerDrawnAndStaysSo) {
    struct Case {
        int id;
        bool checkBox;
        bool isDefault;
    };
    const Case cases[] = {
        {IDC_FLAT, false, false},
        {IDC_FLAT_CHECK, true, false},
        {IDC_FLAT_DEFAULT, false, true},
        {IDC_FLAT_GROUP, false, false},  // a group box is no check box
    };
    for (const Case& c : cases) {
        auto* button = static_cast<CFlatButton*>(CWnd::FromHandlePermanent(::GetDlgItem(dlg.m_hWnd, c.id)));
        ASSERT_NE(nullptr, button);
        EXPECT_EQ(UINT(BS_OWNERDRAW), button->GetStyle() & 0x1F) << c.id;
        EXPECT_EQ(c.checkBox, button->IsCheckBox() != FALSE) << c.id;
        EXPECT_EQ(c.isDefault, button->IsDefault() != FALSE) << c.id;
        const LRESULT code = button->SendMessage(WM_GETDLGCODE);
        EXPECT_EQ(c.isDefault, (code & DLGC_DEFPUSHBUTTON) != 0) << c.id;
        EXPECT_EQ(!c.isDefault, (code & DLGC_UNDEFPUSHBUTTON) != 0) << c.id;
    }

    // The dialog manager moves the default look around with BM_SETSTYLE.
    dlg.flat.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(UINT(BS_OWNERDRAW), dlg.flat.GetStyle() & 0x1F);
    EXPECT_TRUE(dlg.flat.IsDefault());
    EXPECT_NE(0, dlg.flat.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON);
    dlg.flat.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(UINT(BS_OWNERDRAW), dlg.flat.GetStyle() & 0x1F);
    EXPECT_FALSE(dlg.flat.IsDefault());
    dlg.SetDefID(IDC_FLAT);
    EXPECT_EQ(UINT(BS_OWNERDRAW), dlg.flat.GetStyle() & 0x1F);
    EXPECT_EQ(UINT(BS_OWNERDRAW), dlg.deflt.GetStyle() & 0x1F);
}

TEST_F(FlatButtonTest, DrawsEachLookWithItsEdgeAndIcon) {
    HICON hIn = SolidIcon(16, kRed);
    HICON hOut = SolidIcon(16, kBlue);
    ASSERT_EQ(0u, dlg.flat.SetIcon(hIn, hOut));
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF light = ::GetSysColor(COLOR_BTNHILIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);

    struct Case {
        const char* look;
        UINT state;
        bool hover;
        COLORREF topLeft, bottomRight;  // the edge, or the face without one
        POINT iconAt;                   // top-left corner of the icon
        COLORREF icon;
    };
    // 60 x 24 button with a caption: icon at (3, 4); pressed shifts it by (1, 1).
    const Case cases[] = {
        {"idle", 0, false, face, face, {3, 4}, kBlue},
        {"hovered", 0, true, light, shadow, {3, 4}, kRed},
        {"pressed", ODS_SELECTED, false, shadow, light, {4, 5}, kRed},
        {"focused", ODS_FOCUS, false, face, face, {3, 4}, kBlue},
    };
    for (const Case& c : cases) {
        dlg.flat.ForceHover(c.hover);
        wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
        Draw(dlg.flat, c.state, canvas);
        EXPECT_EQ(c.topLeft, canvas.Pixel(0, 0)) << c.look;
        EXPECT_EQ(c.bottomRight, canvas.Pixel(59, 23)) << c.look;
        EXPECT_EQ(c.icon, canvas.Pixel(c.iconAt.x, c.iconAt.y)) << c.look;
        EXPECT_EQ(c.icon, canvas.Pixel(c.iconAt.x + 15, c.iconAt.y + 15)) << c.look;
        EXPECT_NE(c.icon, canvas.Pixel(c.iconAt.x + 16, c.iconAt.y + 16)) << c.look;
    }
    dlg.flat.ForceHover(FALSE);

    // Without an out icon the in icon shows in the idle look too.
    HICON hOnly = SolidIcon(16, kRed);
    ASSERT_EQ(0u, dlg.flat.SetIcon(hOnly));
    EXPECT_FALSE(IconAlive(hIn));
    EXPECT_FALSE(IconAlive(hOut));
    wt::DibCanvas idle(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, idle);
    EXPECT_EQ(kRed, idle.Pixel(3, 4));

    // Without a caption the icon is centred.
    dlg.flat.SetWindowText(L"");
    wt::DibCanvas bare(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, bare);
    EXPECT_EQ(kRed, bare.Pixel(22, 4));
    EXPECT_EQ(face, bare.Pixel(21, 4));
    EXPECT_EQ(kRed, bare.Pixel(37, 19));
    EXPECT_EQ(face, bare.Pixel(38, 19));
}

TEST_F(FlatButtonTest, ACheckedButtonSinksWithoutShifting) {
    ASSERT_EQ(0u, dlg.check.SetIcon(SolidIcon(16, kRed), SolidIcon(16, kBlue)));
    dlg.check.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(BST_CHECKED, dlg.check.SendMessage(BM_GETCHECK));
    wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
    Draw(dlg.check, 0, canvas);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), canvas.Pixel(0, 0));
    EXPECT_EQ(kRed, canvas.Pixel(3, 4));  // the in icon, not shifted

    dlg.check.SendMessage(BM_SETCHECK, BST_INDETERMINATE);
    EXPECT_EQ(BST_CHECKED, dlg.check.SendMessage(BM_GETCHECK));
    dlg.check.SendMessage(BM_SETCHECK, BST_UNCHECKED);
    wt::DibCanvas unchecked(60, 24, RGB(1, 2, 3));
    Draw(dlg.check, 0, unchecked);
    EXPECT_EQ(kBlue, unchecked.Pixel(3, 4));

    // A plain button has no check state.
    dlg.flat.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(BST_UNCHECKED, dlg.flat.SendMessage(BM_GETCHECK));
}

TEST_F(FlatButtonTest, ADisabledButtonIsEmbossedAndNeverLit) {
    dlg.flat.ForceHover(TRUE);
    dlg.flat.EnableWindow(FALSE);
    EXPECT_FALSE(dlg.flat.IsLit());
    wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, ODS_DISABLED, canvas);
    int light = 0;
    int dark = 0;
    int text = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 60; ++x) {
            const COLORREF p = canvas.Pixel(x, y);
            light += p == ::GetSysColor(COLOR_3DHILIGHT);
            dark += p == ::GetSysColor(COLOR_3DSHADOW);
            text += p == ::GetSysColor(COLOR_BTNTEXT);
        }
    }
    EXPECT_GT(light, 5);
    EXPECT_GT(dark, 5);
    EXPECT_EQ(0, text);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), canvas.Pixel(0, 0));  // no edge
}

TEST_F(FlatButtonTest, OffsetColourBrightensTheHoverBackgroundAndSystemColoursResetIt) {
    struct Case {
        COLORREF from;
        COLORREF to;
    };
    const Case cases[] = {
        {RGB(200, 100, 0), RGB(255, 155, 55)},
        {RGB(255, 255, 255), RGB(255, 255, 255)},
        {RGB(10, 20, 30), RGB(110, 120, 130)},
    };
    dlg.flat.SetWindowText(L"");
    dlg.flat.ForceHover(TRUE);
    for (const Case& c : cases) {
        dlg.flat.SetHoverBackground(c.from);
        dlg.flat.OffsetColor();
        wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
        Draw(dlg.flat, 0, canvas);
        EXPECT_EQ(c.to, canvas.Pixel(30, 12));
    }
    dlg.flat.SendMessage(WM_SYSCOLORCHANGE);
    wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, canvas);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), canvas.Pixel(30, 12));
}

TEST_F(FlatButtonTest, AWrappedCaptionStaysCentredAsABlock) {
    dlg.flat.SetWindowText(L"가나다라 마바사아 자차카타");
    wt::DibCanvas canvas(60, 60, RGB(1, 2, 3));
    Draw(dlg.flat, 0, canvas);
    const COLORREF textColor = ::GetSysColor(COLOR_BTNTEXT);
    int top = 60, bottom = -1, left = 60, right = -1;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            if (canvas.Pixel(x, y) == textColor) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(bottom, 0);
    TEXTMETRICW tm = {};
    HDC dc = ::GetDC(dlg.flat.m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(dlg.flat.SendMessage(WM_GETFONT)));
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(dlg.flat.m_hWnd, dc);
    EXPECT_GT(bottom - top, tm.tmHeight);  // more than one line
    EXPECT_LE(std::abs((top + bottom) - 59), tm.tmHeight);
    EXPECT_LE(std::abs((left + right) - 59), 8);
}

TEST_F(FlatButtonTest, HoverLightsTheButtonUntilTheMouseLeaves) {
    CRect r;
    dlg.flat.GetWindowRect(&r);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF light = ::GetSysColor(COLOR_BTNHILIGHT);
    wt::MouseAway();
    wt::Settle(dlg.m_hWnd);
    EXPECT_EQ(face, wt::WindowPixel(dlg.flat.m_hWnd, 0, 0));

    wt::MouseMove(r.CenterPoint().x, r.CenterPoint().y);
    EXPECT_TRUE(wt::PumpUntil([&] { return dlg.flat.IsLit() != FALSE; }));
    wt::Settle(dlg.flat.m_hWnd);
    EXPECT_EQ(light, wt::WindowPixel(dlg.flat.m_hWnd, 0, 0));

    // Onto the dialog beside it: the button hears of the leave.
    wt::MouseMove(r.right + 3, r.bottom + 12);
    EXPECT_TRUE(wt::PumpUntil([&] { return dlg.flat.IsLit() == FALSE; }));
    wt::Settle(dlg.flat.m_hWnd);
    EXPECT_EQ(face, wt::WindowPixel(dlg.flat.m_hWnd, 0, 0));

    // Sliding over it with the button held down elsewhere does not light it.
    wt::MouseDown();
    wt::MouseMove(r.CenterPoint().x, r.CenterPoint().y);
    wt::Settle();
    EXPECT_FALSE(dlg.flat.IsLit());
    wt::MouseUp();
    wt::Settle();
}

TEST_F(FlatButtonTest, ClicksToggleACheckButtonAndStillReachTheOwner) {
    CRect r;
    dlg.check.GetWindowRect(&r);
    const CPoint c = r.CenterPoint();
    wt::MouseMove(c.x, c.y);
    wt::MouseDown();
    wt::MouseUp();
    EXPECT_TRUE(wt::PumpUntil([&] { return dlg.clicks[IDC_FLAT_CHECK] == 1; }));
    EXPECT_TRUE(dlg.check.GetCheck());
    EXPECT_EQ(dlg.check.m_hWnd, ::GetFocus());

    // A double click is two clicks: checked twice over.
    wt::MouseDown();
    wt::MouseUp();
    wt::MouseDown();
    wt::MouseUp();
    EXPECT_TRUE(wt::PumpUntil([&] { return dlg.clicks[IDC_FLAT_CHECK] == 3; }));
    EXPECT_TRUE(dlg.check.GetCheck());
}

TEST_F(FlatButtonTest, DisablingMovesTheFocusOnlyWhenTheButtonHasIt) {
    HWND hOther = ::GetDlgItem(dlg.m_hWnd, IDC_OTHER);
    dlg.GotoDlgCtrl(&dlg.flat);
    ASSERT_EQ(dlg.flat.m_hWnd, ::GetFocus());
    dlg.flat.EnableWindow(FALSE);
    const HWND hFocus = ::GetFocus();
    EXPECT_NE(nullptr, hFocus);
    EXPECT_NE(dlg.flat.m_hWnd, hFocus);
    EXPECT_TRUE(::IsChild(dlg.m_hWnd, hFocus));

    dlg.flat.EnableWindow(TRUE);
    ::SetFocus(hOther);
    dlg.flat.EnableWindow(FALSE);
    EXPECT_EQ(hOther, ::GetFocus());
}

TEST_F(FlatButtonTest, OwnsItsIconsOnceAndRefusesWhatIsNotAnIcon) {
    HICON hIcon = SolidIcon(16, kRed);
    ASSERT_EQ(0u, dlg.flat.SetIcon(hIcon, hIcon));
    EXPECT_TRUE(IconAlive(hIcon));
    wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, canvas);
    EXPECT_EQ(kRed, canvas.Pixel(3, 4));
    // Giving the same in icon again keeps it.
    HICON hOut = SolidIcon(16, kBlue);
    ASSERT_EQ(0u, dlg.flat.SetIcon(hIcon, hOut));
    EXPECT_TRUE(IconAlive(hIcon));
    ASSERT_EQ(0u, dlg.flat.SetIcon(static_cast<HICON>(nullptr)));
    EXPECT_FALSE(IconAlive(hIcon));
    EXPECT_FALSE(IconAlive(hOut));

    HBITMAP hBitmap = ::CreateBitmap(4, 4, 1, 1, nullptr);
    EXPECT_EQ(1u, dlg.flat.SetIcon(reinterpret_cast<HICON>(hBitmap)));
    wt::DibCanvas none(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, none);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), none.Pixel(3, 4));
}

TEST_F(FlatButtonTest, ResourceIconsLoadAtTheRequestedSize) {
    dlg.flat.SetWindowText(L"");
    ASSERT_EQ(0u, dlg.flat.SetIcon(IDI_MULTI));
    wt::DibCanvas canvas(60, 24, RGB(1, 2, 3));
    Draw(dlg.flat, 0, canvas);
    // The 16-pixel image of the three, centred: columns 22..37, rows 4..19.
    EXPECT_EQ(kRed, canvas.Pixel(22, 4));
    EXPECT_EQ(kRed, canvas.Pixel(37, 19));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), canvas.Pixel(38, 12));
    EXPECT_EQ(1u, dlg.flat.SetIcon(UINT(4321)));
}

TEST_F(FlatButtonTest, TooltipHoldsOneToolWithTheLatestText) {
    dlg.flat.SetTooltipText(nullptr);
    dlg.flat.SetTooltipText(L"화면 색상 추출");
    dlg.flat.SetTooltipText(L"컬러 복사");
    HWND hTip = nullptr;
    for (HWND h = ::GetWindow(::GetDesktopWindow(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        WCHAR name[64] = {};
        ::GetClassNameW(h, name, 64);
        if (lstrcmpW(name, TOOLTIPS_CLASSW) == 0 && ::GetWindow(h, GW_OWNER) == dlg.flat.m_hWnd)
            hTip = h;
    }
    ASSERT_NE(nullptr, hTip);
    EXPECT_EQ(1, ::SendMessageW(hTip, TTM_GETTOOLCOUNT, 0, 0));
    WCHAR text[80] = {};
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = dlg.flat.m_hWnd;
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessageW(hTip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(L"컬러 복사", text);
}

}  // namespace
