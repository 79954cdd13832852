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
constexpr UINT kWebImageCommand = 32782;
constexpr const wchar_t* kWebImageTitle = L"웹 이미지";
constexpr const wchar_t* kFrameTitle = L"VeskFrame";
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
    RECT rebar, tabs, splitter, frame;
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
    } else {
        WCHAR title[64] = {};
        ::GetWindowTextW(hWnd, title, 64);
        if (std::wstring(title) == kFrameTitle && ::IsWindowVisible(hWnd)) {
            c->frame = r;
            c->found |= 8;
        }
    }
    return TRUE;
}

// Toolbar band, work-area frame, splitter and pane tabs stay stacked in that
// order, inside the client area, whatever size the dialog gets.
TEST_F(VeskProcess, MainDialogLayoutFollowsItsSize) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    const SIZE sizes[] = {{0, 0}, {1000, 760}, {700, 520}, {560, 420}};
    for (const SIZE& size : sizes) {
        if (size.cx) {
            ASSERT_TRUE(::SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER));
            WaitUntilIdle(main);
        }
        ChildRects c = {main, {}, {}, {}, {}, 0};
        ::EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&c));
        ASSERT_EQ(c.found, 15) << "rebar, pane tabs, splitter and work-area frame expected";
        RECT client;
        ::GetClientRect(main, &client);
        SCOPED_TRACE(testing::Message() << "client " << client.right << "x" << client.bottom);
        EXPECT_LE(c.rebar.bottom, c.frame.top);
        EXPECT_LE(c.frame.bottom, c.splitter.top);
        EXPECT_GT(c.frame.bottom - c.frame.top, 0);
        EXPECT_EQ(c.frame.right - c.frame.left, client.right);
        EXPECT_LE(c.splitter.bottom, c.tabs.top);
        EXPECT_LE(c.tabs.bottom, client.bottom);
        EXPECT_GE(c.rebar.top, 0);
        EXPECT_EQ(c.tabs.right - c.tabs.left, client.right);
        EXPECT_GT(c.tabs.bottom - c.tabs.top, 40);
    }
    ExitVia(main, kExitCommand);
}

