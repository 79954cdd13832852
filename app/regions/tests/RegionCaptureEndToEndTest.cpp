// Drives vesk.exe through its region captures with real mouse input over a
// test pattern whose every pixel encodes its own screen position, and reads
// back the captured files: exactly the chosen rectangle, nothing of our own
// lines or helper windows, and nothing at all for a click or a line.
#include "WidgetTestUtil.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/PatternHost.h"
#include "tests/driver/ProcessThreads.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace vesk_test;

constexpr UINT kDynamicMouseCommand = 32822;
constexpr UINT kDynamicTrackerCommand = 32828;
constexpr UINT kStaticMouseCommand = 32825;
constexpr UINT kStaticTrackerCommand = 32839;
constexpr int kMagnifierView = 1016;
constexpr int kPointerView = 1017;
constexpr DWORD kPastThePollMs = 300;  // the region window polls the pointer every 100 ms

// Position (x, y) modulo 64 in the high nibbles of the three channels, as
// 0x00RRGGBB, the low nibbles at 8. `variant` shifts the pattern, so that an
// old and a new picture differ everywhere.
DWORD PatternPixel(int x, int y, int variant) {
    const int a = (x + 32 * variant) & 63, b = y & 63;
    return (a & 15) << 20 | ((a >> 4) | ((b & 3) << 2)) << 12 | (b >> 2) << 4 | 0x080808;
}

// Whether 0x00RRGGBB is exactly the pattern's pixel at (x, y): the captures
// hold no cursor, so nothing of ours may change a pixel by even one step.
bool IsPatternAt(DWORD rgb, int x, int y, int variant) { return rgb == PatternPixel(x, y, variant); }

// Whether two readouts show the same text. The window is translucent and the
// live capture's pointer window tints what lies under or over it by a step, so
// a pixel may differ by one; a different glyph differs by far more.
bool SameText(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    if (a.empty() || a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(GetRValue(a[i]) - GetRValue(b[i])) > 1 || std::abs(GetGValue(a[i]) - GetGValue(b[i])) > 1 ||
            std::abs(GetBValue(a[i]) - GetBValue(b[i])) > 1)
            return false;
    return true;
}

// Waits without letting our own windows go unpainted.
void Rest(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        wt::PumpMessages();
        ::Sleep(20);
    }
}

// The full-screen pattern, painted from a DIB of its own.
class PatternWindow {
public:
    PatternWindow() : m_canvas(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0) {
        DIBSECTION dib = {};
        GetObjectW(m_canvas.bitmap(), sizeof(dib), &dib);
        m_bits = static_cast<DWORD*>(dib.dsBm.bmBits);
        Fill(0);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VeskRegionPattern";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, wc.lpszClassName, L"pattern",
                                 WS_POPUP | WS_VISIBLE, 0, 0, m_canvas.width(), m_canvas.height(), nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        Repaint();
    }
    ~PatternWindow() {
        DestroyWindow(m_hWnd);
        UnregisterClassW(L"VeskRegionPattern", GetModuleHandleW(nullptr));
    }
    int variant() const { return m_variant; }
    void Fill(int variant) {
        m_variant = variant;
        GdiFlush();
        for (int y = 0; y < m_canvas.height(); ++y)
            for (int x = 0; x < m_canvas.width(); ++x)
                m_bits[y * m_canvas.width() + x] = PatternPixel(x, y, variant);
    }
    // A block of one colour (0x00RRGGBB) over the pattern.
    void FillRect(const RECT& r, DWORD rgb) {
        GdiFlush();
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                m_bits[y * m_canvas.width() + x] = rgb;
    }
    void Repaint() {
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        wt::PumpMessages();
    }
    void Raise() {
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        Repaint();
    }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<PatternWindow*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (message == WM_ERASEBKGND)
            return 1;
        if (message == WM_MOUSEACTIVATE)
            return MA_NOACTIVATE;
        if (message != WM_PAINT || !self)
            return DefWindowProcW(hWnd, message, wParam, lParam);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        BitBlt(dc, 0, 0, self->m_canvas.width(), self->m_canvas.height(), self->m_canvas.dc(), 0, 0, SRCCOPY);
        EndPaint(hWnd, &ps);
        return 0;
    }

    wt::DibCanvas m_canvas;
    DWORD* m_bits = nullptr;
    HWND m_hWnd = nullptr;
    int m_variant = 0;
};

bool ScreenShowsPattern(POINT p, int variant) {
    const COLORREF c = ScreenPixel(p.x, p.y);
    return IsPatternAt(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c), p.x, p.y, variant);
}

// Whether the screen shows `want` at p. The live captures' pointer window, at
// alpha 1 over everything, may tint a pixel by a step.
bool ScreenShows(POINT p, COLORREF want, bool live) {
    const COLORREF c = ScreenPixel(p.x, p.y);
    const int slack = live ? 1 : 0;
    return std::abs(GetRValue(c) - GetRValue(want)) <= slack && std::abs(GetGValue(c) - GetGValue(want)) <= slack &&
           std::abs(GetBValue(c) - GetBValue(want)) <= slack;
}

