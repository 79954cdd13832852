// Control wrappers, the toolbar bar inside a window, menus and image lists.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class CCommandHostWnd : public test::CHostWnd {
public:
    UINT lastCommand = 0;

protected:
    afx_msg void OnToolCommand(UINT nID) { lastCommand = nID; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCommandHostWnd, test::CHostWnd)
    ON_COMMAND_RANGE(32804, 32809, OnToolCommand)
END_MESSAGE_MAP()

class Controls : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.CreateHost(600, 400)); }
    void TearDown() override { host.DestroyWindow(); }
    CCommandHostWnd host;
};

TEST_F(Controls, ListsKeepTheirItems) {
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, CRect(0, 0, 100, 120), &host, 1));
    CListBox list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LBS_NOTIFY, CRect(110, 0, 210, 100), &host, 2));
    for (const wchar_t* s : {L"하나", L"둘", L"셋"}) {
        combo.AddString(s);
        list.AddString(s);
    }
    combo.SetItemData(1, 0xBEEF);
    list.SetItemData(2, 0xCAFE);
    CString text;
    combo.GetLBText(1, text);
    EXPECT_EQ(text, L"둘");
    list.GetText(2, text);
    EXPECT_EQ(text, L"셋");
    EXPECT_EQ(combo.GetItemData(1), 0xBEEFu);
    EXPECT_EQ(list.GetItemData(2), 0xCAFEu);
    EXPECT_EQ(combo.FindStringExact(-1, L"셋"), 2);
    EXPECT_EQ(list.SelectString(-1, L"하"), 0);
    EXPECT_EQ(list.GetCurSel(), 0);

    CListCtrl view;
    ASSERT_TRUE(view.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 130, 300, 330), &host, 3));
    EXPECT_EQ(view.InsertColumn(0, L"이름", LVCFMT_LEFT, 120), 0);
    EXPECT_EQ(view.InsertColumn(1, L"크기", LVCFMT_RIGHT, 60), 1);
    EXPECT_EQ(view.InsertItem(0, L"capture_001.png"), 0);
    EXPECT_TRUE(view.SetItemText(0, 1, L"12 KB"));
    EXPECT_TRUE(view.SetItemData(0, 77));
    CString longName(L'x', 600);  // longer than the first read buffer
    EXPECT_EQ(view.InsertItem(1, longName), 1);
    EXPECT_EQ(view.GetItemText(0, 0), L"capture_001.png");
    EXPECT_EQ(view.GetItemText(0, 1), L"12 KB");
    EXPECT_EQ(view.GetItemText(1, 0), longName);
    EXPECT_EQ(view.GetItemData(0), 77u);
    view.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(view.GetNextItem(-1, LVNI_SELECTED), 1);

    CTreeCtrl tree;
    ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASLINES, CRect(310, 130, 500, 330), &host, 4));
    HTREEITEM root = tree.InsertItem(L"파일설정", 0, 0);
    HTREEITEM child = tree.InsertItem(L"child", root);
    tree.SetItemData(child, 5);
    EXPECT_EQ(tree.GetItemText(root), L"파일설정");
    EXPECT_EQ(tree.GetChildItem(root), child);
    EXPECT_EQ(tree.GetParentItem(child), root);
    EXPECT_EQ(tree.GetItemData(child), 5u);
    EXPECT_TRUE(tree.SelectItem(child));
    EXPECT_EQ(tree.GetSelectedItem(), child);
    EXPECT_EQ(tree.GetCount(), 2u);
}

TEST_F(Controls, RangesAndPositions) {
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE | TBS_HORZ, CRect(0, 0, 200, 30), &host, 1));
    slider.SetRange(10, 90);
    slider.SetPos(200);  // clamped by the control
    EXPECT_EQ(slider.GetPos(), 90);
    EXPECT_EQ(slider.GetRangeMin(), 10);

    CProgressCtrl progress;
    ASSERT_TRUE(progress.Create(WS_VISIBLE, CRect(0, 40, 200, 60), &host, 2));
    progress.SetRange32(0, 1000);
    progress.SetPos(250);
    progress.SetStep(50);
    progress.StepIt();
    int lower = -1;
    int upper = -1;
    progress.GetRange(lower, upper);
    EXPECT_EQ(progress.GetPos(), 300);
    EXPECT_EQ(upper, 1000);

    CEdit buddy;
    ASSERT_TRUE(buddy.Create(WS_VISIBLE | WS_BORDER, CRect(0, 70, 80, 90), &host, 3));
    CSpinButtonCtrl spin;
    ASSERT_TRUE(spin.Create(WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, CRect(0, 0, 0, 0), &host, 4));
    spin.SetBuddy(&buddy);
    spin.SetRange32(1, 60);
    spin.SetPos(42);
    EXPECT_EQ(spin.GetPos(), 42);
    CString text;
    buddy.GetWindowText(text);
    EXPECT_EQ(text, L"42");

    CTabCtrl tabs;
    ASSERT_TRUE(tabs.Create(WS_VISIBLE, CRect(200, 0, 500, 200), &host, 5));
    tabs.InsertItem(0, L"저장된 파일");
    tabs.InsertItem(1, L"저장된 DC");
    tabs.SetCurSel(1);
    EXPECT_EQ(tabs.GetItemCount(), 2);
    EXPECT_EQ(tabs.GetCurSel(), 1);
    CRect item;
    EXPECT_TRUE(tabs.GetItemRect(0, &item));
    EXPECT_GT(item.Width(), 0);
}

