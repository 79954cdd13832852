// Drives vesk.exe as a user would start it: a fresh folder, its window, its
// settings file, and its way out.
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"
#include "WidgetTestUtil.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vesk_test;

constexpr const wchar_t* kAboutTitle = L"베스크캡V0.6 정보";
constexpr UINT kTrayExitCommand = 32978, kTrayOptionsMisc = 32977;
constexpr UINT kWebImageCommand = 32782, kCursorCommand = 32784;
constexpr const wchar_t* kWebImageTitle = L"웹 이미지";
constexpr const wchar_t* kFrameTitle = L"VeskFrame";
constexpr UINT kTrayNotify = WM_APP + 12;
constexpr LPARAM kTrayRestore = 0x800D;

class VeskProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run_.Prepare()) << "cannot copy vesk.exe"; }
    CString Ini() const { return run_.ini().c_str(); }

    VeskRun run_{L"e2e"};
};

TEST_F(VeskProcess, FirstStartWritesDefaultsExitWritesFileOptionsBackAndASecondStartChangesNothing) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(Exists(run_.ini()));
    COpFilePropertyPage file;
    file.LoadOptions(Ini());
    EXPECT_EQ(std::wstring(file.Directory), run_.folder());
    EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
    EXPECT_EQ(std::wstring(file.FileType), L"bmp");
    EXPECT_EQ(profile::ReadValue(profile::kMiscSection, L"CookieNumber", Ini()), CString(L"200"));
    EXPECT_EQ(profile::ReadValue(profile::kVersionSection, L"ProjectName", Ini()), CString(L"VeskCapture"));

    // The system menu's about entry opens the about box; its OK closes it.
    ASSERT_TRUE(::PostMessageW(main, WM_SYSCOMMAND, 0x10, 0));
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (about = run_.FindOwnWindow(kAboutTitle)) != nullptr; })) << "no about box";
    EXPECT_TRUE(::PostMessageW(about, WM_COMMAND, IDOK, 0));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); })) << "the about box stayed";

    // What another copy saved meanwhile stays: the exit writes only what this run changed.
    profile::WriteValue(profile::kFileSection, L"FileCount", 99, Ini());
    profile::WriteValue(profile::kFileSection, L"FileName", L"Other", Ini());
    EXPECT_EQ(run_.Exit(main), 0u);
    file.LoadOptions(Ini());
    EXPECT_EQ(file.FileCount, 99);
    EXPECT_EQ(std::wstring(file.FileName), L"Other");

    const std::string before = FileBytes(run_.ini());
    main = run_.Start();
    ASSERT_NE(main, nullptr);
    run_.WaitUntilIdle(main);
    EXPECT_EQ(FileBytes(run_.ini()), before);
    EXPECT_EQ(run_.Exit(main), 0u);
}

// An empty settings file, or one of random bytes, is kept aside as it was, the
// user is told, and it is replaced by the defaults in UTF-16, so captures work and Hangul folder and
// file names written later survive a restart.
TEST(VeskDamagedSettings, DamagedFileIsKeptAndTheDefaultsComeBack) {
    for (const std::string& damaged : {std::string(), NoiseBytes(4096)}) {
        SCOPED_TRACE(damaged.size());
        VeskRun run(L"damaged");
        ASSERT_TRUE(run.Prepare());
        ASSERT_TRUE(WriteBytes(run.ini(), damaged));
        std::wstring notice;
        HWND main = run.Start(&notice);
        ASSERT_NE(main, nullptr);
        // Said once, before the main window: defaults in use, and where the old file is.
        EXPECT_NE(notice.find(L"기본 설정"), std::wstring::npos);
        EXPECT_NE(notice.find(run.ini() + L".damaged"), std::wstring::npos);
        EXPECT_EQ(FileBytes(run.ini() + L".damaged"), damaged);
        EXPECT_EQ(FileBytes(run.ini()).substr(0, 2), std::string("\xFF\xFE"));
        COpFilePropertyPage file;
        file.LoadOptions(run.ini().c_str());
        EXPECT_EQ(std::wstring(file.Directory), run.folder());
        EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
        EXPECT_EQ(std::wstring(file.FileType), L"bmp");
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        CDibImage shot;
        EXPECT_TRUE(run.LoadWhenWritten(run.Numbered(0), shot)) << "no capture";
        EXPECT_EQ(run.Exit(main), 0u);
        if (damaged.empty())
            continue;

        // A Hangul folder and name: the program's own writes keep them.
        const std::wstring folder = run.folder() + L"\\캡처 폴더";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        profile::WriteValue(profile::kFileSection, L"Directory", folder.c_str(), run.ini().c_str());
        profile::WriteValue(profile::kFileSection, L"FileName", L"화면", run.ini().c_str());
        profile::WriteValue(profile::kFileSection, L"FileCount", 0, run.ini().c_str());
        for (int n = 0; n < 2; ++n) {  // the second start reads what the first one's exit wrote
            main = run.Start();
            ASSERT_NE(main, nullptr);
            ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
            EXPECT_TRUE(run.LoadWhenWritten(folder + L"\\화면_" + std::to_wstring(n) + L".bmp", shot)) << n;
            EXPECT_EQ(run.Exit(main), 0u);
        }
        file.LoadOptions(run.ini().c_str());
        EXPECT_EQ(std::wstring(file.Directory), folder);
        EXPECT_EQ(std::wstring(file.FileName), L"화면");
    }
}