// Every pixel of the picture must decode to its own screen position inside `rect`.
::testing::AssertionResult ShowsPattern(const CDibImage& image, const RECT& rect, int variant) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (static_cast<int>(image.GetWidth()) != w || static_cast<int>(image.GetHeight()) != h)
        return ::testing::AssertionFailure() << "picture is " << image.GetWidth() << " x " << image.GetHeight()
                                             << ", expected " << w << " x " << h;
    int wrong = 0;
    std::string first;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // GetPixelColor counts rows from the bottom.
            const RGBQUAD c = image.GetPixelColor(x, h - 1 - y, false);
            const DWORD rgb = c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue;
            if (IsPatternAt(rgb, rect.left + x, rect.top + y, variant) || wrong++)
                continue;
            char at[40];
            snprintf(at, sizeof at, "%d,%d (%06lX)", x, y, static_cast<unsigned long>(rgb));
            first = at;
        }
    if (wrong)
        return ::testing::AssertionFailure() << wrong << " pixels off the pattern, first " << first;
    return ::testing::AssertionSuccess();
}

// What the rubber band from `from` to `to` captures: the inside of its frame.
RECT InsideOfFrame(POINT from, POINT to) {
    return {std::min(from.x, to.x) + 1, std::min(from.y, to.y) + 1, std::max(from.x, to.x) - 1,
            std::max(from.y, to.y) - 1};
}

// Ctrl and a letter, as the user types a command's shortcut.
void CtrlKey(WORD vk) {
    for (WORD key : {WORD(VK_CONTROL), vk}) {
        wt::Key(key);
        Rest(50);
    }
    Rest(150);
    for (WORD key : {vk, WORD(VK_CONTROL)}) {
        wt::Key(key, true);
        Rest(50);
    }
}

// Press, move in steps, rest past the poll, look (beforeRelease), release.
void Drag(POINT from, POINT to, DWORD restMs = kPastThePollMs, const std::function<void()>& beforeRelease = {}) {
    wt::MouseMove(from.x, from.y);
    Rest(kPastThePollMs);
    wt::MouseDown();
    Rest(150);
    constexpr int kSteps = 4;
    for (int i = 1; i <= kSteps; ++i) {
        wt::MouseMove(from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps);
        Rest(restMs ? 60 : 0);
    }
    // Even a quick release lets Wine settle the pointer after the last move
    // (seen once with SendInput moves: the release read the move before); 30 ms
    // keeps the drag well within one poll.
    Rest(restMs ? restMs : 30);
    if (beforeRelease)
        beforeRelease();
    wt::MouseUp();
}

void Click(POINT at) { Drag(at, at); }

class RegionCaptureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wt::MouseMove(700, 500);
        pattern_ = std::make_unique<PatternWindow>();
        ASSERT_TRUE(run_.PrepareQuiet());
    }
    void TearDown() override {
        run_.Kill();
        pattern_.reset();
    }

    int WindowCount() const {
        int n = 0;
        run_.FindWindowIf([&](HWND) { return ++n, false; });
        return n;
    }

    HWND Start() {
        HWND main = run_.Start();
        if (!main)
            return nullptr;
        // Wine brings the main dialog back over our topmost pattern whenever a
        // region window hands it the activation: it goes off the screen, clear
        // of every rectangle the tests choose, the whole screen included.
        SetWindowPos(main, nullptr, 1280, 1024, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        run_.WaitUntilIdle(main);
        RaisePattern();
        return main;
    }
    void Exit(HWND main) { EXPECT_EQ(run_.Exit(main), 0u); }

    void RaisePattern() {
        pattern_->Raise();
        // The compositor shows the repaint a little later; go on only once the screen does.
        const int v = pattern_->variant();
        EXPECT_TRUE(WaitFor([v] { return ScreenShowsPattern({640, 512}, v) && ScreenShowsPattern({900, 700}, v); }))
            << "the screen shows " << std::hex << ScreenPixel(640, 512);
    }

    // The full-screen region window (or its pointer window), when one is up.
    HWND RegionWindow() const {
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        return run_.FindWindowIf([&](HWND hWnd) {
            RECT r;
            return IsWindowVisible(hWnd) && GetWindowRect(hWnd, &r) && r.left == 0 && r.top == 0 && r.right == w &&
                   r.bottom == h;
        });
    }
    // Region windows and pointer windows up: one region session shows one or two.
    int FullScreenWindows() const {
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        int n = 0;
        run_.FindWindowIf([&](HWND hWnd) {
            RECT r;
            n += IsWindowVisible(hWnd) && GetWindowRect(hWnd, &r) && r.left == 0 && r.top == 0 && r.right == w &&
                 r.bottom == h;
            return false;
        });
        return n;
    }
    HWND InfoWindow() const {
        return run_.FindWindowIf([](HWND hWnd) {
            WCHAR title[32] = {};
            return IsWindowVisible(hWnd) && GetWindowTextW(hWnd, title, 32) && wcscmp(title, L"Pointer View") == 0;
        });
    }
    HWND Magnifier() const {
        return run_.FindWindowIf([](HWND hWnd) { return IsWindowVisible(hWnd) && GetDlgItem(hWnd, kMagnifierView); });
    }
    // The info window's "Region Size" line as ink and background (the window is
    // translucent over a screen that may change by a step under it).
    std::vector<bool> SizeReadout() const {
        HWND info = InfoWindow();
        RECT view = {};
        if (!info || !GetWindowRect(GetDlgItem(info, kPointerView), &view))
            return {};
        std::vector<bool> ink;
        for (COLORREF c : GrabScreen({view.left, view.bottom + 73, view.right, view.bottom + 91}))
            ink.push_back(GetGValue(c) > 128);
        return ink;
    }

    // The info window's pointer and colour lines as they show.
    std::vector<COLORREF> PointerReadout() const {
        HWND info = InfoWindow();
        RECT view = {};
        if (!info || !GetWindowRect(GetDlgItem(info, kPointerView), &view))
            return {};
        return GrabScreen({view.left, view.bottom + 5, view.right, view.bottom + 72});
    }

    // The readout once drawn and settled: text on it, the same twice a poll apart.
    std::vector<COLORREF> SettledPointerReadout() const {
        std::vector<COLORREF> readout;
        WaitFor([&] {
            readout = PointerReadout();
            Rest(kPastThePollMs);
            const bool inked =
                std::any_of(readout.begin(), readout.end(), [](COLORREF c) { return GetGValue(c) > 200; });
            return inked && SameText(readout, PointerReadout());
        });
        return readout;
    }

    // Opens a region capture with the pointer at `pointer` (the tracker starts there).
    bool Open(HWND main, UINT command, POINT pointer = {700, 500}) {
        wt::MouseMove(pointer.x, pointer.y);
        // The program may still see the pointer where it was for a moment; the
        // tracker opens where it sees it.
        Rest(kPastThePollMs);
        EXPECT_EQ(RegionWindow(), nullptr) << "a region window is up before the command";
        RaisePattern();
        if (!PostMessageW(main, WM_COMMAND, command, 0))
            return false;
        if (!WaitFor([&] { return RegionWindow() != nullptr; }))
            return false;
        // Its helpers come up with it; let them show before the mouse moves on.
        Rest(kPastThePollMs);
        return true;
    }
    bool WaitClosed() {
        return WaitFor([&] { return RegionWindow() == nullptr; });
    }
    // Opens a region capture over another program's window, the real pointer at `pointer`.
    bool OpenOver(const PatternHost& host, HWND main, UINT command, POINT pointer) {
        if (!XMove(pointer.x, pointer.y))
            return false;
        Rest(kPastThePollMs);
        host.Raise();
        if (!WaitFor([&] { return ScreenPixel(pointer.x, pointer.y) == PatternAt(pointer.x, pointer.y); }) ||
            !PostMessageW(main, WM_COMMAND, command, 0) || !WaitFor([&] { return RegionWindow() != nullptr; }))
            return false;
        Rest(kPastThePollMs);
        return true;
    }

    bool LoadWhenWritten(int n, CDibImage& image) const { return run_.LoadWhenWritten(run_.Numbered(n), image); }

    VeskRun run_{L"region-e2e"};
    std::unique_ptr<PatternWindow> pattern_;
};

