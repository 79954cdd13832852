// The control finder of vesk.exe under the real mouse: a window of ours with a
// button, command 32786 posted to the main dialog, the pointer moved and
// clicked with SendInput, and what lands on the screen and in the capture
// folder checked. The frame blinks every 200 ms, so each check waits for the
// state it needs (bounded) instead of counting time.
#include "WidgetTestUtil.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace vesk_test;

constexpr UINT kControlCommand = 32786;
constexpr COLORREF kHostColour = RGB(12, 200, 34);
// Clear of the main dialog, which comes back to the front when the finder ends.
constexpr RECT kHostRect = {40, 40, 260, 170};
constexpr RECT kButtonClient = {20, 30, 180, 90};
constexpr RECT kButtonRect = {60, 70, 220, 130};
constexpr int kFrameReach = 3;  // the 4-pixel pen straddles the outline

RECT Inflated(RECT r, int d) { return {r.left - d, r.top - d, r.right + d, r.bottom + d}; }

// Pixels of a rectangle of the screen that differ from a reference grab.
int Differences(const RECT& r, const std::vector<COLORREF>& reference) {
    const std::vector<COLORREF> now = GrabScreen(r);
    int n = 0;
    for (size_t i = 0; i < now.size(); ++i)
        n += now[i] != reference[i];
    return n;
}

class FinderEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wt::MouseAway();
        ASSERT_TRUE(run_.PrepareQuiet());
        CreateWindows();
    }
    void TearDown() override {
        run_.Kill();
        hostWindow_.Destroy();
        wt::MouseAway();
    }

    // The button draws itself the same whatever its state (focus would
    // change a system button's look): bands of colour, all its own pixels.
    static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DRAWITEM) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            PaintBands(item->hDC, item->rcItem);
            return TRUE;
        }
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
    void CreateWindows() {
        host_ = hostWindow_.Create(L"VeskFinderHost", L"host", HostProc, kHostColour, kHostRect,
                                   WS_POPUP | WS_CLIPCHILDREN);
        button_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, kButtonClient.left,
                                  kButtonClient.top, kButtonClient.right - kButtonClient.left,
                                  kButtonClient.bottom - kButtonClient.top, host_, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    }

    HWND Start() {
        HWND main = run_.Start();
        if (main) {
            RECT mainRect = {}, overlap = {};
            GetWindowRect(main, &mainRect);
            EXPECT_FALSE(IntersectRect(&overlap, &mainRect, &kHostRect)) << "the main dialog sits over the test window";
            // Our window above the dialog that just showed, without taking the focus.
            SetWindowPos(host_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
            wt::Settle(host_);
            // The compositor shows the repaint a little later; grab references only once it does.
            WaitFor([] {
                return ScreenPixel(kHostRect.left + 2, kHostRect.top + 2) == kHostColour &&
                       ScreenPixel(kButtonRect.left + 2, kButtonRect.top + 2) == RGB(0, 255, 90);
            });
        }
        return main;
    }
    void Exit(HWND main) { EXPECT_EQ(run_.Exit(main), 0u); }
    // The 3 x 3 (or 1 x 1) window that follows the pointer.
    bool FinderShowing() const {
        return run_.FindWindowIf([](HWND hWnd) {
            RECT r = {};
            GetWindowRect(hWnd, &r);
            return IsWindowVisible(hWnd) && r.right - r.left <= 3 && r.bottom - r.top <= 3;
        }) != nullptr;
    }
    std::wstring Numbered(int n) const { return run_.Numbered(n); }
    bool LoadWhenWritten(const std::wstring& path, CDibImage& image) const { return run_.LoadWhenWritten(path, image); }
    // The pixels just inside and just outside the left edge of a window,
    // taken before the finder runs.
    struct Edge {
        explicit Edge(const RECT& rect)
            : r(rect), y((rect.top + rect.bottom) / 2), inside(ScreenPixel(r.left, y)),
              outside(ScreenPixel(r.left - 1, y)) {}
        RECT r;
        int y;
        COLORREF inside, outside;
    };
    // Waits until the blinking frame shows on the edge: both pixels change.
    static bool WaitForFrameOn(const Edge& e) {
        return WaitFor([&] { return ScreenPixel(e.r.left, e.y) != e.inside && ScreenPixel(e.r.left - 1, e.y) != e.outside; });
    }
    // Pointing 6 pixels inside the button: the finder samples 2 pixels up and left of the pointer.
    static POINT InButton() { return {kButtonRect.left + 6, kButtonRect.top + 6}; }

    VeskRun run_{L"finder-e2e"};
    TestWindow hostWindow_;
    HWND host_ = nullptr, button_ = nullptr;
};

TEST_F(FinderEndToEnd, ClickCapturesTheButtonExactlyAndNoFrameIsLeft) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const RECT hostArea = Inflated(kButtonRect, kFrameReach);
    const std::vector<COLORREF> button = GrabScreen(kButtonRect), host = GrabScreen(hostArea);
    const Edge buttonEdge(kButtonRect), hostEdge(kHostRect);

    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return FinderShowing(); }));
    wt::MouseMove(InButton().x, InButton().y);
    ASSERT_TRUE(WaitForFrameOn(buttonEdge)) << "the button never blinked";

    // Once the window around the button blinks, the button's frame is gone and its pixels are back.
    wt::MouseMove(kHostRect.left + 10, kHostRect.top + 10);
    ASSERT_TRUE(WaitForFrameOn(hostEdge)) << "the window around the button never blinked";
    EXPECT_EQ(0, Differences(hostArea, host));

    wt::MouseMove(InButton().x, InButton().y);
    ASSERT_TRUE(WaitForFrameOn(buttonEdge));
    wt::MouseDown();
    wt::MouseUp();
    ASSERT_TRUE(WaitFor([&] { return !FinderShowing(); }));

    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0), image));
    ASSERT_EQ(image.GetWidth(), DWORD(kButtonRect.right - kButtonRect.left));
    ASSERT_EQ(image.GetHeight(), DWORD(kButtonRect.bottom - kButtonRect.top));
    EXPECT_EQ(0, WrongPixels(image, button)) << "pixels of the capture that differ from the button";
    wt::MouseAway();
    EXPECT_EQ(0, Differences(hostArea, host));
    Exit(main);
}

TEST_F(FinderEndToEnd, EscapeEndsWithoutAFileAndWithoutAFrame) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const RECT hostArea = Inflated(kButtonRect, kFrameReach);
    const std::vector<COLORREF> host = GrabScreen(hostArea);
    const Edge buttonEdge(kButtonRect);

    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kControlCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return FinderShowing(); }));
    wt::MouseMove(InButton().x, InButton().y);
    ASSERT_TRUE(WaitForFrameOn(buttonEdge));
    wt::KeyPress(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !FinderShowing(); }));
    wt::MouseAway();
    EXPECT_EQ(0, Differences(hostArea, host));

    // Escape took no number: the next capture is the first file.
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0), image));
    EXPECT_EQ(image.GetWidth(), DWORD(GetSystemMetrics(SM_CXSCREEN)));
    Exit(main);
    EXPECT_FALSE(Exists(Numbered(1)));
}

}  // namespace