RECT ChildRect(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Toolbar band, work-area frame, splitter and pane tabs stay stacked in that
// order, inside the client area, whatever size the dialog gets.
TEST_F(VeskProcess, MainDialogLayoutFollowsItsSize) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    HWND rebar = ::FindWindowExW(main, nullptr, REBARCLASSNAMEW, nullptr);
    HWND frameWnd = ::FindWindowExW(main, nullptr, nullptr, kFrameTitle);
    HWND splitterWnd = ::GetDlgItem(main, 1004), tabsWnd = ::GetDlgItem(main, 1012);
    ASSERT_TRUE(rebar && frameWnd && splitterWnd && tabsWnd) << "rebar, pane tabs, splitter and work-area frame expected";
    EXPECT_TRUE(::IsWindowVisible(frameWnd));
    for (const SIZE& size : {SIZE{0, 0}, SIZE{1000, 760}, SIZE{560, 420}}) {
        if (size.cx) {
            ASSERT_TRUE(::SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER));
            run_.WaitUntilIdle(main);
        }
        const RECT band = ChildRect(main, rebar), frame = ChildRect(main, frameWnd);
        const RECT splitter = ChildRect(main, splitterWnd), tabs = ChildRect(main, tabsWnd);
        RECT client;
        ::GetClientRect(main, &client);
        SCOPED_TRACE(testing::Message() << "client " << client.right << "x" << client.bottom);
        EXPECT_GE(band.top, 0);
        EXPECT_LE(band.bottom, frame.top);
        EXPECT_LE(frame.bottom, splitter.top);
        EXPECT_GT(frame.bottom - frame.top, 0);
        EXPECT_EQ(frame.right - frame.left, client.right);
        EXPECT_LE(splitter.bottom, tabs.top);
        EXPECT_LE(tabs.bottom, client.bottom);
        EXPECT_EQ(tabs.right - tabs.left, client.right);
        EXPECT_GT(tabs.bottom - tabs.top, 40);
    }
    EXPECT_EQ(run_.Exit(main), 0u);
}

void MouseTo(POINT screen, DWORD flags) {
    wt::MouseMove(screen.x, screen.y);
    if (flags & MOUSEEVENTF_LEFTDOWN)
        wt::MouseDown();
    if (flags & MOUSEEVENTF_LEFTUP)
        wt::MouseUp();
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
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(::SetWindowPos(main, HWND_TOP, 100, 100, 700, 560, SWP_SHOWWINDOW));
    ::SetForegroundWindow(main);
    run_.WaitUntilIdle(main);
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
        run_.WaitUntilIdle(main);
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
        run_.WaitUntilIdle(main);
        const RECT frameGrown = ChildRect(main, frame);
        const RECT tabsGrown = ChildRect(main, tabs);
        const int frameGrowth = (frameGrown.bottom - frameGrown.top) - (frameAfter.bottom - frameAfter.top);
        const int tabsGrowth = (tabsGrown.bottom - tabsGrown.top) - (tabsAfter.bottom - tabsAfter.top);
        EXPECT_EQ(frameGrowth, c.frameTakesGrowth ? 100 : 0);
        EXPECT_EQ(tabsGrowth, c.frameTakesGrowth ? 0 : 100);
        EXPECT_LE(frameGrown.bottom, ChildRect(main, splitter).top);
        EXPECT_LE(ChildRect(main, splitter).bottom, tabsGrown.top);
    }
    EXPECT_EQ(run_.Exit(main), 0u);
}

void Click(POINT screen) {
    MouseTo(screen, 0);
    MouseTo(screen, MOUSEEVENTF_LEFTDOWN);
    MouseTo(screen, MOUSEEVENTF_LEFTUP);
}

// A click on the empty end of the pane tabs' strip: the dialog becomes the
// active window with the strip focused, and nothing else happens.
bool ActivateMain(const VeskRun& run, HWND main) {
    HWND tabs = ::GetDlgItem(main, 1012);
    RECT r;
    ::GetWindowRect(tabs, &r);
    Click({r.right - 20, r.top + 8});
    if (!WaitFor([&] { return ::GetForegroundWindow() == main && wt::FocusOf(main) == tabs; }))
        return false;
    run.WaitUntilIdle(main);
    return true;
}

// A message whose lParam points at a T, answered in the program's memory.
template <class T>
bool AskRemote(HANDLE process, HWND hWnd, UINT message, WPARAM wParam, T& data) {
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof(T), MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return false;
    DWORD_PTR result = 0;
    const bool ok = ::WriteProcessMemory(process, remote, &data, sizeof data, nullptr) &&
                    ::SendMessageTimeoutW(hWnd, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                                          kPatienceMs, &result) &&
                    result && ::ReadProcessMemory(process, remote, &data, sizeof data, nullptr);
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok;
}


constexpr int kFirstToolButton = 5000, kToolButtons = 11;