TEST_F(RegionCaptureEndToEnd, ClickLineAndCloseBoxSaveNothingWhileAQuickDragAndTheTrackerSaveTheirRectangles) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);

    // Tracker 500, 400 - 600, 500; with its margin the region ends at 604, and
    // the close box spans 614 - 638 across, 396 - 420 down.
    ASSERT_TRUE(Open(main, kDynamicTrackerCommand, {500, 400}));
    Click({626, 408});
    EXPECT_TRUE(WaitClosed()) << "a release on the close box ends the window";

    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    Click({600, 450});
    EXPECT_TRUE(WaitClosed()) << "a click ends the window";

    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    Drag({600, 400}, {601, 600});
    EXPECT_TRUE(WaitClosed()) << "a one-pixel line ends the window";

    // Press, move and release within one poll of the pointer.
    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    const POINT from = {540, 420}, to = {700, 530};
    Drag(from, to, 0);
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(0, image));
    EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0));
    EXPECT_TRUE(WaitClosed());

    // The tracker opens at the pointer, 100 x 100; it is captured without its margin.
    ASSERT_TRUE(Open(main, kDynamicTrackerCommand, {500, 400}));
    Rest(kPastThePollMs);
    Drag({550, 450}, {600, 480});  // moved by (50, 30): 550, 430 - 650, 530
    // The size readout follows the handle while it is dragged, not after.
    const std::vector<bool> sizeBefore = SizeReadout();
    std::vector<bool> sizeDuring;
    Drag({652, 532}, {702, 562}, kPastThePollMs, [&] { sizeDuring = SizeReadout(); });  // 550, 430 - 700, 560
    Rest(kPastThePollMs);
    ASSERT_FALSE(sizeBefore.empty());
    EXPECT_NE(sizeDuring, sizeBefore);
    EXPECT_EQ(sizeDuring, SizeReadout());
    Click({300, 750});  // a release elsewhere captures
    ASSERT_TRUE(LoadWhenWritten(1, image));
    EXPECT_TRUE(ShowsPattern(image, RECT{550, 430, 700, 560}, 0));
    EXPECT_TRUE(WaitClosed());

    // A right click first: the drag after it shows its frame and saves what it framed.
    // The program in front, as when the user opens the capture from it.
    SetForegroundWindow(main);
    WaitFor([&] { return GetForegroundWindow() == main; });
    // X pointer events, as a hand gives them: SendInput's go straight to our
    // mouse capture and never met this fault.
    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    ASSERT_TRUE(XMove(650, 470));
    ASSERT_TRUE(XDo(L"click 3"));
    Rest(kPastThePollMs);
    const POINT start = {480, 360}, end = {690, 560};
    ASSERT_TRUE(XMove(start.x, start.y));
    Rest(kPastThePollMs);
    ASSERT_TRUE(XDo(L"mousedown 1"));
    Rest(150);
    ASSERT_TRUE(XSweep(start, end));
    Rest(kPastThePollMs);
    EXPECT_TRUE(WaitFor([&] { return !ScreenShowsPattern({(start.x + end.x) / 2, start.y}, 0); }))
        << "no frame during the drag";
    ASSERT_TRUE(XDo(L"mouseup 1"));
    ASSERT_TRUE(LoadWhenWritten(2, image));
    EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(start, end), 0));
    EXPECT_TRUE(WaitClosed());
    // None of the empty ones took a number.
    Exit(main);
    EXPECT_FALSE(Exists(run_.Numbered(3)));
}

