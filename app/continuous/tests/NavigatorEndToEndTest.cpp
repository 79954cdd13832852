// The navigator of vesk.exe under the real mouse: command 32776 posted to the
// main dialog, the frame placed over a window of ours that shows a coordinate
// pattern, its caption buttons clicked with the X pointer, and the saved files'
// pixels compared with what the screen showed.
#include "WidgetTestUtil.h"
#include "image/DibImage.h"
#include "tests/driver/PatternHost.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vesk_test;

constexpr UINT kNavigatorCommand = 32776, kTrayExitCommand = 32978;
constexpr const wchar_t* kNavigatorTitle = L"네비게이터 캡쳐";
// Left of the main dialog, which sits in the middle of the 1280 x 1024 screen.
constexpr RECT kHostRect = {10, 10, 360, 330};
constexpr RECT kChildClient = {60, 190, 250, 290};  // in the host's client area
constexpr UINT kSetSaveTarget = WM_APP + 7;  // lParam 1: the saved-DC list
constexpr int kFileListId = 1005, kDcListId = 1006;
constexpr int kModeFilesId = 1019, kModeDcId = 1020, kTimeId = 1021, kCountId = 1024, kStartId = 1027, kFramesId = 1029;
constexpr int kDeleteFrameId = 1042, kResetId = 1026;
constexpr int kMessageTextId = 0xFFFF;  // the text of a message box

int CaptionHeight() {
    return GetSystemMetrics(SM_CYSMCAPTION) + 2 * (GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYBORDER)) + 5;
}

RECT Inside(const RECT& window) {
    return {window.left + 8, window.top + CaptionHeight(), window.right - 8, window.bottom - 8};
}

// The host shows the pattern of the screen points it covers, its child bands
// of colour; neither erases.
LRESULT CALLBACK PaintingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND)
        return 1;
    if (message != WM_PAINT)
        return DefWindowProcW(hWnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hWnd, &ps);
    if (GetParent(hWnd)) {
        RECT client;
        GetClientRect(hWnd, &client);
        PaintBands(dc, client);
    } else {
        PaintPattern(dc, hWnd);
    }
    EndPaint(hWnd, &ps);
    return 0;
}

void Click(POINT p) {
    wt::MouseMove(p.x, p.y);
    wt::MouseDown();
    wt::MouseUp();
}

