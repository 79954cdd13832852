// Drives vesk.exe as a user would start it: a fresh folder, its window, its
// settings file, and its way out. Every wait is bounded so that a broken
// program fails the test instead of hanging it.
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/Profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kMainTitle = L"베스크캡쳐V0.6";
constexpr const wchar_t* kAboutTitle = L"베스크캡V0.6 정보";
constexpr UINT kExitCommand = 32946;
constexpr UINT kTrayExitCommand = 32978;
constexpr UINT kTrayNotify = WM_APP + 12;
constexpr LPARAM kTrayRestore = 0x800D;
constexpr DWORD kPatienceMs = 60000;  // a hang guard, not a measurement

std::wstring ExePath() {
    // The build tree's path as Wine sees it.
    std::string unixPath = VESK_EXE;
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
        bytes.append(buffer, got);
    ::CloseHandle(f);
    return bytes;
}

struct FindWindowQuery {
    DWORD pid;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<FindWindowQuery*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    WCHAR title[128] = {};
    ::GetWindowTextW(hWnd, title, 128);
    if (pid == q->pid && std::wstring(title) == q->title) {
        q->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Polls until pred() holds or the patience runs out.
template <class Pred>
bool WaitFor(Pred pred) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > kPatienceMs)
            return false;
        ::Sleep(50);
    }
    return true;
}

class VeskProcess : public ::testing::Test {
protected:
    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++counter_);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
        exe_ = folder_ + L"\\vesk.exe";
        ini_ = folder_ + L"\\vesk.ini";
        ASSERT_TRUE(::CopyFileW(ExePath().c_str(), exe_.c_str(), FALSE)) << "cannot copy vesk.exe";
    }
    void TearDown() override {
        Kill();
        ::DeleteFileW(exe_.c_str());
        ::DeleteFileW(ini_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }

    void Start() {
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe_ + L"\"";
        ASSERT_TRUE(::CreateProcessW(exe_.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &si,
                                     &pi_));
        ::CloseHandle(pi_.hThread);
        pi_.hThread = nullptr;
    }
    HWND FindOwnWindow(const wchar_t* title) const {
        FindWindowQuery q = {pi_.dwProcessId, title, nullptr};
        ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
        return q.found;
    }
    HWND WaitForWindow(const wchar_t* title) const {
        HWND found = nullptr;
        WaitFor([&] { return (found = FindOwnWindow(title)) != nullptr; });
        return found;
    }
    // Returns once the program has gone through its first idle moment.
    void WaitUntilIdle(HWND hWnd) const {
        ::WaitForInputIdle(pi_.hProcess, kPatienceMs);
        DWORD_PTR result = 0;
        for (int i = 0; i < 2; ++i)
            ::SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result);
    }
    DWORD WaitForExit() {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(pi_.hProcess, kPatienceMs) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    void Kill() {
        if (!pi_.hProcess)
            return;
        if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(pi_.hProcess, 99);
            ::WaitForSingleObject(pi_.hProcess, kPatienceMs);
        }
        ::CloseHandle(pi_.hProcess);
        pi_ = {};
    }
    HWND StartAndShow() {
        Start();
        HWND main = WaitForWindow(kMainTitle);
        EXPECT_NE(main, nullptr) << "no main window";
        if (main) {
            EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
        }
        return main;
    }
    void ExitVia(HWND main, UINT command) {
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, command, 0));
        EXPECT_EQ(WaitForExit(), 0u);
        Kill();
    }

    std::wstring folder_, exe_, ini_;
    PROCESS_INFORMATION pi_ = {};
    static inline int counter_ = 0;
};