// What the screen shows of every tool-list button, each clipped to the list.
std::vector<std::vector<COLORREF>> ToolButtonsOnScreen(HWND list) {
    RECT visible;
    ::GetWindowRect(list, &visible);
    std::vector<std::vector<COLORREF>> shown;
    for (int i = 0; i < kToolButtons; ++i) {
        RECT button, part = {};
        ::GetWindowRect(::GetDlgItem(list, kFirstToolButton + i), &button);
        ::IntersectRect(&part, &button, &visible);
        shown.push_back(GrabScreen(part));
    }
    return shown;
}

// The tool-list buttons as the screen shows them now must be what a full
// repaint draws: no button left blank or half drawn.
void ExpectToolButtonsDrawn(const VeskRun& run, HWND main, HWND list) {
    run.WaitUntilIdle(main);
    // Paints already due happen now; nothing new is invalidated.
    ::RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    run.WaitUntilIdle(main);
    const auto shown = ToolButtonsOnScreen(list);
    ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    run.WaitUntilIdle(main);
    const auto repainted = ToolButtonsOnScreen(list);
    int onShow = 0;
    for (int i = 0; i < kToolButtons; ++i) {
        onShow += repainted[i].empty() ? 0 : 1;
        EXPECT_TRUE(shown[i] == repainted[i]) << "button " << kFirstToolButton + i << " is not drawn";
    }
    EXPECT_GE(onShow, 5) << "the list shows too few buttons to tell";
}

// After a minimise and restore, and after Ctrl+M hides the colour bar, every
// tool-list button is drawn where the layout has put it.
TEST_F(VeskProcess, ToolListRepaintsAfterRestoreAndWhenABarHides) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    wt::MouseAway();
    run_.WaitUntilIdle(main);
    HWND first = FindControl(main, kFirstToolButton);
    ASSERT_NE(first, nullptr) << "no tool list";
    HWND list = ::GetParent(first);
    ExpectToolButtonsDrawn(run_, main, list);

    // The minimise box and the taskbar send these (there is no taskbar here).
    ASSERT_TRUE(::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0));
    ASSERT_TRUE(WaitFor([&] { return ::IsIconic(main) != FALSE; })) << "the dialog stayed up";
    run_.WaitUntilIdle(main);
    ASSERT_TRUE(::PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0));
    ASSERT_TRUE(WaitFor([&] { return !::IsIconic(main); })) << "the dialog stayed minimised";
    {
        SCOPED_TRACE("after a restore");
        ExpectToolButtonsDrawn(run_, main, list);
    }

    // Ctrl+M shows the colour bar beside the work area, and hides it again;
    // the list gives way and widens back into its place.
    ASSERT_TRUE(ActivateMain(run_, main));
    for (const char* state : {"after the colour bar showed", "after the colour bar hid"}) {
        SCOPED_TRACE(state);
        RECT before;
        ::GetWindowRect(list, &before);
        const auto widthChanged = [&] {
            RECT now;
            ::GetWindowRect(list, &now);
            return now.right - now.left != before.right - before.left;
        };
        // Ctrl stays down until the key has been handled, as a user's finger
        // does. Wine brings its modifier keys back in line with the X server
        // when the window's focus news arrives, which may undo a Ctrl pressed
        // just before: a press lost that way changes nothing, and is repeated.
        bool toggled = false;
        for (int attempt = 0; attempt < 5 && !toggled; ++attempt) {
            wt::Key(VK_CONTROL);
            wt::KeyPress('M');
            toggled = WaitFor(widthChanged, 3000);
            wt::Key(VK_CONTROL, true);
            run_.WaitUntilIdle(main);
            toggled = toggled || widthChanged();
        }
        wt::MouseAway();
        ASSERT_TRUE(toggled) << "Ctrl+M changed nothing";
        ExpectToolButtonsDrawn(run_, main, list);
    }
    EXPECT_EQ(run_.Exit(main), 0u);
}

POINT ItemPosition(HANDLE process, HWND list, int item) {
    POINT position = {-1, -1};
    AskRemote(process, list, LVM_GETITEMPOSITION, item, position);
    return position;
}

// Clicks an item's icon; true once the work area shows the item in a tab of its own.
bool OpenItem(HANDLE process, HWND list, int item, HWND workTabs, int newTabs = 1) {
    RECT icon = {LVIR_ICON, 0, 0, 0};
    if (!AskRemote(process, list, LVM_GETITEMRECT, item, icon))
        return false;
    ::MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&icon), 2);
    const LRESULT tabs = ::SendMessageW(workTabs, TCM_GETITEMCOUNT, 0, 0);
    Click({(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2});
    return WaitFor([&] {
        return ::SendMessageW(workTabs, TCM_GETITEMCOUNT, 0, 0) == tabs + newTabs &&
               ::SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_SELECTED);
    });
}

// The top-left pixel of the picture that the work area shows.
COLORREF ShownPixel(HWND workTabs) {
    HWND pane = ::GetWindow(workTabs, GW_HWNDFIRST);
    while (pane && (pane == workTabs || !::IsWindowVisible(pane)))
        pane = ::GetWindow(pane, GW_HWNDNEXT);
    POINT origin = {0, 0};
    return pane && ::ClientToScreen(pane, &origin) ? ScreenPixel(origin.x, origin.y) : CLR_INVALID;
}