POINT Centre(HWND hWnd) {
    RECT r = {};
    GetWindowRect(hWnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Another process's control tells its text only when asked by message.
std::wstring ControlText(HWND hWnd) {
    WCHAR text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kPatienceMs, &copied);
    return text;
}

class NavigatorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wt::MouseAway();
        ASSERT_TRUE(run_.PrepareQuiet());
        host_ = hostWindow_.Create(L"VeskNavigatorHost", L"host", PaintingProc, CLR_INVALID, kHostRect,
                                   WS_POPUP | WS_CLIPCHILDREN);
        child_ = childWindow_.Create(L"VeskNavigatorChild", L"", PaintingProc, CLR_INVALID, kChildClient,
                                     WS_CHILD | WS_VISIBLE, host_);
    }
    void TearDown() override {
        run_.Kill();
        hostWindow_.Destroy();
        childWindow_.Destroy();
        wt::MouseAway();
    }

    HWND Start() {
        HWND main = run_.Start();
        if (main) {
            SetWindowPos(host_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
            wt::Settle(host_);
            WaitFor([] { return ScreenPixel(kHostRect.left + 5, kHostRect.top + 7) == PatternAt(kHostRect.left + 5, kHostRect.top + 7); });
        }
        return main;
    }
    // A shown window of the program with this title, other than `other`.
    HWND FindTitled(const wchar_t* title, HWND other = nullptr) const {
        return run_.FindWindowIf([=](HWND hWnd) {
            WCHAR text[64] = {};
            GetWindowTextW(hWnd, text, 64);
            return hWnd != other && IsWindowVisible(hWnd) && std::wstring(text) == title;
        });
    }
    HWND FindNavigator() const { return FindTitled(kNavigatorTitle); }
    HWND OpenNavigator(HWND main) {
        if (!PostMessageW(main, WM_COMMAND, kNavigatorCommand, 0))
            return nullptr;
        HWND nav = nullptr;
        WaitFor([&] { return (nav = FindNavigator()) != nullptr; });
        return nav;
    }
    // Puts the frame at `r`, above our window.
    void Place(HWND nav, const RECT& r) {
        SetWindowPos(nav, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
        run_.WaitUntilIdle(nav);
    }
    static POINT ButtonCentre(HWND nav, int button) {
        RECT w = {};
        GetWindowRect(nav, &w);
        const int lefts[] = {w.right - w.left - 28, 8, 33, 58};
        return {w.left + lefts[button] + 10, w.top + CaptionHeight() / 2};
    }

    VeskRun run_{L"navigator-e2e"};
    TestWindow hostWindow_, childWindow_;
    HWND host_ = nullptr, child_ = nullptr;
};

// One run: a single shot of the frame's inside, a speed capture with only the
// frame under the pointer (no shot), then one over a control.
TEST_F(NavigatorEndToEnd, CaptureAndSpeedCaptureSaveWhatIsFramedOrPointedAt) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    HWND nav = OpenNavigator(main);
    ASSERT_NE(nav, nullptr);
    // The command again (as the tray may post it) opens no second frame.
    PostMessageW(main, WM_COMMAND, kNavigatorCommand, 0);
    run_.WaitUntilIdle(nav);
    EXPECT_EQ(FindTitled(kNavigatorTitle, nav), nullptr);

    const RECT frame = {30, 30, 300, 170};
    Place(nav, frame);
    const RECT inside = Inside(frame);
    ASSERT_TRUE(WaitFor([&] {
        return ScreenPixel(inside.left + 3, inside.top + 3) == PatternAt(inside.left + 3, inside.top + 3) &&
               ScreenPixel(inside.right - 3, inside.bottom - 3) == PatternAt(inside.right - 3, inside.bottom - 3);
    })) << "the inside of the frame does not show what lies under it";
    std::vector<COLORREF> pattern;
    for (int y = inside.top; y < inside.bottom; ++y)
        for (int x = inside.left; x < inside.right; ++x)
            pattern.push_back(PatternAt(x, y));
    // Clicked only once its tip shows: the tip stays off the inside.
    const POINT capture = ButtonCentre(nav, 1);
    wt::MouseMove(capture.x, capture.y);
    wt::MouseMove(capture.x + 1, capture.y);
    ASSERT_TRUE(WaitFor([&] {
        return run_.FindWindowIf([](HWND hWnd) {
            WCHAR name[32] = {};
            GetClassNameW(hWnd, name, 32);
            return IsWindowVisible(hWnd) && lstrcmpiW(name, TOOLTIPS_CLASSW) == 0;
        }) != nullptr;
    })) << "the capture button's tip never showed";
    wt::MouseDown();
    wt::MouseUp();
    CDibImage image;
    ASSERT_TRUE(run_.LoadWhenWritten(run_.Numbered(0), image));
    EXPECT_EQ(0, WrongPixels(image, pattern));

    // With only the frame under the pointer the speed capture takes no shot:
    // the next file is the capture button's, once the speed capture is over.
    Click(ButtonCentre(nav, 3));
    bool captured = false;
    for (int attempt = 0; attempt < 30 && !captured; ++attempt) {
        Click(ButtonCentre(nav, 1));
        captured = WaitFor([&] { return Exists(run_.Numbered(1)); }, 1000);
    }
    ASSERT_TRUE(captured);
    ASSERT_TRUE(run_.LoadWhenWritten(run_.Numbered(1), image));
    EXPECT_EQ(0, WrongPixels(image, pattern));
    RECT now = {};
    GetWindowRect(nav, &now);
    EXPECT_TRUE(EqualRect(&now, &frame));

    // Over a control: a capture press meanwhile is ignored, the frame wraps
    // the control at the shot, and the shot is exactly the control.
    const RECT home = {20, 600, 320, 860};
    Place(nav, home);
    RECT child = {};
    GetWindowRect(child_, &child);
    const std::vector<COLORREF> bands = GrabScreen(child);
    const std::vector<COLORREF> host = GrabScreen(kHostRect);
    Click(ButtonCentre(nav, 3));
    Click(ButtonCentre(nav, 1));
    wt::MouseMove((child.left + child.right) / 2, (child.top + child.bottom) / 2);
    ASSERT_TRUE(WaitFor([&] {
        GetWindowRect(nav, &now);
        return now.left == child.left - 8 && now.right == child.right + 8;
    })) << "the frame never went round the control: it is at " << now.left << "," << now.top << "-" << now.right
        << "," << now.bottom;
    ASSERT_TRUE(run_.LoadWhenWritten(run_.Numbered(2), image));
    EXPECT_EQ(0, WrongPixels(image, bands)) << "the capture is not exactly the control";

    // Back home once done, with no highlight left on the screen.
    ASSERT_TRUE(WaitFor([&] {
        GetWindowRect(nav, &now);
        return EqualRect(&now, &home) != FALSE;
    })) << "the navigator stayed at " << now.left << ", " << now.top;
    wt::MouseAway();
    wt::Settle(host_);
    EXPECT_TRUE(WaitFor([&] { return GrabScreen(kHostRect) == host; }, 5000)) << "marks left on the window";

    // Partly past the right edge of the screen, over our window moved there:
    // the shot is what lies on the screen, nothing beyond it.
    SetWindowPos(host_, HWND_TOPMOST, 1000, 380, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    wt::Settle(host_);
    const RECT pastEdge = {1080, 400, 1380, 560};
    Place(nav, pastEdge);
    RECT onScreen = Inside(pastEdge);
    onScreen.right = GetSystemMetrics(SM_CXSCREEN);
    const POINT first = {onScreen.left, onScreen.top}, last = {onScreen.right - 1, onScreen.bottom - 1};
    ASSERT_TRUE(WaitFor([&] {
        return ScreenPixel(first.x, first.y) == PatternAt(first.x, first.y) &&
               ScreenPixel(last.x, last.y) == PatternAt(last.x, last.y);
    })) << std::hex << ScreenPixel(first.x, first.y) << " " << ScreenPixel(last.x, last.y);
    Click(ButtonCentre(nav, 1));
    ASSERT_TRUE(run_.LoadWhenWritten(run_.Numbered(3), image));
    EXPECT_EQ(0, WrongPixels(image, PatternOver(onScreen)));
    Place(nav, home);

    // Closed by its button, and opened again.
    Click(ButtonCentre(nav, 0));
    ASSERT_TRUE(WaitFor([&] { return FindNavigator() == nullptr; })) << "the navigator stayed";
    nav = OpenNavigator(main);
    ASSERT_NE(nav, nullptr);
    Click(ButtonCentre(nav, 0));
    ASSERT_TRUE(WaitFor([&] { return FindNavigator() == nullptr; })) << "the navigator stayed";
    wt::MouseAway();
    EXPECT_EQ(run_.Exit(main), 0u);
    EXPECT_FALSE(Exists(run_.Numbered(4)));
}

TEST_F(NavigatorEndToEnd, FileSeriesFromThePanelBecomesFramesAndFilesButNoPaneEntries) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    // With the saved-DC tab showing, the series still goes to files.
    PostMessageW(main, kSetSaveTarget, 0, 1);
    HWND nav = OpenNavigator(main);
    ASSERT_NE(nav, nullptr);
    const RECT frame = {30, 30, 300, 170};
    Place(nav, frame);
    const RECT inside = Inside(frame);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(inside.left + 3, inside.top + 3) == PatternAt(inside.left + 3, inside.top + 3); }))
        << "the screen shows " << std::hex << ScreenPixel(inside.left + 3, inside.top + 3);

    Click(ButtonCentre(nav, 2));
    HWND panel = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (panel = FindTitled(L"연속캡쳐")) != nullptr; })) << "no series panel";
    wt::MouseAway();
    SendMessageW(GetDlgItem(panel, kModeFilesId), BM_CLICK, 0, 0);
    // Beside the frame, right of it, whole (it grows in this mode): never over what the series captures.
    run_.WaitUntilIdle(panel);
    RECT panelRect = {};
    GetWindowRect(panel, &panelRect);
    EXPECT_EQ(frame.right, panelRect.left);
    EXPECT_EQ(frame.top, panelRect.top);

    // Keys typed into the panel's time field are the field's: with Ctrl held,
    // R starts no region capture, C copies and starts no control capture, A
    // selects all and opens no tool of the main window.
    const auto isNew = [&](HWND hWnd) { return hWnd != main && hWnd != nav && hWnd != panel && IsWindowVisible(hWnd); };
    HWND time = GetDlgItem(panel, kTimeId), count = GetDlgItem(panel, kCountId);
    Click(Centre(time));
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == panel && wt::FocusOf(panel) == time; }))
        << "the click did not reach the time field";
    run_.WaitUntilIdle(panel);
    ASSERT_EQ(ControlText(time), L"0");
    // Ctrl stays down until the keys have been handled, as a user's finger
    // does. Wine brings its modifier keys back in line with the X server when
    // the window's focus news arrives, which may undo a Ctrl pressed just
    // before: the keys then arrive as plain letters, and are typed again.
    bool selected = false;
    for (int attempt = 0; attempt < 5 && !selected; ++attempt) {
        SendMessageW(time, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0"));
        SendMessageW(time, EM_SETSEL, 1, 1);
        wt::Key(VK_CONTROL);
        for (WORD key : {WORD('R'), WORD('C'), WORD('A')})
            wt::KeyPress(key);
        selected = WaitFor([&] { return SendMessageW(time, EM_GETSEL, 0, 0) == MAKELONG(0, 1); }, 3000);
        wt::Key(VK_CONTROL, true);
        run_.WaitUntilIdle(panel);
        ASSERT_EQ(run_.FindWindowIf(isNew), nullptr) << "Ctrl+R, C or A in the time field opened a window";
    }
    EXPECT_TRUE(selected) << "Ctrl+A did not select the time field's text";
    ASSERT_EQ(wt::FocusOf(panel), time);
    // Typing replaces the selection. A key that Wine still took for Ctrl+7
    // typed nothing and is pressed again.
    for (int attempt = 0; attempt < 5 && ControlText(time) == L"0"; ++attempt) {
        wt::KeyPress('7');
        WaitFor([&] { return ControlText(time) != L"0"; }, 2000);
    }
    EXPECT_EQ(ControlText(time), L"7");

    // With no shots to take, the start says why and puts the user into the count.
    Click(Centre(GetDlgItem(panel, kStartId)));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = run_.FindWindowIf([&](HWND hWnd) {
                                  return isNew(hWnd) && GetWindow(hWnd, GW_OWNER) == panel;
                              })) != nullptr; }, 10000))
        << "a series of 0 shots started or failed without a word";
    EXPECT_EQ(ControlText(GetDlgItem(box, kMessageTextId)), L"캡쳐갯수를 1 이상의 정수로 입력하세요.");
    wt::KeyPress(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    run_.WaitUntilIdle(panel);
    EXPECT_EQ(wt::FocusOf(panel), count);
    SendMessageW(GetDlgItem(panel, kTimeId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2"));
    SendMessageW(GetDlgItem(panel, kCountId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3"));
    SendMessageW(GetDlgItem(panel, kStartId), BM_CLICK, 0, 0);
    HWND frames = GetDlgItem(panel, kFramesId);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(frames, LB_GETCOUNT, 0, 0) == 3; })) << "the frames never came";

    std::vector<COLORREF> expected;
    for (int y = inside.top; y < inside.bottom; ++y)
        for (int x = inside.left; x < inside.right; ++x)
            expected.push_back(PatternAt(x, y));
    for (int n = 0; n < 3; ++n) {
        CDibImage image;
        ASSERT_TRUE(run_.LoadWhenWritten(run_.Numbered(n), image)) << n;
        EXPECT_EQ(0, WrongPixels(image, expected)) << n;
    }
    EXPECT_FALSE(Exists(run_.Numbered(3)));
    HWND files = FindControl(main, kFileListId), dcs = FindControl(main, kDcListId);
    ASSERT_TRUE(files && dcs);
    EXPECT_EQ(wt::ItemCount(files), 0);
    EXPECT_EQ(wt::ItemCount(dcs), 0);

    // The list shows the newest frame, selected; deleting it leaves no hole:
    // the list scrolls back to the frames that are left.
    ASSERT_EQ(SendMessageW(frames, LB_GETCURSEL, 0, 0), 2);
    ASSERT_EQ(SendMessageW(frames, LB_GETTOPINDEX, 0, 0), 2);
    Click(Centre(GetDlgItem(panel, kDeleteFrameId)));
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(frames, LB_GETCOUNT, 0, 0) == 2; }))
        << SendMessageW(frames, LB_GETCOUNT, 0, 0) << " frames listed";
    EXPECT_LT(SendMessageW(frames, LB_GETTOPINDEX, 0, 0), 2);
    EXPECT_FALSE(Exists(run_.Numbered(2)));  // in file mode the file goes too
    wt::MouseAway();

    // A series kept in memory: Enter in a field, the keypad's too, closes
    // nothing; Escape asks first, No keeps the frames and Yes closes.
    SendMessageW(GetDlgItem(panel, kModeDcId), BM_CLICK, 0, 0);
    SendMessageW(time, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2"));
    SendMessageW(count, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3"));
    // The frame refuses a start while it is still ending the last series.
    HWND start = GetDlgItem(panel, kStartId);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(start, BM_CLICK, 0, 0), !IsWindowEnabled(start); })) << "the start button stayed enabled";
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(frames, LB_GETCOUNT, 0, 0) == 3; })) << "the DC frames never came";
    const std::pair<HWND, const wchar_t*> enters[] = {{time, L"key Return"}, {count, L"key KP_Enter"}};
    for (const auto& [field, key] : enters) {
        ASSERT_TRUE(XMove(Centre(field).x, Centre(field).y) && XClick());
        ASSERT_TRUE(WaitFor([&] { return wt::FocusOf(panel) == field; })) << "the focus is on " << wt::FocusOf(panel);
        ASSERT_TRUE(XDo(key));
        run_.WaitUntilIdle(panel);
        EXPECT_TRUE(IsWindowVisible(panel)) << "Enter closed the panel";
        EXPECT_EQ(SendMessageW(frames, LB_GETCOUNT, 0, 0), 3);
    }
    // The program's exit asks about the frames too; the end of the session is held off.
    DWORD_PTR mayEnd = TRUE;
    ASSERT_TRUE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kPatienceMs, &mayEnd));
    EXPECT_EQ(mayEnd, static_cast<DWORD_PTR>(FALSE));
    SendMessageTimeoutW(main, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, kPatienceMs, nullptr);
    // A click on the mode already checked changes nothing; another mode and
    // the reset ask as well, and No keeps the frames and the mode.
    HWND dcMode = GetDlgItem(panel, kModeDcId);
    ASSERT_TRUE(XMove(Centre(dcMode).x, Centre(dcMode).y) && XClick());
    run_.WaitUntilIdle(panel);
    EXPECT_EQ(run_.FindMessageBox(), nullptr);
    EXPECT_EQ(SendMessageW(frames, LB_GETCOUNT, 0, 0), 3);
    const wchar_t* const discard = L"모드를 바꾸거나 초기화하면 모두 사라집니다";
    const struct { const wchar_t* way; int button; int answer; const wchar_t* text; bool tray; } ways[] = {
        {nullptr, 0, IDNO, L"\"연속캡쳐\" 창에 파일로 저장하지 않은 캡쳐가 3개 있습니다."},
        {nullptr, kModeFilesId, IDNO, discard, true}, {nullptr, kResetId, IDNO, discard},
        {L"key Escape", 0, IDNO, L"창을 닫으면 모두 사라집니다"},
        {nullptr, 0, IDYES, L"\"연속캡쳐\" 창에 파일로 저장하지 않은 캡쳐가 3개 있습니다."}};
    for (const auto& [way, button, answer, text, tray] : ways) {
        const POINT at = button ? Centre(GetDlgItem(panel, button)) : POINT{};
        ASSERT_TRUE(button ? XMove(at.x, at.y) && XClick()
                           : way ? XDo(way) : PostMessageW(main, WM_COMMAND, kExitCommand, 0) != FALSE);
        HWND question = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (question = run_.FindMessageBox()) != nullptr; }))
            << (way ? L"Escape" : button ? L"a click" : L"the exit") << " went on without a word";
        EXPECT_NE(MessageBoxText(question).find(text), std::wstring::npos);
        if (tray) {  // the tray's exit meanwhile is refused: nothing stacked on the question, which comes to the front
            ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kTrayExitCommand, 0));
            run_.WaitUntilIdle(panel);
            EXPECT_EQ(run_.FindWindowIf([&](HWND hWnd) { return isNew(hWnd) && hWnd != question; }), nullptr);
            EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == question; })) << "in front: " << GetForegroundWindow();
        }
        ASSERT_TRUE(XAnswer(question, answer));
        if (answer == IDNO) {
            run_.WaitUntilIdle(panel);
            EXPECT_TRUE(IsWindowVisible(panel));
            EXPECT_EQ(SendMessageW(frames, LB_GETCOUNT, 0, 0), 3);
            EXPECT_EQ(SendMessageW(dcMode, BM_GETCHECK, 0, 0), BST_CHECKED);
            // The next Escape is the panel's only once it is active again.
            ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == panel; })) << "in front: " << GetForegroundWindow();
        }
    }
    // Yes to the exit ends the panel and the navigator with the program.
    ASSERT_EQ(WaitForSingleObject(run_.process(), kPatienceMs), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(run_.process(), &code) && code == 0) << code;
}

}  // namespace
