// The modal loop: the PreTranslateMessage walk, accelerators of the main
// dialog, idle messages, show-on-idle and WM_QUIT. Every dialog here is driven
// by posted messages and ends itself; a safety timer ends a stuck one with -2.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 60;
constexpr UINT_PTR kSafetyTimer = 99;
constexpr UINT kSafetyMs = 20000;
constexpr UINT ID_ACCEL_COMMAND = 41000;

std::vector<std::wstring> g_walk;

class CLoggingEdit : public CEdit {
public:
    explicit CLoggingEdit(const wchar_t* name) : m_name(name) {}
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN)
            g_walk.push_back(m_name);
        return CEdit::PreTranslateMessage(pMsg);
    }

private:
    std::wstring m_name;
};

// A modal dialog that runs a script of steps, one per posted WM_TEST_STEP.
class CScriptDlg : public CDialog {
public:
    CScriptDlg(const wchar_t* name, CWnd* pParent = nullptr) : CDialog(IDD_MODAL, pParent), m_edit(name), m_name(name) {}

    std::vector<std::function<void(CScriptDlg&)>> steps;
    std::function<LRESULT(CScriptDlg&, LPARAM)> onKickIdle;
    std::function<void(CScriptDlg&)> onInit;
    HACCEL hAccel = nullptr;
    std::vector<UINT> commands;
    bool visibleAtInit = true;
    bool bindEdit = true;
    CLoggingEdit m_edit;

    void Next() { PostMessage(WM_TEST_STEP); }

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        if (bindEdit)
            DDX_Control(pDX, IDC_EDIT, m_edit);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        visibleAtInit = IsWindowVisible();
        SetTimer(kSafetyTimer, kSafetyMs, nullptr);
        if (onInit)
            onInit(*this);
        if (!steps.empty())
            Next();
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN)
            g_walk.push_back(m_name);
        if (hAccel && ::TranslateAcceleratorW(m_hWnd, hAccel, pMsg))
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
    afx_msg LRESULT OnStep(WPARAM, LPARAM) {
        if (m_next < steps.size())
            steps[m_next++](*this);
        return 0;
    }
    afx_msg LRESULT OnKickIdle(WPARAM, LPARAM lParam) {
        return onKickIdle ? onKickIdle(*this, lParam) : 0;
    }
    afx_msg void OnTimer(UINT_PTR id) {
        if (id == kSafetyTimer)
            EndDialog(-2);
    }
    afx_msg void OnAccelCommand() { commands.push_back(ID_ACCEL_COMMAND); }

    DECLARE_MESSAGE_MAP()

private:
    std::wstring m_name;
    size_t m_next = 0;
};

BEGIN_MESSAGE_MAP(CScriptDlg, CDialog)
    ON_MESSAGE(WM_TEST_STEP, OnStep)
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
    ON_WM_TIMER()
    ON_COMMAND(ID_ACCEL_COMMAND, OnAccelCommand)
END_MESSAGE_MAP()

// Makes the dialog the application's main window for one test.
class MainWindowScope {
public:
    explicit MainWindowScope(CWnd* pWnd) { AfxGetApp()->m_pMainWnd = pWnd; }
    ~MainWindowScope() { AfxGetApp()->m_pMainWnd = nullptr; }
};

void PostKey(HWND hWnd, UINT vk) {
    ::PostMessageW(hWnd, WM_KEYDOWN, vk, 1);
}

TEST(ModalLoop, PreTranslateWalkGoesFromTargetUpToTheMainWindow) {
    g_walk.clear();
    CScriptDlg main(L"main");
    MainWindowScope scope(&main);
    CScriptDlg inner(L"inner", &main);
    bool ownerDisabled = false;

    inner.steps = {
        [&](CScriptDlg& d) {
            ownerDisabled = !main.IsWindowEnabled();
            PostKey(d.m_edit.m_hWnd, 'A');
            d.Next();
        },
        [](CScriptDlg& d) { d.EndDialog(IDOK); },
    };
    INT_PTR innerResult = 0;
    main.steps = {
        [&](CScriptDlg& d) {
            PostKey(d.m_edit.m_hWnd, 'B');
            d.Next();
        },
        [&](CScriptDlg& d) {
            innerResult = inner.DoModal();
            d.EndDialog(IDCANCEL);
        },
    };
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_TRUE(ownerDisabled);
    const std::vector<std::wstring> expected = {L"main", L"main", L"inner", L"inner", L"main"};
    EXPECT_EQ(g_walk, expected);  // edit and dialog of main, then edit, dialog and owner for the inner one
}