// A thumbnail taken out of either pane leaves no gap: the ones after it move
// up into its place.
TEST_F(VeskProcess, PaneListsCloseUpAfterARemoval) {
    constexpr UINT kSaveItem = 32935, kSaveItemAs = 32936, kDeleteItem = 32937;
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(::SetWindowPos(main, HWND_TOP, 60, 60, 1000, 760, SWP_SHOWWINDOW));
    run_.WaitUntilIdle(main);
    HWND tabs = ::GetDlgItem(main, 1012);
    HWND files = FindControl(main, 1005), dcs = FindControl(main, 1006);
    HWND workTabs = FindControl(::FindWindowExW(main, nullptr, nullptr, kFrameTitle), 100);
    ASSERT_TRUE(tabs && files && dcs && workTabs);
    const HANDLE process = run_.process();

    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(files) == n; })) << "capture " << n << " never listed";
    }
    const POINT files0 = ItemPosition(process, files, 0), files1 = ItemPosition(process, files, 1);
    ASSERT_NE(files0.x, files1.x);
    // The first file, highlighted by a key after a click on the second, is shown; a click on
    // the second's work-area tab shows and highlights that one. Read-only, or in a folder that
    // cannot be written to, it cannot go: a box names it and its entry stays. Then it is deleted.
    ASSERT_TRUE(OpenItem(process, files, 1, workTabs));
    ASSERT_TRUE(XDo(L"key Left"));
    EXPECT_TRUE(WaitFor([&] { return ::SendMessageW(workTabs, TCM_GETITEMCOUNT, 0, 0) == 3; }))
        << "work-area tabs after Left: " << ::SendMessageW(workTabs, TCM_GETITEMCOUNT, 0, 0);
    RECT tab1 = {};
    ASSERT_TRUE(AskRemote(process, workTabs, TCM_GETITEMRECT, 1, tab1));
    ::MapWindowPoints(workTabs, nullptr, reinterpret_cast<POINT*>(&tab1), 2);
    ASSERT_TRUE(XMove((tab1.left + tab1.right) / 2, (tab1.top + tab1.bottom) / 2) && XClick());
    EXPECT_TRUE(WaitFor([&] { return ::SendMessageW(files, LVM_GETITEMSTATE, 1, LVIS_SELECTED) != 0; }))
        << "highlighted: item " << ::SendMessageW(files, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    const std::wstring second = run_.Numbered(1), folder = L"'" + UnixPath(run_.folder()) + L"'";
    const std::function<bool(bool)> locks[] = {
        [&](bool on) {
            return ::SetFileAttributesW(second.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL) != 0;
        },
        // There Wine says the delete succeeded and leaves the file (root needs the immutable flag).
        [&](bool on) {
            return RunUnix(on ? L"chmod a-w " + folder + L"; chattr +i " + folder
                              : L"chattr -i " + folder + L"; chmod u+w " + folder);
        },
    };
    for (const auto& lock : locks) {
        ASSERT_TRUE(lock(true));
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kDeleteItem, 0));
        const std::wstring refusal = run_.AnswerMessageBox();
        ASSERT_TRUE(lock(false));
        EXPECT_TRUE(refusal.find(L"삭제하지 못했습니다") != std::wstring::npos &&
                    refusal.find(L"Vesk_1.bmp") != std::wstring::npos) << refusal;
        run_.WaitUntilIdle(main);
        EXPECT_EQ(wt::ItemCount(files), 3);
    }
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kDeleteItem, 0));
    ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(files) == 2; })) << "the file was not removed";
    EXPECT_FALSE(Exists(run_.Numbered(1)));
    POINT now = ItemPosition(process, files, 0);
    EXPECT_TRUE(now.x == files0.x && now.y == files0.y) << "saved files: item 0 at " << now.x << "," << now.y;
    now = ItemPosition(process, files, 1);
    EXPECT_TRUE(now.x == files1.x && now.y == files1.y) << "saved files: item 1 at " << now.x << "," << now.y;

    // Another program changes the top-left pixel of the open file. Saving
    // over it says so first; its No shows the change, which a save then keeps.
    const auto answer = [&](int id) {
        HWND question = nullptr;
        if (!WaitFor([&] { return (question = run_.FindMessageBox()) != nullptr; }))
            return std::wstring();
        const std::wstring text = MessageBoxText(question);
        ::PostMessageW(question, WM_COMMAND, id, 0);
        WaitFor([&] { return !::IsWindow(question); });
        run_.WaitUntilIdle(main);
        return text;
    };
    const auto saveAnswering = [&](int id) {
        ::PostMessageW(main, WM_COMMAND, kSaveItem, 0);
        return answer(id);
    };
    const std::wstring shown = run_.Numbered(0);
    ::Sleep(::GetDoubleClickTime() + 100);  // clicks on one item, not double clicks
    ASSERT_TRUE(OpenItem(process, files, 0, workTabs, 0));
    CDibImage edit;
    const auto editOutside = [&] {
        RGBQUAD pixel = edit.GetPixelColor(0, edit.GetHeight() - 1, false);
        pixel.rgbRed ^= 0xFF;
        edit.SetPixelColor(0, edit.GetHeight() - 1, pixel);
        return edit.Save(shown.c_str(), CDibImage::kFormatBmp) ? RGB(pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue) : 0;
    };
    ASSERT_TRUE(edit.Load(shown.c_str(), 0));
    const COLORREF edited = editOutside();
    std::wstring asked = saveAnswering(IDNO);
    EXPECT_NE(asked.find(L"프로그램 밖에서 변경"), std::wstring::npos) << asked;
    EXPECT_TRUE(WaitFor([&] { return ShownPixel(workTabs) == edited; })) << "the tab shows " << ShownPixel(workTabs);
    asked = saveAnswering(IDYES);
    EXPECT_EQ(asked.find(L"프로그램 밖에서 변경"), std::wstring::npos) << asked;
    ASSERT_TRUE(edit.Load(shown.c_str(), 0));
    EXPECT_EQ(edit.GetPixelColor(0, edit.GetHeight() - 1, false).rgbRed, GetRValue(edited));
    asked = saveAnswering(IDNO);  // our own save is no outside change
    EXPECT_EQ(asked.find(L"프로그램 밖에서 변경"), std::wstring::npos) << asked;
    // Save as onto it after another outside change asks past the dialog's own question; No keeps the change.
    const COLORREF again = editOutside();
    ::PostMessageW(main, WM_COMMAND, kSaveItemAs, 0);
    HWND name = nullptr;  // the save dialog's file name box
    ASSERT_TRUE(WaitFor([&] { return run_.FindWindowIf([&](HWND w) { return (name = ::GetDlgItem(w, cmb13)); }); })) << "no save dialog";
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    ::PostMessageW(::GetParent(name), WM_COMMAND, IDOK, 0);
    answer(IDYES);  // the dialog's own question
    asked = answer(IDNO);
    EXPECT_NE(asked.find(L"프로그램 밖에서 변경"), std::wstring::npos) << asked;
    ASSERT_TRUE(edit.Load(shown.c_str(), 0));
    EXPECT_EQ(edit.GetPixelColor(0, edit.GetHeight() - 1, false).rgbRed, GetRValue(again));

    // The strip focused, the list still draws its highlight; Right shows the saved-DC pane, Tab goes into it.
    RECT fileTab = {}, cell = {LVIR_LABEL, 0, 0, 0};
    ASSERT_TRUE(AskRemote(process, tabs, TCM_GETITEMRECT, 0, fileTab) &&
                AskRemote(process, files, LVM_GETITEMRECT, 0, cell));
    ::MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&fileTab), 2);
    ::MapWindowPoints(files, nullptr, reinterpret_cast<POINT*>(&cell), 2);
    ASSERT_TRUE(XMove(fileTab.left + 8, fileTab.top + 6) && XClick());
    ASSERT_TRUE(WaitFor([&] { return wt::FocusOf(main) == tabs; })) << "the strip took no focus";
    run_.WaitUntilIdle(main);
    EXPECT_NE(ScreenPixel(cell.left + 1, cell.top + 1), ::GetSysColor(COLOR_WINDOW)) << "no highlight drawn";
    ASSERT_TRUE(XDo(L"key Right"));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(dcs) && !::IsWindowVisible(files); }))
        << "Right: no pane change";
    ASSERT_TRUE(XDo(L"key Tab"));
    EXPECT_TRUE(WaitFor([&] { return wt::FocusOf(main) == dcs; })) << "Tab stayed in the strip";
    // Delete takes the file shown, whichever pane shows; save as then says it has nothing to write.
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kDeleteItem, 0));
    EXPECT_TRUE(WaitFor([&] { return wt::ItemCount(files) == 1 && !Exists(shown); }))
        << "the file shown stays; files listed: " << wt::ItemCount(files);
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kSaveItemAs, 0));
    EXPECT_NE(run_.AnswerMessageBox().find(L"저장할 그림이"), std::wstring::npos) << "no word before the name";

    // The saved-DC tab makes captures entries of its list; saving the first
    // one to a file takes it out of the list.
    run_.WaitUntilIdle(main);
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(dcs) == n; })) << "capture " << n << " never listed";
    }
    const POINT dc0 = ItemPosition(process, dcs, 0);
    ASSERT_TRUE(OpenItem(process, dcs, 1, workTabs));
    ASSERT_TRUE(XDo(L"key Left"));  // the highlighted entry is the one saved
    ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(dcs, LVM_GETITEMSTATE, 0, LVIS_SELECTED) != 0; })) << "not highlighted";
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kSaveItem, 0));
    ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(dcs) == 1; })) << "the entry was not saved";
    EXPECT_TRUE(Exists(run_.folder() + L"\\veskdc_0.bmp"));
    now = ItemPosition(process, dcs, 0);
    EXPECT_TRUE(now.x == dc0.x && now.y == dc0.y) << "saved DCs: item 0 at " << now.x << "," << now.y;
    wt::MouseAway();
    EXPECT_EQ(run_.Exit(main, nullptr, L"캡쳐가 1개"), 0u);

    // At 150 % (144 dots per inch; the template prefix sets none) a name shows whole at the default size.
    DWORD large = 144;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &large,
                                sizeof large), 0);
    main = run_.Start();
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    ASSERT_NE(main, nullptr);
    files = FindControl(main, 1005);
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(files) == 1; })) << wt::ItemCount(files) << " files listed";
    RECT label = {LVIR_LABEL, 0, 0, 0}, client = {};
    ASSERT_TRUE(AskRemote(run_.process(), files, LVM_GETITEMRECT, 0, label) && ::GetClientRect(files, &client));
    EXPECT_LE(label.bottom, client.bottom) << "the name ends " << label.bottom - client.bottom << " px below the list";
    EXPECT_EQ(run_.Exit(main), 0u);
}