TEST_F(RegionCaptureEndToEnd, TheLiveColourReadoutReadsLikeTheFrozenOne) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    // Pure red and a mid colour, each with channels on either side of the middle
    // (not 127 or 128: under the pointer window no paint tells those two apart).
    const POINT red = {700, 500}, mid = {900, 500};
    pattern_->FillRect({650, 440, 760, 560}, 0xFF0000);
    pattern_->FillRect({850, 440, 960, 560}, 0xA040C8);
    pattern_->Repaint();
    // The frozen capture reads its own copy of the screen: the texts to expect
    // ("RGB: 255, 0, 0", "Html: #FF0000", "Hexa: 0x00FF0000" and the mid colour's).
    ASSERT_TRUE(Open(main, kStaticMouseCommand, red));
    const std::vector<COLORREF> redText = SettledPointerReadout();
    wt::MouseMove(mid.x, mid.y);
    Rest(kPastThePollMs);
    const std::vector<COLORREF> midText = SettledPointerReadout();
    ASSERT_FALSE(redText.empty());
    ASSERT_FALSE(SameText(redText, midText));
    wt::KeyPress(VK_ESCAPE);
    ASSERT_TRUE(WaitClosed());

    // The live capture reads the same while the pointer window lies over the pixel.
    ASSERT_TRUE(Open(main, kDynamicMouseCommand, red));
    EXPECT_TRUE(WaitFor([&] { return SameText(PointerReadout(), redText); })) << "drag mode, pure red";
    wt::MouseMove(mid.x, mid.y);
    EXPECT_TRUE(WaitFor([&] { return SameText(PointerReadout(), midText); })) << "drag mode, mid colour";
    // With the button held the frame's corner is under the pointer: still the screen's colour.
    wt::MouseMove(600, 420);
    Rest(kPastThePollMs);
    wt::MouseDown();
    wt::MouseMove(red.x, red.y);
    Rest(kPastThePollMs);
    EXPECT_TRUE(SameText(SettledPointerReadout(), redText)) << "during a drag, pure red";
    wt::KeyPress(VK_ESCAPE);
    wt::MouseUp();
    ASSERT_TRUE(WaitClosed());
    // Tracker mode, away from the tracker (500, 400 - 600, 500).
    ASSERT_TRUE(Open(main, kDynamicTrackerCommand, {500, 400}));
    wt::MouseMove(red.x, red.y);
    EXPECT_TRUE(WaitFor([&] { return SameText(PointerReadout(), redText); })) << "tracker mode, pure red";
    wt::KeyPress(VK_ESCAPE);
    EXPECT_TRUE(WaitClosed());
    Exit(main);
}

TEST_F(RegionCaptureEndToEnd, ARegionCommandWhileOneIsOpenLeavesOneSession) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    // Whatever the two modes: the dynamic ones show a region and a pointer window, the frozen one its own.
    // The main window's shortcuts are its own: typed during a capture they start nothing. The
    // commands still come from the tray menu, posted as it posts them.
    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    CtrlKey('T');
    Rest(kPastThePollMs);
    EXPECT_EQ(FullScreenWindows(), 2);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kDynamicTrackerCommand, 0));
    Rest(kPastThePollMs);
    EXPECT_TRUE(WaitFor([&] { return FullScreenWindows() == 2; })) << FullScreenWindows();
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kStaticMouseCommand, 0));
    EXPECT_TRUE(WaitFor([&] { return FullScreenWindows() == 1; })) << FullScreenWindows();
    Rest(kPastThePollMs);
    // Frozen after the dynamic one went: nothing of it in the picture.
    const POINT from = {430, 330}, to = {690, 560};
    Drag(from, to);
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(0, image));
    EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0));
    EXPECT_TRUE(WaitClosed());

    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kDynamicMouseCommand, 0));
    Rest(kPastThePollMs);
    EXPECT_TRUE(WaitFor([&] { return FullScreenWindows() == 2; })) << FullScreenWindows();
    Drag(from, to);
    ASSERT_TRUE(LoadWhenWritten(1, image));
    EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0));
    EXPECT_TRUE(WaitClosed()) << "no region window stays after the capture";
    Exit(main);
}

// A path of the build tree as Wine sees it.
std::wstring WinePath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