TEST(ModalLoop, MainWindowGetsTheLastChanceAtForeignWindows) {
    g_walk.clear();
    ACCEL accel = {FVIRTKEY, VK_F5, static_cast<WORD>(ID_ACCEL_COMMAND)};
    HACCEL hAccel = ::CreateAcceleratorTableW(&accel, 1);
    CScriptDlg main(L"main");
    main.hAccel = hAccel;
    MainWindowScope scope(&main);
    test::CHostWnd floating;  // a top-level window outside the main dialog

    main.steps = {
        [&](CScriptDlg& d) {
            ASSERT_TRUE(floating.CreateHost(100, 100));
            PostKey(d.m_edit.m_hWnd, VK_F5);
            PostKey(floating.m_hWnd, VK_F5);
            d.Next();
        },
        [&](CScriptDlg& d) {
            floating.DestroyWindow();
            d.EndDialog(IDOK);
        },
    };
    EXPECT_EQ(main.DoModal(), IDOK);
    ::DestroyAcceleratorTable(hAccel);
    EXPECT_EQ(main.commands.size(), 2u);  // once from its own edit, once from the foreign window
}

TEST(ModalLoop, AcceleratorsOfTheMainDialogAreSeenWhileAnotherModalIsUp) {
    g_walk.clear();
    ACCEL accel = {FVIRTKEY, VK_F5, static_cast<WORD>(ID_ACCEL_COMMAND)};
    HACCEL hAccel = ::CreateAcceleratorTableW(&accel, 1);
    CScriptDlg main(L"main");
    main.hAccel = hAccel;
    MainWindowScope scope(&main);
    CScriptDlg inner(L"inner", &main);
    inner.steps = {
        [&](CScriptDlg& d) {
            PostKey(d.m_edit.m_hWnd, VK_F5);
            d.Next();
        },
        [](CScriptDlg& d) { d.EndDialog(IDOK); },
    };
    main.steps = {[&](CScriptDlg& d) {
        inner.DoModal();
        d.EndDialog(IDOK);
    }};
    EXPECT_EQ(main.DoModal(), IDOK);
    ::DestroyAcceleratorTable(hAccel);
    // The key reached the main dialog's PreTranslateMessage, which consumed it
    // through its accelerator table.
    const std::vector<std::wstring> expected = {L"inner", L"inner", L"main"};
    EXPECT_EQ(g_walk, expected);
    EXPECT_EQ(main.commands.size(), 1u);
    EXPECT_TRUE(inner.commands.empty());
}

TEST(ModalLoop, WithoutAParentTheActivePopupOwnsTheDialog) {
    CScriptDlg main(L"main");
    MainWindowScope scope(&main);
    CDialog popup;
    CScriptDlg inner(L"inner");
    HWND innerOwner = nullptr;
    bool mainDisabled = false;
    bool popupDisabled = false;
    inner.onInit = [&](CScriptDlg& d) {
        innerOwner = ::GetWindow(d.m_hWnd, GW_OWNER);
        mainDisabled = !main.IsWindowEnabled();
        popupDisabled = !popup.IsWindowEnabled();
        d.EndDialog(IDOK);
    };
    bool mainEnabledAfter = false;
    HWND hPopup = nullptr;
    main.steps = {[&](CScriptDlg& d) {
        ASSERT_TRUE(popup.Create(IDD_MODAL, &main));
        hPopup = popup.m_hWnd;
        popup.ShowWindow(SW_SHOW);
        popup.SetActiveWindow();
        inner.DoModal();
        mainEnabledAfter = main.IsWindowEnabled() != FALSE;
        popup.DestroyWindow();
        d.EndDialog(IDOK);
    }};
    EXPECT_EQ(main.DoModal(), IDOK);
    ASSERT_NE(hPopup, nullptr);
    EXPECT_EQ(innerOwner, hPopup);
    EXPECT_TRUE(popupDisabled);
    EXPECT_TRUE(mainDisabled);  // the top-level window behind the popup as well
    EXPECT_TRUE(mainEnabledAfter);
}