RECT ChildRect(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MouseTo(POINT screen, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(screen.x * 65535LL / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = static_cast<LONG>(screen.y * 65535LL / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    ::SendInput(1, &in, sizeof in);
}

// Drags the splitter bar by dy pixels with the mouse.
void DragSplitter(HWND splitter, int dy) {
    RECT r;
    ::GetWindowRect(splitter, &r);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    MouseTo(p, 0);
    ::Sleep(100);
    MouseTo(p, MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 4; ++i) {
        ::Sleep(50);
        MouseTo({p.x, p.y + dy * i / 4}, 0);
    }
    ::Sleep(100);
    MouseTo({p.x, p.y + dy}, MOUSEEVENTF_LEFTUP);
}

// A splitter drag moves the frame's bottom and the pane tabs' top together; the
// work area's share of the height, snapped to 0 or 100 % near the ends, then
// decides who takes a change of the dialog's height.
TEST_F(VeskProcess, SplitterDragSharesTheHeight) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(::SetWindowPos(main, HWND_TOP, 100, 100, 700, 560, SWP_SHOWWINDOW));
    ::SetForegroundWindow(main);
    WaitUntilIdle(main);
    HWND frame = ::FindWindowExW(main, nullptr, nullptr, kFrameTitle);
    HWND splitter = ::GetDlgItem(main, 1004);
    HWND tabs = ::GetDlgItem(main, 1012);
    ASSERT_TRUE(frame && splitter && tabs);

    struct Case {
        int drag;             // pixels, down positive
        bool frameTakesGrowth;  // share above 80 % snaps to 100 %, below 30 % to 0 %
    };
    const Case cases[] = {{100, true}, {-450, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "drag " << c.drag);
        const RECT frameBefore = ChildRect(main, frame);
        const RECT tabsBefore = ChildRect(main, tabs);
        DragSplitter(splitter, c.drag);
        ASSERT_TRUE(WaitFor([&] { return ChildRect(main, frame).bottom != frameBefore.bottom; }))
            << "the frame did not follow the splitter";
        WaitUntilIdle(main);
        const RECT frameAfter = ChildRect(main, frame);
        const RECT tabsAfter = ChildRect(main, tabs);
        const int moved = frameAfter.bottom - frameBefore.bottom;
        EXPECT_EQ(moved > 0, c.drag > 0);
        EXPECT_EQ(frameAfter.top, frameBefore.top);
        EXPECT_EQ(tabsAfter.top - tabsBefore.top, moved);
        EXPECT_EQ(tabsAfter.bottom, tabsBefore.bottom);
        RECT client;
        ::GetClientRect(main, &client);
        const int percent = frameAfter.bottom * 100 / client.bottom;
        ASSERT_TRUE(c.frameTakesGrowth ? percent > 80 : percent < 30) << percent << " %";

        RECT window;
        ::GetWindowRect(main, &window);
        ASSERT_TRUE(::SetWindowPos(main, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 100,
                                   SWP_NOMOVE | SWP_NOZORDER));
        WaitUntilIdle(main);
        const RECT frameGrown = ChildRect(main, frame);
        const RECT tabsGrown = ChildRect(main, tabs);
        const int frameGrowth = (frameGrown.bottom - frameGrown.top) - (frameAfter.bottom - frameAfter.top);
        const int tabsGrowth = (tabsGrown.bottom - tabsGrown.top) - (tabsAfter.bottom - tabsAfter.top);
        EXPECT_EQ(frameGrowth, c.frameTakesGrowth ? 100 : 0);
        EXPECT_EQ(tabsGrowth, c.frameTakesGrowth ? 0 : 100);
        EXPECT_LE(frameGrown.bottom, ChildRect(main, splitter).top);
        EXPECT_LE(ChildRect(main, splitter).bottom, tabsGrown.top);
    }
    ExitVia(main, kExitCommand);
}

// Reads a tab's title out of the program: the text buffer must live in its memory.
std::wstring TabTitle(HANDLE process, HWND tabs, int index) {
    constexpr int kChars = 128;
    const SIZE_T size = sizeof(TCITEMW) + kChars * sizeof(WCHAR);
    void* remote = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return L"<no memory>";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<LPWSTR>(static_cast<BYTE*>(remote) + sizeof(TCITEMW));
    item.cchTextMax = kChars;
    std::wstring title = L"<unreadable>";
    WCHAR text[kChars] = {};
    DWORD_PTR ok = 0;
    if (::WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
        ::SendMessageTimeoutW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, kPatienceMs,
                              &ok) &&
        ok && ::ReadProcessMemory(process, item.pszText, text, sizeof text, nullptr)) {
        text[kChars - 1] = L'\0';
        title = text;
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return title;
}

struct PaneWindows {
    HWND tabs;
    HWND fileList, dcList;  // the list views inside the two pane dialogs
};

BOOL CALLBACK CollectPaneList(HWND hWnd, LPARAM lParam) {
    auto* p = reinterpret_cast<PaneWindows*>(lParam);
    HWND pane = ::GetParent(hWnd);
    if (!pane || ::GetParent(pane) != p->tabs)
        return TRUE;
    if (::GetDlgCtrlID(hWnd) == 1005)
        p->fileList = hWnd;
    else if (::GetDlgCtrlID(hWnd) == 1006)
        p->dcList = hWnd;
    return TRUE;
}

// The panes start empty under their plain names, the saved-files pane
// showing; the web image window waits hidden until its command shows it.
TEST_F(VeskProcess, PanesAndWebImageWindowAreInPlace) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    WaitUntilIdle(main);

    HWND tabs = ::GetDlgItem(main, 1012);
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(TabTitle(pi_.hProcess, tabs, 0), L"저장된 파일");
    EXPECT_EQ(TabTitle(pi_.hProcess, tabs, 1), L"저장된 DC");
    EXPECT_EQ(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);

    PaneWindows panes = {tabs, nullptr, nullptr};
    ::EnumChildWindows(tabs, CollectPaneList, reinterpret_cast<LPARAM>(&panes));
    ASSERT_NE(panes.fileList, nullptr) << "no saved-files pane in the tabs";
    ASSERT_NE(panes.dcList, nullptr) << "no saved-DC pane in the tabs";
    EXPECT_TRUE(::IsWindowVisible(panes.fileList));
    EXPECT_FALSE(::IsWindowVisible(panes.dcList));
    EXPECT_EQ(::SendMessageW(panes.fileList, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(panes.dcList, LVM_GETITEMCOUNT, 0, 0), 0);
    RECT tabsRect, paneRect;
    ::GetWindowRect(tabs, &tabsRect);
    ::GetWindowRect(::GetParent(panes.fileList), &paneRect);
    EXPECT_GE(paneRect.left, tabsRect.left);
    EXPECT_LE(paneRect.right, tabsRect.right);
    EXPECT_LE(paneRect.bottom, tabsRect.bottom);

    HWND webImage = FindOwnWindow(kWebImageTitle);
    ASSERT_NE(webImage, nullptr) << "no web image window";
    // A top-level window; like every modeless dialog without a parent it is owned by the main window.
    EXPECT_EQ(::GetWindowLongW(webImage, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(::GetWindow(webImage, GW_OWNER), main);
    EXPECT_FALSE(::IsWindowVisible(webImage));
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kWebImageCommand, 0));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(webImage) != FALSE; }));
    // Closing it only hides it; the program ends cleanly afterwards.
    ASSERT_TRUE(::PostMessageW(webImage, WM_COMMAND, IDCANCEL, 0));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(webImage); }));
    EXPECT_TRUE(::IsWindow(webImage));

    ExitVia(main, kExitCommand);
    COpFilePropertyPage file;
    file.LoadOptions(ini_.c_str());
    EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
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