// Another program's always-on-top window, for as long as the object lives.
class TopmostWindowProcess {
public:
    explicit TopmostWindowProcess(const RECT& r) {
        std::wstring exe = WinePath(VESK_TOPMOST_WINDOW);
        std::wstring cmd = L"\"" + exe + L"\" " + std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
                           std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            return;
        WaitForInputIdle(m_pi.hProcess, kPatienceMs);
        WaitFor([&] { return FindWindowW(L"VeskTopmostWindow", nullptr) != nullptr; });
    }
    ~TopmostWindowProcess() {
        if (!m_pi.hProcess)
            return;
        TerminateProcess(m_pi.hProcess, 0);
        WaitForSingleObject(m_pi.hProcess, kPatienceMs);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    bool IsUp() const { return FindWindowW(L"VeskTopmostWindow", nullptr) != nullptr; }
    // Over the pattern, and the active window as when the user last clicked it.
    void Raise() const {
        HWND hWnd = FindWindowW(L"VeskTopmostWindow", nullptr);
        SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(hWnd);
        WaitFor([&] { return ScreenPixel(100, 780) == RGB(20, 140, 60); });
    }

private:
    PROCESS_INFORMATION m_pi = {};
};

TEST_F(RegionCaptureEndToEnd, StaticCapturesShowThePictureFrozenAtOpening) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const TopmostWindowProcess onTop({40, 700, 240, 860});
    ASSERT_TRUE(onTop.IsUp());
    wt::MouseMove(700, 500);
    RaisePattern();
    onTop.Raise();
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kStaticMouseCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return RegionWindow() != nullptr; })) << "no region window";
    Rest(kPastThePollMs);
    // The info window shows over the frozen picture, not under it.
    HWND info = InfoWindow();
    ASSERT_NE(info, nullptr);
    RECT infoRect = {};
    GetWindowRect(info, &infoRect);
    const POINT infoCentre = {(infoRect.left + infoRect.right) / 2, (infoRect.top + infoRect.bottom) / 2};
    EXPECT_TRUE(WaitFor([&] { return !ScreenShowsPattern(infoCentre, 0); })) << "no info window over the pattern";
    pattern_->Fill(1);
    pattern_->Repaint();
    // The helpers stay above the frozen picture for the whole drag, also beside
    // the pattern, another program's topmost window.
    const POINT from = {600, 420}, to = {455, 590};
    Drag(from, to, kPastThePollMs, [&] {
        for (HWND helper : {InfoWindow(), Magnifier()}) {
            RECT r = {};
            EXPECT_TRUE(helper && GetWindowRect(helper, &r)) << "a helper is hidden";
            const POINT inside = {r.left + 10, r.bottom - 10};
            EXPECT_FALSE(helper && ScreenShowsPattern(inside, 0)) << "a helper is under the frozen picture";
        }
    });
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(0, image));
    EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0));
    EXPECT_TRUE(WaitClosed());

    // The tracker over the new picture, moved while the refresh thread repaints.
    ASSERT_TRUE(Open(main, kStaticTrackerCommand, {500, 400}));
    Drag({550, 450}, {600, 480});
    Click({300, 750});
    ASSERT_TRUE(LoadWhenWritten(1, image));
    EXPECT_TRUE(ShowsPattern(image, RECT{550, 430, 650, 530}, 1));
    EXPECT_TRUE(WaitClosed());
    Exit(main);
}

// A tracker at 5, 5 moved up-left past the edges, its handle to the corner, a move by one, a quick double-click.
const wchar_t kWholeScreenTracker[] = L"mousemove 55 55 sleep 0.3 mousedown 1 mousemove 0 0 mouseup 1 sleep 0.3 "
    L"mousemove 50 50 sleep 0.3 mousedown 1 mousemove 1279 1023 mouseup 1 sleep 0.3 mousemove 640 512 sleep 0.3 "
    L"mousedown 1 mousemove 641 513 mouseup 1 sleep 0.3 mousemove 700 600 click --repeat 2 --delay 10 1";

// One xdotool run: to `from`, press, `moves` moves `pauseMs` apart, release, at once to `then`.
std::wstring XDragScript(POINT from, POINT to, int moves, int pauseMs, const POINT* then = nullptr) {
    const std::wstring pause = pauseMs ? L" sleep " + std::to_wstring(pauseMs / 1000.0) : L"";
    auto at = [](POINT p) { return L" mousemove " + std::to_wstring(p.x) + L" " + std::to_wstring(p.y); };
    std::wstring script = at(from) + L" mousedown 1";
    for (int i = 1; i <= moves; ++i)
        script += pause + at({from.x + (to.x - from.x) * i / moves, from.y + (to.y - from.y) * i / moves});
    return script + L" mouseup 1" + (then ? at(*then) : L"");
}

