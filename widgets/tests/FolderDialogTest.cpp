// CFolderDialog over the real browser: the browser is ended from inside its
// initialisation callback by a posted IDOK or IDCANCEL.
#include "WidgetTestUtil.h"
#include "widgets/FolderDialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class CScriptedFolderDialog : public CFolderDialog {
public:
    using CFolderDialog::CFolderDialog;

    UINT answer = IDOK;
    LPITEMIDLIST selectPidl = nullptr;  // a selection to make before answering
    bool ownerEnabledWhileOpen = true;
    bool sawBrowser = false;
    std::wstring titleShown;
    std::wstring initialPath() const { return m_szSelPath; }

protected:
    void OnInitialized() override {
        CFolderDialog::OnInitialized();
        HWND hBrowser = GetBrowseWindow();
        sawBrowser = hBrowser != nullptr;
        if (HWND hOwner = ::GetWindow(hBrowser, GW_OWNER))
            ownerEnabledWhileOpen = ::IsWindowEnabled(hOwner) != FALSE;
        ::EnumChildWindows(hBrowser, &CScriptedFolderDialog::FindTitle, reinterpret_cast<LPARAM>(this));
        if (selectPidl)
            SetSelection(selectPidl);
        ::PostMessageW(hBrowser, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }

private:
    static BOOL CALLBACK FindTitle(HWND hWnd, LPARAM lParam) {
        auto* self = reinterpret_cast<CScriptedFolderDialog*>(lParam);
        WCHAR text[256] = {};
        ::GetWindowTextW(hWnd, text, 256);
        if (self->m_bi.lpszTitle && lstrcmpW(text, self->m_bi.lpszTitle) == 0)
            self->titleShown = text;
        return TRUE;
    }
};

class FolderDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                                   nullptr));
        WCHAR windows[MAX_PATH] = {};
        ::GetWindowsDirectoryW(windows, MAX_PATH);
        windowsDir = windows;
    }
    void TearDown() override { owner.DestroyWindow(); }

    CWnd owner;
    std::wstring windowsDir;
};

TEST_F(FolderDialogTest, OkReturnsTheInitialFolderAndGivesTheOwnerBack) {
    std::wstring title = L"저장할 폴더를 선택하세요";
    auto dlg = std::make_unique<CScriptedFolderDialog>(title.c_str(), windowsDir.c_str(), &owner);
    title.assign(title.size(), L'x');  // the dialog keeps its own copy
    EXPECT_EQ(IDOK, dlg->DoModal());
    EXPECT_TRUE(dlg->sawBrowser);
    EXPECT_EQ(0, lstrcmpiW(windowsDir.c_str(), dlg->GetFolderPath())) << dlg->GetFolderPath();
    EXPECT_FALSE(dlg->ownerEnabledWhileOpen);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(L"저장할 폴더를 선택하세요", dlg->titleShown);
}

TEST_F(FolderDialogTest, CancelReturnsCancelWithNoPath) {
    CScriptedFolderDialog dlg(L"폴더", windowsDir.c_str(), &owner);
    dlg.answer = IDCANCEL;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_STREQ(L"", dlg.GetFolderPath());
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(FolderDialogTest, AFolderWithoutAFileSystemPathEndsWithMinusOne) {
    CScriptedFolderDialog dlg(L"폴더", windowsDir.c_str(), &owner);
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &dlg.selectPidl));
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_STREQ(L"", dlg.GetFolderPath());
    EXPECT_TRUE(owner.IsWindowEnabled());
    ::CoTaskMemFree(dlg.selectPidl);
}

TEST_F(FolderDialogTest, AnOverlongInitialFolderIsIgnored) {
    const std::wstring longest(MAX_PATH - 1, L'a');
    const std::wstring tooLong(MAX_PATH, L'a');
    EXPECT_EQ(longest, CScriptedFolderDialog(nullptr, longest.c_str()).initialPath());
    EXPECT_EQ(L"", CScriptedFolderDialog(nullptr, tooLong.c_str()).initialPath());
    EXPECT_EQ(L"", CScriptedFolderDialog(nullptr, std::wstring(5000, L'b').c_str()).initialPath());

    CScriptedFolderDialog dlg(nullptr, tooLong.c_str(), &owner);
    dlg.answer = IDCANCEL;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(owner.IsWindowEnabled());
}

}  // namespace