TEST_F(VeskProcess, FirstStartWritesDefaultsAndExitWritesFileOptionsBack) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);

    ASSERT_TRUE(profile::FileExists(ini_.c_str()));
    COpFilePropertyPage file;
    COpContinuePage misc;
    file.LoadOptions(ini_.c_str());
    misc.LoadOptions(ini_.c_str());
    EXPECT_EQ(std::wstring(file.Directory), folder_);
    EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
    EXPECT_EQ(std::wstring(file.FileType), L"bmp");
    EXPECT_EQ(misc.CookieNumber, 200);
    EXPECT_EQ(profile::ReadValue(profile::kVersionSection, L"ProjectName", ini_.c_str()), CString(L"VeskCapture"));

    // The system menu's about entry opens the about box; its OK closes it.
    ASSERT_TRUE(::PostMessageW(main, WM_SYSCOMMAND, 0x10, 0));
    HWND about = WaitForWindow(kAboutTitle);
    ASSERT_NE(about, nullptr) << "no about box";
    EXPECT_TRUE(::PostMessageW(about, WM_COMMAND, IDOK, 0));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));

    // What is on disk now is overwritten from memory when the dialog ends.
    profile::WriteValue(profile::kFileSection, L"FileCount", 99, ini_.c_str());
    profile::WriteValue(profile::kFileSection, L"FileName", L"Other", ini_.c_str());
    ExitVia(main, kExitCommand);
    file.LoadOptions(ini_.c_str());
    EXPECT_EQ(file.FileCount, 0);
    EXPECT_EQ(std::wstring(file.FileName), L"Vesk");
}

TEST_F(VeskProcess, SecondStartChangesNothingBeforeExit) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    ExitVia(main, kExitCommand);
    const std::string before = ReadBytes(ini_);
    ASSERT_FALSE(before.empty());

    main = StartAndShow();
    ASSERT_NE(main, nullptr);
    WaitUntilIdle(main);
    EXPECT_EQ(ReadBytes(ini_), before);
    ExitVia(main, kExitCommand);
}

struct ChildRects {
    HWND parent;
    RECT rebar, tabs, splitter;
    int found;
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
    auto* c = reinterpret_cast<ChildRects*>(lParam);
    if (::GetParent(hWnd) != c->parent)
        return TRUE;
    WCHAR cls[64] = {};
    ::GetClassNameW(hWnd, cls, 64);
    RECT r;
    ::GetWindowRect(hWnd, &r);
    ::MapWindowPoints(nullptr, c->parent, reinterpret_cast<POINT*>(&r), 2);
    if (std::wstring(cls) == REBARCLASSNAMEW) {
        c->rebar = r;
        c->found |= 1;
    } else if (std::wstring(cls) == WC_TABCONTROLW) {
        c->tabs = r;
        c->found |= 2;
    } else if (::GetDlgCtrlID(hWnd) == 1004) {
        c->splitter = r;
        c->found |= 4;
    }
    return TRUE;
}

// Toolbar band, splitter and pane tabs stay stacked in that order, inside the
// client area, whatever size the dialog gets.
TEST_F(VeskProcess, MainDialogLayoutFollowsItsSize) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    const SIZE sizes[] = {{0, 0}, {1000, 760}, {700, 520}, {560, 420}};
    for (const SIZE& size : sizes) {
        if (size.cx) {
            ASSERT_TRUE(::SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER));
            WaitUntilIdle(main);
        }
        ChildRects c = {main, {}, {}, {}, 0};
        ::EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&c));
        ASSERT_EQ(c.found, 7) << "rebar, pane tabs and splitter expected";
        RECT client;
        ::GetClientRect(main, &client);
        SCOPED_TRACE(testing::Message() << "client " << client.right << "x" << client.bottom);
        EXPECT_LE(c.rebar.bottom, c.splitter.top);
        EXPECT_LE(c.splitter.bottom, c.tabs.top);
        EXPECT_LE(c.tabs.bottom, client.bottom);
        EXPECT_GE(c.rebar.top, 0);
        EXPECT_EQ(c.tabs.right - c.tabs.left, client.right);
        EXPECT_GT(c.tabs.bottom - c.tabs.top, 40);
    }
    ExitVia(main, kExitCommand);
}

TEST_F(VeskProcess, StartTrayHidesTheDialogUntilRestored) {
    ASSERT_TRUE(profile::WriteDefaults(ini_.c_str(), CString(folder_.c_str())));
    profile::WriteValue(profile::kMiscSection, L"StartTray", 1, ini_.c_str());

    Start();
    HWND main = WaitForWindow(kMainTitle);
    ASSERT_NE(main, nullptr);
    WaitUntilIdle(main);
    EXPECT_FALSE(::IsWindowVisible(main)) << "the dialog shows although it started into the tray";

    ASSERT_TRUE(::PostMessageW(main, kTrayNotify, 0, kTrayRestore));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
    ExitVia(main, kTrayExitCommand);
}

}  // namespace