// Press, move and release in one SendInput call: all are queued before the
// program reads one (xdotool's, read as they come, never are). With `after`, a
// move there follows the release in the same call.
void SendDragAtOnce(POINT to, const POINT* after = nullptr) {
    const DWORD move = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    const DWORD flags[4] = {MOUSEEVENTF_LEFTDOWN, move, MOUSEEVENTF_LEFTUP, move};
    INPUT in[4] = {};
    for (int i = 0; i < 4; ++i) {
        const POINT p = i == 3 && after ? *after : to;
        in[i].type = INPUT_MOUSE;
        in[i].mi.dwFlags = flags[i];
        in[i].mi.dx = (p.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);  // read with ABSOLUTE only
        in[i].mi.dy = (p.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    }
    SendInput(after ? 4 : 3, in, sizeof(INPUT));
}

TEST_F(RegionCaptureEndToEnd, OverAnotherProgramDragsAtAnySpeedSaveItExactlyAndCancelsKeepEveryRelease) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    PatternHost host;
    ASSERT_TRUE(host.Start({0, 0, 1280, 1024}));
    // Escape or the right button in the middle of a drag, in every order its
    // messages may take: nothing saved, nothing of ours left, no button message
    // at the other program and the main window in front again. Each session is
    // the next drag after the last one's cancel.
    struct {
        const char* how;
        const wchar_t* cancel;   // null: Escape
        const wchar_t* release;  // once the cancel shows; null: the cancel released the left as well
        const wchar_t* press = L"mousedown 1";
        POINT at = {};  // pressed there without a sweep; none: the tracker's handle or the drag's start
    } const kCancels[] = {
        {"Escape", nullptr, L"mouseup 1"},
        {"right click", L"click 3", L"mouseup 1"},
        {"right click and release in one batch", L"mousedown 3 mouseup 3 mouseup 1", nullptr},
        {"right press just before the release", L"mousedown 3 mouseup 1 sleep 0.2 mouseup 3", nullptr},
        {"release, then the right 0.2 s later", L"mousedown 3", L"mouseup 1 sleep 0.2 mouseup 3"},
        {"right held in the tracker, Escape", nullptr, L"mouseup 3", L"mousedown 3", {350, 300}},
        {"right press after a left one outside the tracker", L"mousedown 3", L"mouseup 1 sleep 0.2 mouseup 3",
         L"mousedown 1", {200, 150}},
        {"right held at 20, 20, Escape, a left click on the tracker, also for the pixel kept there", nullptr,
         L"mousemove 350 300 click 1 sleep 0.2 mousemove 380 330 mouseup 3", L"mousedown 3", {20, 20}},
    };
    int cancelsSaved = 0;  // each row finds only what it saved itself
    for (UINT command : {kDynamicMouseCommand, kStaticMouseCommand, kDynamicTrackerCommand, kStaticTrackerCommand})
        for (const auto& c : kCancels) {
            SCOPED_TRACE(std::to_string(command) + ", " + c.how);
            const bool tracker = command == kDynamicTrackerCommand || command == kStaticTrackerCommand;
            SetForegroundWindow(main);  // as when the user opens the capture from it
            ASSERT_TRUE(OpenOver(host, main, command, {300, 250}));
            const int messagesBefore = host.ButtonMessages();
            // The tracker opens at 300, 250 - 400, 350: its bottom-right handle is dragged.
            const POINT press = c.at.x ? c.at : tracker ? POINT{402, 352} : POINT{300, 250};
            ASSERT_TRUE(XMove(press.x, press.y));
            Rest(kPastThePollMs);
            ASSERT_TRUE(XDo(c.press));
            Rest(150);
            ASSERT_TRUE(c.at.x || XSweep(press, {520, 430}));
            Rest(kPastThePollMs);
            if (c.cancel)
                ASSERT_TRUE(XDo(c.cancel));
            else
                wt::KeyPress(VK_ESCAPE);
            if (c.release) {
                // A tracker stays until its loop ends at the release.
                if (!tracker)
                    EXPECT_TRUE(WaitFor([&] { return !RegionWindow() && !InfoWindow(); })) << "the cancel shows";
                Rest(150);
                ASSERT_TRUE(XDo(c.release));
            }
            EXPECT_TRUE(WaitFor([&] {
                return !run_.FindWindowIf([&](HWND h) { return h != main && IsWindowVisible(h); });
            })) << "a window of ours stays";
            EXPECT_EQ(host.ButtonMessages() - messagesBefore, 0);
            EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; })) << GetForegroundWindow();
            const bool savedOne = Exists(run_.Numbered(cancelsSaved));
            EXPECT_FALSE(savedOne);
            cancelsSaved += savedOne;
        }

    // Releases right after the last move, several times each.
    struct {
        const char* how;
        int moves, pauseMs;  // moves 0: a slow sweep, each jump seen before the next; < 0: SendDragAtOnce
        bool cursor = false;     // from this row on with the cursor option on, as it is by default
        bool rightHeld = false;  // from before the press until after the release
        bool into = false;       // the pointer into the region right after the release
        bool frozen = false;     // pressed right after a move onto the magnifier, 20 px off the pointer
    } const kDrags[] = {
        {"slow drag", 0, 0}, {"slow drag", 0, 0}, {"slow drag", 0, 0},
        {"4 moves 60 ms apart", 4, 60}, {"4 moves 60 ms apart", 4, 60}, {"4 moves 60 ms apart", 4, 60},
        {"8 moves 20 ms apart", 8, 20}, {"2 moves 20 ms apart", 2, 20}, {"no pause", 1, 0}, {"queued at once", -1, 0},
        {"a move queued after the release", -2, 0}, {"whole", -3, 0}, {"whole", -3, 0}, {"whole", -3, 0},
        {"4 moves 60 ms apart, the right button held", 4, 60, false, true},
        {"4 moves 60 ms apart, cursor option on", 4, 60, true}, {"moved into it at once", 1, 0, false, false, true},
        {"frozen, pressed at once", 1, 0, false, false, false, true},
    };
    int saved = cancelsSaved;
    for (const auto& drag : kDrags) {
        if (drag.cursor) {
            Exit(main);
            profile::WriteValue(profile::kMiscSection, L"MouseCursor", 1, run_.ini().c_str());
            ASSERT_NE(main = Start(), nullptr);
        }
        const bool whole = drag.moves == -3;
        const POINT from = whole ? POINT{5, 5} : POINT{107 + 37 * saved, 95 + 23 * saved};
        const POINT to = {from.x + 196 + 11 * saved, from.y + 159};
        const UINT command = whole ? kDynamicTrackerCommand : drag.frozen ? kStaticMouseCommand : kDynamicMouseCommand;
        ASSERT_TRUE(OpenOver(host, main, command, drag.frozen ? POINT{from.x - 40, from.y - 40} : from)) << drag.how;
        const int messagesBefore = host.ButtonMessages();
        const POINT beyond = drag.into ? POINT{(from.x + to.x) / 2, (from.y + to.y) / 2} : POINT{to.x + 60, to.y + 40};
        if (whole)
            ASSERT_TRUE(XDo(kWholeScreenTracker));
        else if (drag.moves < 0)
            SendDragAtOnce(to, drag.moves == -2 ? &beyond : nullptr);
        else if (drag.moves) {
            const std::wstring script = XDragScript(from, to, drag.moves, drag.pauseMs, drag.into ? &beyond : nullptr);
            ASSERT_TRUE(XDo(drag.rightHeld ? L"mousedown 3 " + script + L" sleep 0.2 mouseup 3" : script));
        } else
            ASSERT_TRUE(XDo(L"mousedown 1") && XSweep(from, to) && XDo(L"mouseup 1"));
        CDibImage image;
        ASSERT_TRUE(LoadWhenWritten(saved++, image)) << drag.how << ": nothing saved";
        EXPECT_EQ(WrongPixels(image, PatternOver(whole ? RECT{0, 0, 1280, 1024} : InsideOfFrame(from, to))), 0)
            << drag.how << ", " << image.GetWidth() << " x " << image.GetHeight();
        EXPECT_TRUE(WaitClosed());
        EXPECT_EQ(host.ButtonMessages() - messagesBefore, 0) << drag.how;
    }

    // A quick drag on the tracker moves it (500, 400 - 600, 500 by (50, 30)); it is no click outside.
    ASSERT_TRUE(OpenOver(host, main, kDynamicTrackerCommand, {500, 400}));
    ASSERT_TRUE(XMove(700, 650));
    Rest(kPastThePollMs);
    ASSERT_TRUE(XDo(L"mousemove 550 450 mousedown 1 mousemove 600 480 mouseup 1"));
    Rest(kPastThePollMs);
    ASSERT_NE(RegionWindow(), nullptr) << "the quick drag ended the window";
    ASSERT_TRUE(XMove(300, 750));
    Rest(kPastThePollMs);
    ASSERT_TRUE(XClick());
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(saved, image));
    EXPECT_EQ(WrongPixels(image, PatternOver({550, 430, 650, 530})), 0);
    EXPECT_TRUE(WaitClosed());
    Exit(main);
    EXPECT_FALSE(Exists(run_.Numbered(saved + 1)));
}