// Enter and Escape are no way out of the main window. Every way out asks
// while captures live only in memory: No keeps the program and the captures,
// Yes ends it. The end of a session, which nobody may be there to answer,
// is held up by the system with our reason instead of by a box.
TEST_F(VeskProcess, NoKeyEndsTheProgramAndLeavingAsksWhileCapturesAreOnlyInMemory) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    HWND tabs = ::GetDlgItem(main, 1012);
    RECT dcTab = {};
    ASSERT_TRUE(AskRemote(run_.process(), tabs, TCM_GETITEMRECT, 1, dcTab));
    ::MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&dcTab), 2);
    ASSERT_TRUE(XMove((dcTab.left + dcTab.right) / 2, (dcTab.top + dcTab.bottom) / 2) && XClick());
    HWND dcs = FindControl(main, 1006);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(dcs) && ::GetForegroundWindow() == main; }))
        << "DC list shown " << ::IsWindowVisible(dcs) << ", in front: " << ::GetForegroundWindow();
    run_.WaitUntilIdle(main);
    // Wine brings its modifiers in line with the X server when the focus news
    // of the click arrives, which may undo a Ctrl pressed just before: the
    // keys are pressed again then.
    for (int attempt = 0; attempt < 5 && wt::ItemCount(dcs) == 0; ++attempt) {
        ASSERT_TRUE(XDo(L"key ctrl+f"));
        WaitFor([&] { return wt::ItemCount(dcs) == 1; }, 5000);
    }
    ASSERT_EQ(wt::ItemCount(dcs), 1) << "Ctrl+F kept nothing in memory";

    const auto alive = [&] { return ::WaitForSingleObject(run_.process(), 0) == WAIT_TIMEOUT; };
    // A click on the saved-DC tab, shown already, by the X pointer.
    const auto activate = [&] {
        return XMove((dcTab.left + dcTab.right) / 2, (dcTab.top + dcTab.bottom) / 2) && XClick() &&
               WaitFor([&] { return ::GetForegroundWindow() == main && wt::FocusOf(main) == tabs; });
    };
    ASSERT_TRUE(activate());
    run_.WaitUntilIdle(main);
    const auto click = [&](int id) {  // the middle of a control, once the program has caught up
        RECT r = {};
        run_.WaitUntilIdle(main);
        return ::GetWindowRect(FindControl(main, id), &r) && XMove((r.left + r.right) / 2, (r.top + r.bottom) / 2) &&
               XClick();
    };
    const auto shown = [&](int id, bool visible = true) {  // the window holding the control
        return [=] { return (::IsWindowVisible(::GetParent(FindControl(main, id))) != FALSE) == visible; };
    };
    const auto collapse = [&] { return ::SendMessageW(FindControl(main, 5201), EM_SETSEL, 0, 0) || true; };
    // Typed while the window's thread stands still, a Ctrl+M is read after its Ctrl is up, as by a busy program.
    const DWORD mainThread = ::GetWindowThreadProcessId(main, nullptr);
    const auto quickCtrlM = [&, thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, mainThread)] {
        const bool sent = ::SuspendThread(thread) != static_cast<DWORD>(-1) && XDo(L"key ctrl+m");
        ::Sleep(300);  // the X server has handed the program every key event
        return ::ResumeThread(thread) != static_cast<DWORD>(-1) && ::CloseHandle(thread) && sent;
    };
    // Focus before the key: -1 hidden, 0 shown, or this control with all its text selected. The web page tab (5203)
    // opens over the tool list (5006); its address box (5201) keeps its editing keys, and takes the focus when the
    // colour bar (1262) holding it hides: behind the program's back (focus kept there, yet no hang), then by Ctrl+M.
    const std::tuple<std::function<bool()>, std::string, int> keys[] = {
        {{}, "Return", 0}, {{}, "KP_Enter", 0}, {{}, "Escape", 0},
        {[&] { return click(5006) && WaitFor(shown(5203)); }, "w", 5201},
        {collapse, "ctrl+a", 0}, {{}, "ctrl+c", 5201},
        {[&] { return XDo(L"key ctrl+m") && WaitFor(shown(1262)) && click(1262) &&
                      ::ShowWindow(::GetParent(FindControl(main, 1262)), SW_HIDE); }, "y", -1},
        {[&] { return collapse() && quickCtrlM() && WaitFor(shown(1262)) && XDo(L"key ctrl+m") &&
                      WaitFor(shown(1262, false)); }, "x", 5201},
    };
    for (const auto& [before, key, focus] : keys) {
        ASSERT_TRUE(!before || before()) << key << ": the steps before it failed; colour bar shown "
                                         << ::IsWindowVisible(::GetParent(FindControl(main, 1262)));
        EXPECT_TRUE(WaitFor([&, focus = focus] {
            const HWND now = wt::FocusOf(main);
            const LRESULT whole = MAKELONG(0, ::SendMessageW(now, WM_GETTEXTLENGTH, 0, 0));
            return focus > 0 ? now == FindControl(main, focus) && ::SendMessageW(now, EM_GETSEL, 0, 0) == whole
                             : ::IsWindowVisible(now) == (focus == 0);
        })) << key << ": focus on " << ::GetDlgCtrlID(wt::FocusOf(main)) << ", selected "
                                      << ::SendMessageW(wt::FocusOf(main), EM_GETSEL, 0, 0);
        ASSERT_TRUE(XDo(L"key " + std::wstring(key.begin(), key.end())));
        run_.WaitUntilIdle(main);
        ASSERT_TRUE(alive() && ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, nullptr)) << key;
        EXPECT_EQ(run_.FindMessageBox(), nullptr) << key;
        EXPECT_TRUE(::IsWindowEnabled(main)) << key << " opened a tool";
    }
    EXPECT_EQ(wt::ItemCount(dcs), 1);

    DWORD_PTR mayEnd = TRUE;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kPatienceMs, &mayEnd));
    EXPECT_EQ(mayEnd, static_cast<DWORD_PTR>(FALSE));
    EXPECT_EQ(run_.FindMessageBox(), nullptr);
    ::SendMessageTimeoutW(main, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, kPatienceMs, nullptr);

    // The menu's exit answered No keeps everything; Alt+F4 answered Yes ends.
    for (const int answer : {IDNO, IDYES}) {
        ASSERT_TRUE(answer == IDNO ? ::PostMessageW(main, WM_COMMAND, kExitCommand, 0) != FALSE
                                   : activate() && XDo(L"key alt+F4"));
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = run_.FindMessageBox()) != nullptr; })) << "left without a word";
        EXPECT_NE(MessageBoxText(box).find(L"\"저장된 DC\" 목록에 저장하지 않은 캡쳐가 1개 있습니다."), std::wstring::npos);
        ASSERT_TRUE(XAnswer(box, answer));
        if (answer == IDNO) {
            run_.WaitUntilIdle(main);
            EXPECT_TRUE(alive());
            EXPECT_EQ(wt::ItemCount(dcs), 1);
        }
    }
    ASSERT_EQ(::WaitForSingleObject(run_.process(), kPatienceMs), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(run_.process(), &code);
    EXPECT_EQ(code, 0u);
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

// The panes start empty under their plain names, the saved-files pane
// showing; the web image window waits hidden until its command shows it.
TEST_F(VeskProcess, PanesAndWebImageWindowAreInPlace) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    run_.WaitUntilIdle(main);

    HWND tabs = ::GetDlgItem(main, 1012);
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(TabTitle(run_.process(), tabs, 0), L"저장된 파일");
    EXPECT_EQ(TabTitle(run_.process(), tabs, 1), L"저장된 DC");
    EXPECT_EQ(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);

    // The list views inside the two pane dialogs.
    HWND fileList = nullptr, dcList = nullptr;
    for (HWND pane = ::FindWindowExW(tabs, nullptr, nullptr, nullptr); pane;
         pane = ::FindWindowExW(tabs, pane, nullptr, nullptr)) {
        fileList = fileList ? fileList : ::GetDlgItem(pane, 1005);
        dcList = dcList ? dcList : ::GetDlgItem(pane, 1006);
    }
    ASSERT_NE(fileList, nullptr) << "no saved-files pane in the tabs";
    ASSERT_NE(dcList, nullptr) << "no saved-DC pane in the tabs";
    EXPECT_TRUE(::IsWindowVisible(fileList));
    EXPECT_FALSE(::IsWindowVisible(dcList));
    EXPECT_EQ(wt::ItemCount(fileList), 0);
    EXPECT_EQ(wt::ItemCount(dcList), 0);
    RECT tabsRect, paneRect;
    ::GetWindowRect(tabs, &tabsRect);
    ::GetWindowRect(::GetParent(fileList), &paneRect);
    EXPECT_GE(paneRect.left, tabsRect.left);
    EXPECT_LE(paneRect.right, tabsRect.right);
    EXPECT_LE(paneRect.bottom, tabsRect.bottom);

    HWND webImage = run_.FindOwnWindow(kWebImageTitle);
    ASSERT_NE(webImage, nullptr) << "no web image window";
    // A top-level window; like every modeless dialog without a parent it is owned by the main window.
    EXPECT_EQ(::GetWindowLongW(webImage, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(::GetWindow(webImage, GW_OWNER), main);
    EXPECT_FALSE(::IsWindowVisible(webImage));
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kWebImageCommand, 0));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(webImage) != FALSE; })) << "the web image window never showed";
    // Closing it only hides it; the program ends cleanly afterwards.
    ASSERT_TRUE(::PostMessageW(webImage, WM_COMMAND, IDCANCEL, 0));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(webImage); })) << "the web image window stayed";
    EXPECT_TRUE(::IsWindow(webImage));

    // Every cursor capture replaces the one cursor file, which keeps its one entry.
    const std::wstring cursor = run_.folder() + L"\\Cursor.cur";
    for (int capture = 0; capture < 3; ++capture) {
        ASSERT_TRUE(WaitFor([&] { return ::DeleteFileW(cursor.c_str()) || !Exists(cursor); })) << "Cursor.cur stays";
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kCursorCommand, 0));
        ASSERT_TRUE(WaitFor([&] { return Exists(cursor); })) << "no cursor file";
        EXPECT_EQ(TabTitle(run_.process(), tabs, 0), L"저장된 파일(1)") << capture;  // after the command
    }
    EXPECT_TRUE(WaitFor([&] { return wt::ItemCount(fileList) == 1; })) << wt::ItemCount(fileList) << " entries";

    EXPECT_EQ(run_.Exit(main), 0u);
    COpFilePropertyPage file;
    file.LoadOptions(Ini());
    EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
}