TEST(ModalLoop, KickIdleCountsAndShowOnIdle) {
    CScriptDlg dlg(L"idle");
    std::vector<LPARAM> counts;
    bool visibleAtFirstIdle = false;
    int rounds = 0;
    size_t posted = 0;
    dlg.onKickIdle = [&](CScriptDlg& d, LPARAM count) -> LRESULT {
        if (counts.empty())
            visibleAtFirstIdle = d.IsWindowVisible() != FALSE;
        counts.push_back(count);
        if (count < 2)
            return TRUE;  // more idle work
        if (++rounds == 1) {
            d.PostMessage(WM_NULL);  // a new message restarts the count
            posted = counts.size();
            return FALSE;
        }
        d.EndDialog(IDOK);
        return FALSE;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.visibleAtInit);
    EXPECT_TRUE(visibleAtFirstIdle);
    // The display server may slip in messages of its own, each restarting
    // the count; apart from those the count climbs by one.
    ASSERT_GE(counts.size(), 6u);
    EXPECT_EQ(counts.front(), 0);
    for (size_t i = 1; i < counts.size(); ++i)
        EXPECT_TRUE(counts[i] == 0 || counts[i] == counts[i - 1] + 1) << "at " << i;
    ASSERT_LT(posted, counts.size());
    EXPECT_EQ(counts[posted], 0);
    EXPECT_EQ(counts.back(), 2);
}

TEST(ModalLoop, IdleHandlerCanFreeTemporaryWrappers) {
    CScriptDlg dlg(L"temps");
    size_t before = 0;
    size_t after = 0;
    dlg.onKickIdle = [&](CScriptDlg& d, LPARAM count) -> LRESULT {
        if (count == 0) {
            CWnd::FromHandle(::GetDesktopWindow());
            before = test::TemporaryCount();
        }
        BOOL more = AfxGetApp()->OnIdle(static_cast<LONG>(count));
        if (!more) {
            after = test::TemporaryCount();
            d.EndDialog(IDOK);
        }
        return more;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_GE(before, 1u);
    EXPECT_EQ(after, 0u);
}

TEST(ModalLoop, EndDialogFromInitNeverShowsTheDialog) {
    CScriptDlg dlg(L"early");
    bool shown = false;
    dlg.onInit = [](CScriptDlg& d) { d.EndDialog(7); };
    dlg.onKickIdle = [&](CScriptDlg&, LPARAM) -> LRESULT {
        shown = true;
        return FALSE;
    };
    EXPECT_EQ(dlg.DoModal(), 7);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(ModalLoop, QuitEndsTheLoopAndIsPassedOn) {
    CScriptDlg dlg(L"quit");
    dlg.steps = {[](CScriptDlg&) { ::PostQuitMessage(5); }};
    EXPECT_EQ(dlg.DoModal(), -1);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(ModalLoop, EscapeAndOkGoThroughDialogNavigation) {
    struct Case {
        UINT key;
        INT_PTR result;
    } cases[] = {{VK_ESCAPE, IDCANCEL}, {VK_RETURN, IDOK}};
    for (const Case& c : cases) {
        CScriptDlg dlg(L"keys");
        dlg.steps = {[&](CScriptDlg& d) { PostKey(d.m_edit.m_hWnd, c.key); }};
        EXPECT_EQ(dlg.DoModal(), c.result) << c.key;
    }
}

TEST(ModalLoop, InMemoryTemplate) {
    test::DialogTemplate tmpl(WS_POPUP | WS_CAPTION | DS_MODALFRAME, 120, 50, L"Memory");
    tmpl.AddControl(test::kButtonAtom, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 10, 50, 14, L"OK");
    CScriptDlg dlg(L"memory");
    dlg.bindEdit = false;
    ASSERT_TRUE(dlg.InitModalIndirect(tmpl.Get()));
    CString caption;
    dlg.onInit = [&](CScriptDlg& d) {
        d.GetWindowText(caption);
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(caption, L"Memory");
}

}  // namespace