TEST_F(RegionCaptureEndToEnd, KeptWindowTakesCapturesUntilEscapeAndLeavesNothingBehind) {
    profile::WriteValue(profile::kMiscSection, L"KeepEffect", 1, run_.ini().c_str());
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const DWORD pid = GetProcessId(run_.process());
    const int windowsBefore = WindowCount();
    const int threadsBefore = ThreadsOf(pid);

    ASSERT_TRUE(Open(main, kDynamicMouseCommand));
    // Up-left, up-right and down-left drags, then quick ones released at once, all to the pixel.
    const POINT a = {520, 380}, b = {761, 553};
    const POINT drags[][2] = {{b, a}, {{a.x, b.y}, {b.x, a.y}}, {{b.x, a.y}, {a.x, b.y}}};
    for (int n = 0; n < 8; ++n) {
        const POINT from = n < 3 ? drags[n][0] : POINT{500 + 3 * n, 380 + 2 * n};
        const POINT to = n < 3 ? drags[n][1] : POINT{640 + 5 * n, 500 + n};
        Drag(from, to, n < 3 ? kPastThePollMs : 0);
        CDibImage image;
        ASSERT_TRUE(LoadWhenWritten(n, image)) << "capture " << n;
        EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0)) << "capture " << n;
        ASSERT_NE(RegionWindow(), nullptr) << "the window stays after capture " << n;
    }
    wt::KeyPress(VK_ESCAPE);
    EXPECT_TRUE(WaitClosed());
    EXPECT_TRUE(WaitFor([&] { return WindowCount() == windowsBefore; }))
        << WindowCount() << " windows, " << windowsBefore << " before";
    EXPECT_TRUE(WaitFor([&] { return ThreadsOf(pid) == threadsBefore; }))
        << ThreadsOf(pid) << " threads, " << threadsBefore << " before";
    Exit(main);
}