TEST_F(VeskProcess, StartTrayHidesTheDialogUntilRestored) {
    ASSERT_TRUE(profile::WriteDefaults(Ini(), CString(run_.folder().c_str())));
    profile::WriteValue(profile::kMiscSection, L"StartTray", 1, Ini());
    // Started here: VeskRun waits for a dialog on show.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = L"\"" + run_.exe() + L"\"";
    ASSERT_TRUE(::CreateProcessW(run_.exe().c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 run_.folder().c_str(), &si, &pi));
    ::CloseHandle(pi.hThread);
    HWND main = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (main = ::FindWindowW(nullptr, kMainTitle)) != nullptr; })) << "no main dialog";
    if (main) {
        run_.WaitUntilIdle(main);
        EXPECT_FALSE(::IsWindowVisible(main)) << "the dialog shows although it started into the tray";
        ::PostMessageW(main, kTrayNotify, 0, kTrayRestore);
        EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; })) << "the dialog stayed hidden";
        ::PostMessageW(main, WM_COMMAND, kTrayExitCommand, 0);
    }
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(pi.hProcess, kPatienceMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(pi.hProcess, &code);
    else
        ::TerminateProcess(pi.hProcess, 99);
    EXPECT_EQ(code, 0u);
    ::CloseHandle(pi.hProcess);
}

