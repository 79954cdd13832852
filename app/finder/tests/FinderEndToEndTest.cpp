// The control finder of vesk.exe under the real mouse: a window of ours with a
// button, the control command posted to the main dialog, the pointer moved and
// clicked through the X server, and what lands on the screen and in the capture
// folder checked. The frame blinks, so each check waits for the state it needs
// (bounded) instead of counting time.
#include "WidgetTestUtil.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/PatternHost.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace vesk_test;

constexpr UINT kControlCommand = 32786;
constexpr COLORREF kHostColour = RGB(12, 200, 34);
// Clear of the main dialog, which comes back to the front when the finder ends.
constexpr RECT kHostRect = {40, 40, 260, 170};
constexpr RECT kButtonRect = {60, 70, 220, 130};  // 20, 30 in the host
// The 4-pixel pen straddles the outline: 3 pixels around the button.
constexpr RECT kFrameArea = {57, 67, 223, 133};
// Pointing 6 pixels inside the button: the finder samples 2 pixels up and left of the pointer.
constexpr POINT kInButton = {kButtonRect.left + 6, kButtonRect.top + 6};

// The button draws itself the same whatever its state: bands of colour, all its own pixels.
LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DRAWITEM)
        return DefWindowProcW(hWnd, message, wParam, lParam);
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    PaintBands(item->hDC, item->rcItem);
    return TRUE;
}

// Waits until the blinking frame shows on the left edge of `r`: the pixels
// just inside and just outside both change from what they were before.
bool WaitForFrameOn(const RECT& r) {
    const int y = (r.top + r.bottom) / 2;
    const COLORREF inside = ScreenPixel(r.left, y), outside = ScreenPixel(r.left - 1, y);
    wt::MouseMove(r.left + 6, r.top + 6);
    return WaitFor([&] { return ScreenPixel(r.left, y) != inside && ScreenPixel(r.left - 1, y) != outside; });
}

// Waits, the pointer left where it is, until the frame blinks on the left edge of `r`.
bool WaitForBlinkOn(const RECT& r, const std::vector<COLORREF>& clean) {
    const int w = r.right - r.left, y = (r.bottom - r.top) / 2;
    return WaitFor([&] { return ScreenPixel(r.left, r.top + y) != clean[static_cast<size_t>(y) * w]; });
}

// The 3 x 3 (or 1 x 1) window that follows the pointer.
bool FinderShowing(const VeskRun& run) {
    return run.FindWindowIf([](HWND hWnd) {
        RECT r = {};
        GetWindowRect(hWnd, &r);
        return IsWindowVisible(hWnd) && r.right - r.left <= 3 && r.bottom - r.top <= 3;
    }) != nullptr;
}