// What shows on black beside the tracker's black outline and in the second row
// of the cross's 2-pixel lines: the top bit of every channel flipped, on the
// live window's key colour (under the cross's inverting pen) or on the frozen picture.
constexpr COLORREF kLiveEdge = RGB(0xEF ^ 0x80, 0xEE ^ 0x80, 0xE3 ^ 0x80);
constexpr COLORREF kLiveCrossLight = RGB(0x10 ^ 0x80, 0x11 ^ 0x80, 0x1C ^ 0x80);
constexpr COLORREF kFrozenOnBlack = RGB(128, 128, 128);

// A region command and whether it captures over the live screen.
struct Mode {
    UINT command;
    bool live;
};

TEST_F(RegionCaptureEndToEnd, TrackersShowOnBlackAndStayOnTheScreen) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    // Clear of the points where the pattern is checked (640, 512 and 900, 700).
    pattern_->FillRect({420, 320, 630, 530}, 0);
    pattern_->Repaint();
    const Mode modes[] = {{kDynamicTrackerCommand, true}, {kStaticTrackerCommand, false}};
    int saved = 0;
    auto clickOutside = [] {
        ASSERT_TRUE(XMove(700, 500));
        Rest(kPastThePollMs);
        ASSERT_TRUE(XClick());
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(m.live ? "live" : "frozen");
        // Tracker 500, 400 - 600, 500 over black: its outline shows, between the handles.
        ASSERT_TRUE(Open(main, m.command, {500, 400}));
        const COLORREF edge = m.live ? kLiveEdge : kFrozenOnBlack;
        EXPECT_TRUE(WaitFor([&] {
            return ScreenShows({498, 420}, edge, m.live) && ScreenShows({530, 501}, edge, m.live);
        }))
            << "outline on black: " << std::hex << ScreenPixel(498, 420) << " " << ScreenPixel(530, 501);

        wt::KeyPress(VK_ESCAPE);
        EXPECT_TRUE(WaitClosed());

        // Beside the right edge the tracker opens on the screen with its close
        // box: 1142, 20 - 1242, 120.
        ASSERT_TRUE(Open(main, m.command, {1230, 20}));
        // Clicked outside once the pointer window has the mouse back, at the next poll.
        clickOutside();
        CDibImage image;
        ASSERT_TRUE(LoadWhenWritten(saved++, image));
        EXPECT_TRUE(ShowsPattern(image, RECT{1142, 20, 1242, 120}, 0));
        EXPECT_TRUE(WaitClosed());
        // Moved 80 past the edge, it saves only what lies on the screen.
        ASSERT_TRUE(Open(main, m.command, {1230, 20}));
        Drag({1190, 70}, {1270, 70});
        clickOutside();
        ASSERT_TRUE(LoadWhenWritten(saved++, image));
        EXPECT_TRUE(ShowsPattern(image, RECT{1222, 20, 1280, 120}, 0));
        EXPECT_TRUE(WaitClosed());
    }
    Exit(main);
    EXPECT_FALSE(Exists(run_.Numbered(saved)));
}

TEST_F(RegionCaptureEndToEnd, DragsShowTheirCrossOnBlackAndTheFrozenOneStartsUnderTheInfoWindowReadingWhatItSaves) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    pattern_->FillRect({250, 600, 560, 900}, 0);
    pattern_->Repaint();
    const Mode modes[] = {{kDynamicMouseCommand, true}, {kStaticMouseCommand, false}};
    const POINT rest = {400, 750}, from = {100, 100}, to = {300, 250};
    std::vector<bool> sizes[2];
    for (int i = 0; i < 2; ++i) {
        const auto& m = modes[i];
        SCOPED_TRACE(m.live ? "live" : "frozen");
        // The cross through the pointer shows on black: the second row and
        // column of its lines.
        ASSERT_TRUE(Open(main, m.command, rest));
        const COLORREF light = m.live ? kLiveCrossLight : kFrozenOnBlack;
        EXPECT_TRUE(WaitFor([&] {
            return ScreenShows({rest.x - 100, rest.y}, light, m.live) &&
                   ScreenShows({rest.x, rest.y - 100}, light, m.live);
        })) << "cross on black: " << std::hex << ScreenPixel(rest.x - 100, rest.y);

        // Pressed the moment the pointer reaches the info window at the top-left:
        // the press is the drag's, not the info window's.
        ASSERT_TRUE(XDo(L"mousemove 100 100 mousedown 1"));
        Rest(150);
        ASSERT_TRUE(XSweep(from, to));
        Rest(kPastThePollMs);
        WaitFor([&] {
            sizes[i] = SizeReadout();
            Rest(kPastThePollMs);
            return !sizes[i].empty() && sizes[i] == SizeReadout();
        });
        ASSERT_TRUE(XDo(L"mouseup 1"));
        CDibImage image;
        ASSERT_TRUE(LoadWhenWritten(i, image));
        EXPECT_TRUE(ShowsPattern(image, InsideOfFrame(from, to), 0));
        EXPECT_TRUE(WaitClosed());
    }
    // The frozen readout shows the size saved (198 x 148), as the live one does.
    ASSERT_FALSE(sizes[0].empty());
    EXPECT_TRUE(sizes[1] == sizes[0]) << "the frozen readout differs from the live one";
    Exit(main);
}

}  // namespace