// Each options command saves or reloads what it should, then shows the sheet.
TEST_F(VeskProcess, OptionsCommandsOpenTheSheetOnTheirPages) {
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    struct Case {
        UINT command;
        int control;  // a control of the page that must be on show
        const wchar_t* expectedText;
        const wchar_t* fileNameOnDisk;  // as another process saved it: what this one did not change stays
    } const cases[] = {
        {32809, 1167, L"Edited_0", L"Edited"},  // all pages open on the file page, reloaded
        {32788, 1167, L"Edited_0", L"Edited"},
        {32790, 0, nullptr, L"Edited"},
        {32793, 1220, L"55", L"Edited"},    // the miscellaneous page reloads its section
        {kTrayOptionsMisc, 1220, L"55", L"Edited"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        profile::WriteValue(profile::kFileSection, L"FileName", L"Edited", Ini());
        profile::WriteValue(profile::kMiscSection, L"CookieNumber", 55, Ini());
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, c.command, 0));
        HWND sheet = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (sheet = run_.FindOwnWindow(L"Options")) != nullptr; })) << "no options sheet";
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
            })) << "no shown control " << c.control;
            // Another process's control tells its text only when asked by message.
            WCHAR text[64] = {};
            DWORD_PTR copied = 0;
            ::SendMessageTimeoutW(control, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kPatienceMs,
                                  &copied);
            EXPECT_EQ(std::wstring(c.expectedText), text);
        }
        // The same command again, by whatever path, opens no second sheet.
        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, c.command, 0));
        run_.WaitUntilIdle(main);
        EXPECT_EQ(run_.FindWindowIf([&](HWND hWnd) {
            WCHAR text[16] = {};
            ::GetWindowTextW(hWnd, text, 16);
            return hWnd != sheet && std::wstring(text) == L"Options";
        }), nullptr) << "a second sheet";
        EXPECT_TRUE(::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0));
        EXPECT_TRUE(WaitFor([&] { return !::IsWindow(sheet); })) << "the sheet stayed";
        EXPECT_EQ(std::wstring(c.fileNameOnDisk),
                  std::wstring(profile::ReadValue(profile::kFileSection, L"FileName", Ini())));
    }
    // The tray's exit with a sheet open closes the sheet, then the program.
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kTrayOptionsMisc, 0));
    ASSERT_TRUE(WaitFor([&] { return run_.FindOwnWindow(L"Options") != nullptr; })) << "no options sheet";
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kTrayExitCommand, 0));
    EXPECT_EQ(::WaitForSingleObject(run_.process(), kPatienceMs), WAIT_OBJECT_0) << "the program lives on";
}

}  // namespace