// Each options command saves or reloads what it should, then shows the sheet.
TEST_F(VeskProcess, OptionsCommandsOpenTheSheetOnTheirPages) {
    HWND main = StartAndShow();
    ASSERT_NE(main, nullptr);
    struct Case {
        UINT command;
        int control;  // a control of the page that must be on show
        const wchar_t* expectedText;
        const wchar_t* fileNameOnDisk;  // FILE is saved from memory only by the first two
    } const cases[] = {
        {32809, 1167, L"Vesk_0", L"Vesk"},  // all pages open on the file page
        {32788, 1167, L"Vesk_0", L"Vesk"},
        {32790, 0, nullptr, L"Edited"},
        {32793, 1220, L"55", L"Edited"},    // the miscellaneous page reloads its section
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        profile::WriteValue(profile::kFileSection, L"FileName", L"Edited", ini_.c_str());
        profile::WriteValue(profile::kMiscSection, L"CookieNumber", 55, ini_.c_str());
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, c.command, 0));
        HWND sheet = WaitForWindow(L"Options");
        ASSERT_NE(sheet, nullptr) << "no options sheet";
        if (c.control) {
            HWND control = nullptr;
            EXPECT_TRUE(WaitFor([&] {
                HWND page = ::FindWindowExW(sheet, nullptr, nullptr, nullptr);
                for (; page && !control; page = ::FindWindowExW(sheet, page, nullptr, nullptr)) {
                    HWND found = ::GetDlgItem(page, c.control);
                    if (found && ::IsWindowVisible(found))
                        control = found;
                }
                return control != nullptr;
            }));
            // Another process's control tells its text only when asked by message.
            WCHAR text[64] = {};
            DWORD_PTR copied = 0;
            ::SendMessageTimeoutW(control, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kPatienceMs,
                                  &copied);
            EXPECT_EQ(std::wstring(c.expectedText), text);
        }
        EXPECT_TRUE(::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0));
        EXPECT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }));
        EXPECT_EQ(std::wstring(c.fileNameOnDisk),
                  std::wstring(profile::ReadValue(profile::kFileSection, L"FileName", ini_.c_str())));
    }
    ExitVia(main, kExitCommand);
}

}  // namespace