// What a capture of the screen rectangle `r` showing `pixels` holds once the
// cursor `cursor` is drawn at the screen point `at`, as the capture engine draws it.
std::vector<COLORREF> WithCursor(const RECT& r, const std::vector<COLORREF>& pixels, HCURSOR cursor, POINT at) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    wt::DibCanvas canvas(w, h, RGB(0, 0, 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetPixelV(canvas.dc(), x, y, pixels[static_cast<size_t>(y) * w + x]);
    ICONINFO info = {};
    if (GetIconInfo(cursor, &info)) {
        DrawIcon(canvas.dc(), at.x - r.left - static_cast<int>(info.xHotspot),
                 at.y - r.top - static_cast<int>(info.yHotspot), cursor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
    }
    GdiFlush();
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(canvas.Pixel(x, y));
    return out;
}

// Escape ends without a file; then a click captures exactly the button, even
// one made before the button's first frame. No frame stays on the screen,
// neither when the pointer moves on nor at the end.
TEST(FinderEndToEnd, EscapeSavesNothingAndAClickCapturesTheButtonWithoutLeavingAFrame) {
    wt::MouseAway();
    VeskRun run(L"finder-e2e");
    ASSERT_TRUE(run.PrepareQuiet());
    TestWindow hostWindow;
    const HWND host = hostWindow.Create(L"VeskFinderHost", L"host", HostProc, kHostColour, kHostRect,
                                        WS_POPUP | WS_CLIPCHILDREN);
    CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 20, 30, 160, 60, host, nullptr,
                    GetModuleHandleW(nullptr), nullptr);
    const HWND main = run.Start();
    ASSERT_NE(main, nullptr);
    RECT mainRect = {}, overlap = {};
    GetWindowRect(main, &mainRect);
    EXPECT_FALSE(IntersectRect(&overlap, &mainRect, &kHostRect)) << "the main dialog sits over the test window";
    // Our window above the dialog that just showed, without taking the focus.
    SetWindowPos(host, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    wt::Settle(host);
    // The compositor shows the repaint a little later; grab references only once it does.
    WaitFor([] {
        return ScreenPixel(kHostRect.left + 2, kHostRect.top + 2) == kHostColour &&
               ScreenPixel(kButtonRect.left + 2, kButtonRect.top + 2) == RGB(0, 255, 90);
    });
    const std::vector<COLORREF> button = GrabScreen(kButtonRect), around = GrabScreen(kFrameArea);
    const POINT hostEdge = {kHostRect.left, (kHostRect.top + kHostRect.bottom) / 2};
    const COLORREF hostEdgeColour = ScreenPixel(hostEdge.x, hostEdge.y);
    auto frameLeft = [&] {
        const std::vector<COLORREF> now = GrabScreen(kFrameArea);
        int n = 0;
        for (size_t i = 0; i < now.size(); ++i)
            n += now[i] != around[i];
        return n;
    };
    auto finderShowing = [&] { return FinderShowing(run); };

    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor(finderShowing)) << "the finder never showed";
    ASSERT_TRUE(WaitForFrameOn(kButtonRect)) << "the button never blinked";
    wt::KeyPress(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !finderShowing(); })) << "the finder stayed";
    wt::MouseAway();
    EXPECT_EQ(0, frameLeft()) << "pixels around the button left changed after Escape";

    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor(finderShowing)) << "the finder never showed";
    ASSERT_TRUE(WaitForFrameOn(kButtonRect)) << "the button never blinked";
    // Once the window around the button blinks, the button's frame is gone.
    ASSERT_TRUE(WaitForFrameOn(kHostRect)) << "the window around the button never blinked";
    EXPECT_EQ(0, frameLeft()) << "pixels around the button left changed once the pointer moved on";
    // Back on the button: the next blink takes the window's frame off and has
    // seen the button without framing it yet. A click then takes the button.
    wt::MouseMove(kInButton.x, kInButton.y);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(hostEdge.x, hostEdge.y) == hostEdgeColour; }))
        << "the host's edge shows " << std::hex << ScreenPixel(hostEdge.x, hostEdge.y);
    wt::MouseDown();
    wt::MouseUp();
    ASSERT_TRUE(WaitFor([&] { return !finderShowing(); })) << "the finder stayed";

    // Escape took no number: the click's capture is the first file.
    CDibImage image;
    ASSERT_TRUE(run.LoadWhenWritten(run.Numbered(0), image));
    EXPECT_EQ(0, WrongPixels(image, button)) << "pixels of the capture that differ from the button (-1: size)";
    wt::MouseAway();
    EXPECT_EQ(0, frameLeft()) << "pixels around the button left changed after the capture";
    EXPECT_EQ(run.Exit(main), 0u);
    EXPECT_FALSE(Exists(run.Numbered(1)));
}

