// The eyedropper under the real mouse: it stays centred on the pointer, the
// first click ends it with IDOK without reaching the window below, and the
// picked point and colour are those of the click; Escape or a lost mouse cancel.
#include "WidgetTestUtil.h"
#include "app/finder/SpoideWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr COLORREF kBelowColour = RGB(200, 30, 90);
constexpr UINT WM_TEST_TAKE_MOUSE = WM_APP + 50;  // another window of the eyedropper's thread takes the mouse

// Polls pred on this thread (which runs no windows) until it holds; a hang guard, not a measurement.
bool WaitFor(const std::function<bool()>& pred) {
    for (const DWORD start = ::GetTickCount(); !pred(); ::Sleep(20))
        if (::GetTickCount() - start > 10000)
            return false;
    return true;
}

// A window of a known colour that counts the presses reaching it.
class BelowWindow {
public:
    BelowWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = m_brush;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskSpoideBelow";
        ::RegisterClassW(&wc);
        s_presses = 0;
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"below", WS_POPUP | WS_VISIBLE, 300, 200, 220,
                                   180, nullptr, nullptr, wc.hInstance, nullptr);
        wt::Settle(m_hWnd);
    }
    ~BelowWindow() {
        ::DestroyWindow(m_hWnd);
        ::UnregisterClassW(L"VeskSpoideBelow", ::GetModuleHandleW(nullptr));
        ::DeleteObject(m_brush);
    }
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        s_presses += message == WM_LBUTTONDOWN;
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    HWND m_hWnd = nullptr;
    HBRUSH m_brush = ::CreateSolidBrush(kBelowColour);
    static inline int s_presses = 0;
};

class CTestSpoide : public CSpoideWnd {
public:
    BOOL OnInitDialog() override {
        const BOOL result = CSpoideWnd::OnInitDialog();
        window = m_hWnd;
        return result;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message != WM_TEST_TAKE_MOUSE)
            return CSpoideWnd::PreTranslateMessage(pMsg);
        ::SetCapture(reinterpret_cast<HWND>(pMsg->wParam));
        return TRUE;
    }
    std::atomic<HWND> window{nullptr};
};

// Runs the eyedropper modally here while `script` drives the input from a
// helper thread once it shows. A dialog the script failed to end is cancelled
// and reported as such, so a fault fails the test instead of hanging it.
INT_PTR RunEyedropper(CTestSpoide& spoide, const std::function<void(HWND)>& script) {
    std::atomic<bool> ended{false}, rescued{false};
    std::thread input([&] {
        if (WaitFor([&] { return spoide.window.load() && ::IsWindowVisible(spoide.window.load()); }))
            script(spoide.window.load());
        if (!WaitFor([&] { return ended.load(); })) {
            rescued = true;
            ::PostMessageW(spoide.window.load(), WM_COMMAND, IDCANCEL, 0);
        }
    });
    const INT_PTR result = spoide.DoModal();
    ended = true;
    input.join();
    EXPECT_FALSE(rescued.load()) << "the eyedropper did not end by itself";
    return result;
}

bool CentredOn(HWND hWnd, POINT p) {
    RECT r = {};
    ::GetWindowRect(hWnd, &r);
    return r.left == p.x - 10 && r.top == p.y - 10 && r.right == p.x + 10 && r.bottom == p.y + 10;
}

TEST(SpoideWnd, FollowsThePointerAndTheFirstClickPicksWithoutReachingTheWindowBelow) {
    BelowWindow below;
    wt::MouseMove(400, 260);
    const POINT path[] = {{400, 260}, {470, 300}, {420, 290}};  // from the start, not only after a move
    int centred = 0;
    HCURSOR shown = nullptr;
    CTestSpoide spoide;
    const INT_PTR result = RunEyedropper(spoide, [&](HWND hWnd) {
        CURSORINFO info = {};
        info.cbSize = sizeof info;
        if (::GetCursorInfo(&info))
            shown = info.hCursor;
        for (const POINT& p : path) {
            wt::MouseMove(p.x, p.y);
            centred += WaitFor([&] { return CentredOn(hWnd, p); });
        }
        wt::MouseDown();
        wt::MouseUp();
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(int(std::size(path)), centred) << "not centred on the pointer at every step";
    EXPECT_EQ(CPoint(420, 290), spoide.GetPickedPoint());
    EXPECT_EQ(::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(CSpoideWnd::kCursorId)), shown);
    EXPECT_TRUE(wt::PumpUntil([&] { return spoide.GetPickedColor() == kBelowColour; }));
    wt::Settle();
    EXPECT_EQ(0, BelowWindow::s_presses);
}

TEST(SpoideWnd, EscapeOrLosingTheMouseCancels) {
    BelowWindow below;
    const std::function<void(HWND)> cancels[] = {
        [](HWND) { wt::KeyPress(VK_ESCAPE); },
        [&](HWND hWnd) { ::PostMessageW(hWnd, WM_TEST_TAKE_MOUSE, reinterpret_cast<WPARAM>(below.m_hWnd), 0); },
    };
    for (const auto& cancel : cancels) {
        wt::MouseMove(400, 260);
        CTestSpoide spoide;
        EXPECT_EQ(IDCANCEL, RunEyedropper(spoide, [&](HWND hWnd) {
                      wt::MouseMove(380, 250);
                      cancel(hWnd);
                  })) << (&cancel == cancels ? "escape" : "mouse taken");
        ::ReleaseCapture();
    }
    wt::Settle();
    EXPECT_EQ(0, BelowWindow::s_presses);
}

}  // namespace