TEST_F(Controls, ToolBarInAWindowAndRebar) {
    CReBarCtrl rebar;
    ASSERT_TRUE(rebar.Create(WS_VISIBLE | WS_CLIPSIBLINGS | RBS_BANDBORDERS | CCS_NODIVIDER, CRect(0, 0, 600, 60),
                             &host, 0xE804));
    CToolBar toolbar;
    ASSERT_TRUE(toolbar.CreateEx(&host, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP));
    EXPECT_EQ(toolbar.GetDlgCtrlID(), static_cast<int>(AFX_IDW_TOOLBAR));
    EXPECT_EQ(toolbar.GetBarStyle(), CBRS_ALIGN_TOP);
    // CBRS_ALIGN_TOP shares its bit with TBSTYLE_CUSTOMERASE: bar bits stay out of the window style.
    EXPECT_EQ(toolbar.GetStyle() & TBSTYLE_CUSTOMERASE, 0u);
    EXPECT_NE(toolbar.GetStyle() & TBSTYLE_FLAT, 0u);

    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 1));
    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    images.Add(icon);
    images.Add(icon);
    EXPECT_EQ(images.GetImageCount(), 2);
    toolbar.GetToolBarCtrl().SetImageList(&images);

    ASSERT_TRUE(toolbar.SetButtons(nullptr, 3));
    toolbar.SetButtonInfo(0, 32804, TBSTYLE_DROPDOWN, 0);
    toolbar.SetButtonInfo(1, ID_SEPARATOR, TBSTYLE_SEP, 7);
    toolbar.SetButtonInfo(2, 32807, TBSTYLE_BUTTON, 1);
    EXPECT_TRUE(toolbar.SetButtonText(0, L"저장(&S)"));
    EXPECT_TRUE(toolbar.SetButtonText(2, L"워터마크(&A)"));
    toolbar.SetSizes(CSize(60, 40), CSize(16, 16));

    EXPECT_EQ(toolbar.GetToolBarCtrl().GetButtonCount(), 3);
    EXPECT_EQ(toolbar.CommandToIndex(32807), 2);
    EXPECT_EQ(toolbar.GetItemID(0), 32804u);
    EXPECT_EQ(LOWORD(toolbar.GetButtonStyle(0)), static_cast<UINT>(TBSTYLE_DROPDOWN));
    EXPECT_EQ(toolbar.GetButtonText(2), L"워터마크(&A)");
    UINT id = 0;
    UINT style = 0;
    int image = 0;
    toolbar.GetButtonInfo(1, id, style, image);
    EXPECT_EQ(image, 7);  // a separator's width
    CRect first;
    toolbar.GetItemRect(0, &first);
    EXPECT_GT(first.Width(), 0);
    EXPECT_GT(first.Height(), 0);

    REBARBANDINFOW band = {};
    band.cbSize = REBARBANDINFOW_V3_SIZE;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID;
    band.fStyle = RBBS_BREAK | RBBS_NOGRIPPER;
    band.hwndChild = toolbar.m_hWnd;
    band.cxMinChild = first.Width();
    band.cyMinChild = first.Height();
    band.cx = 400;
    band.wID = 0;
    EXPECT_TRUE(rebar.InsertBand(0, &band));
    EXPECT_EQ(rebar.GetBandCount(), 1u);
    EXPECT_EQ(toolbar.GetParent(), &rebar);

    // A click on a button reaches the window's command map through the rebar.
    CRect third;
    toolbar.GetItemRect(2, &third);
    LPARAM at = MAKELPARAM(third.CenterPoint().x, third.CenterPoint().y);
    toolbar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    toolbar.SendMessage(WM_LBUTTONUP, 0, at);
    test::PumpMessages();
    EXPECT_EQ(host.lastCommand, 32807u);

    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&host));
    EXPECT_TRUE(tips.AddTool(&toolbar, L"저장", &first, 32804));
    EXPECT_EQ(tips.GetToolCount(), 1);
    toolbar.GetToolBarCtrl().SetToolTips(&tips);
    EXPECT_EQ(toolbar.GetToolBarCtrl().GetToolTips(), &tips);
    toolbar.GetToolBarCtrl().SetImageList(nullptr);
}

TEST_F(Controls, MenusAndStringsFromResources) {
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_POPUP));
    CMenu* popup = menu.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetMenuItemCount(), 3);
    CString label;
    popup->GetMenuString(ID_ITEM_FIRST, label, MF_BYCOMMAND);
    EXPECT_EQ(label, L"저장(&S)\tCtrl+S");
    popup->CheckMenuItem(ID_ITEM_SECOND, MF_BYCOMMAND | MF_CHECKED);
    EXPECT_TRUE(popup->GetMenuState(ID_ITEM_SECOND, MF_BYCOMMAND) & MF_CHECKED);

    CMenu* system = host.GetSystemMenu(FALSE);
    ASSERT_NE(system, nullptr);
    int before = system->GetMenuItemCount();
    system->AppendMenu(MF_SEPARATOR);
    system->AppendMenu(MF_STRING, 0x10, L"Vesk 정보(&A)...");
    EXPECT_EQ(system->GetMenuItemCount(), before + 2);

    HMENU hMenu = menu.m_hMenu;
    HMENU hDetached = nullptr;
    {
        CMenu owner;
        owner.CreatePopupMenu();
        hDetached = owner.Detach();
    }
    EXPECT_TRUE(::IsMenu(hDetached));
    ::DestroyMenu(hDetached);
    EXPECT_TRUE(::IsMenu(hMenu));
}

}  // namespace