// A quick real hand (X pointer events): the pointer jumps from the main
// dialog onto a window of another program and clicks. The finder keeps up,
// the click is its own (the other program gets no button message) and the
// capture is exactly that window, with the pointer the user saw drawn once
// the cursor option is on. A button of our own main dialog (disabled while
// the finder runs) captures the button, not the dialog.
TEST(FinderEndToEnd, QuickPointerOnAnotherProgramAndOurOwnButtons) {
    wt::MouseAway();
    VeskRun run(L"finder-quick");
    ASSERT_TRUE(run.PrepareQuiet());
    HWND main = run.Start();
    ASSERT_NE(main, nullptr);
    RECT mainRect = {};
    GetWindowRect(main, &mainRect);
    const RECT hostRect = {30, mainRect.top + 40, mainRect.left - 40, mainRect.top + 280};
    PatternHost host;
    ASSERT_TRUE(host.Start(hostRect)) << "the other program's window never showed";
    const HWND frame = FindWindowExW(main, nullptr, nullptr, L"VeskFrame");
    const HWND quick = frame ? GetDlgItem(frame, IDW_QUICK_BAR) : nullptr;
    const HWND cursorSwitch = quick ? GetDlgItem(quick, IDC_QUICK_CURSOR) : nullptr;
    ASSERT_TRUE(cursorSwitch && IsWindowVisible(cursorSwitch));

    // Our own button, inside the disabled main dialog.
    RECT buttonRect = {};
    GetWindowRect(cursorSwitch, &buttonRect);
    const POINT onButton = {(buttonRect.left + buttonRect.right) / 2 + 2, (buttonRect.top + buttonRect.bottom) / 2 + 2};
    wt::MouseMove(onButton.x, onButton.y);
    wt::Settle();
    const std::vector<COLORREF> button = GrabScreen(buttonRect);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return FinderShowing(run); })) << "the finder never showed";
    ASSERT_TRUE(WaitForBlinkOn(buttonRect, button)) << "the button never blinked";
    wt::MouseDown();
    wt::MouseUp();
    ASSERT_TRUE(WaitFor([&] { return !FinderShowing(run); })) << "the finder stayed";
    CDibImage image;
    ASSERT_TRUE(run.LoadWhenWritten(run.Numbered(0), image));
    EXPECT_EQ(buttonRect.right - buttonRect.left, static_cast<int>(image.GetWidth()));
    EXPECT_EQ(buttonRect.bottom - buttonRect.top, static_cast<int>(image.GetHeight()));
    EXPECT_EQ(0, WrongPixels(image, button)) << "pixels of the capture that differ from the button (-1: size)";

    // The switch clicked for real turns the cursor option on.
    wt::MouseMove(onButton.x, onButton.y);
    wt::MouseDown();
    wt::MouseUp();
    ASSERT_TRUE(WaitFor([&] {
        return profile::ReadValue(profile::kMiscSection, L"MouseCursor", run.ini().c_str()) == CString(L"1");
    })) << "MouseCursor stays " << profile::ReadValue(profile::kMiscSection, L"MouseCursor", run.ini().c_str()).GetString();

    const POINT start = {mainRect.left + 90, (hostRect.top + hostRect.bottom) / 2};
    const POINT target = {(hostRect.left + hostRect.right) / 2, start.y + 17};
    wt::MouseMove(start.x, start.y);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return FinderShowing(run); })) << "the finder never showed";
    // The click follows the last jump at once, before a blink can frame the window.
    ASSERT_TRUE(XSweep(start, target)) << "xdotool did not move the pointer";
    ASSERT_TRUE(XClick());
    const std::vector<COLORREF> pattern = PatternOver(hostRect);
    EXPECT_EQ(0, host.ButtonMessages()) << "the click reached the other program";
    const bool ended = WaitFor([&] { return !FinderShowing(run); });
    if (!ended)
        wt::KeyPress(VK_ESCAPE);
    ASSERT_TRUE(ended) << "the finder missed the click";
    ASSERT_TRUE(run.LoadWhenWritten(run.Numbered(1), image));
    const std::vector<COLORREF> expected =
        WithCursor(hostRect, pattern, LoadCursorW(nullptr, IDC_HAND), target);
    EXPECT_EQ(0, WrongPixels(image, expected)) << "pixels of the capture that differ from the window and the pointer";
    EXPECT_EQ(0, host.ButtonMessages());

    // Over the other program, a right press during the left one cancels: the
    // finder saves nothing and no release reaches that program.
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return FinderShowing(run); })) << "the finder never showed";
    ASSERT_TRUE(XMove(target.x, target.y) && XDo(L"mousedown 1 mousedown 3 mouseup 1 sleep 0.2 mouseup 3"));
    EXPECT_TRUE(WaitFor([&] { return !FinderShowing(run); })) << "the finder stays";
    EXPECT_EQ(0, host.ButtonMessages());
    EXPECT_FALSE(Exists(run.Numbered(2)));

    // Press, drag, Escape and release within a few ms, again and again, and
    // once a second apart, the keyboard left with the other program by the
    // right click before: nothing saved, none of them reaches that program,
    // and every right click after does.
    for (int i = 0, clicks = 0; i < 20; ++i) {
        ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
        ASSERT_TRUE(WaitFor([&] { return FinderShowing(run); })) << "the finder never showed";
        // The release 0 to 4 ms after Escape, or a second after.
        const std::wstring pause = i == 1 ? L" sleep 1 " : L" sleep 0.00" + std::to_wstring(i % 5) + L" ";
        ASSERT_TRUE(XMove(target.x, target.y) && XDo(L"mousedown 1 mousemove_relative 30 20" + (i == 1 ? pause : L" ") +
                                                     L"key --delay 0 Escape" + pause + L"mouseup 1"));
        EXPECT_TRUE(WaitFor([&] { return !FinderShowing(run); })) << "the finder stays, try " << i;
        EXPECT_EQ(clicks, host.ButtonMessages()) << "try " << i;
        ASSERT_TRUE(XDo(L"click 3"));
        clicks += 2;
        EXPECT_TRUE(WaitFor([&] { return host.ButtonMessages() == clicks; })) << "a right click swallowed, try " << i;
        EXPECT_FALSE(Exists(run.Numbered(2))) << "saved, try " << i;
    }
    wt::MouseAway();
    EXPECT_EQ(run.Exit(main), 0u);
}

}  // namespace
