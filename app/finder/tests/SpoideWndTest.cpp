// The eyedropper under the real mouse: it stays centred on the pointer, the
// first click ends it with IDOK without reaching the window below, and the
// picked point and colour are those of the click.
#include "WidgetTestUtil.h"
#include "app/finder/SpoideWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr COLORREF kBelowColour = RGB(200, 30, 90);
constexpr RECT kBelowRect = {300, 200, 520, 380};
constexpr DWORD kPatienceMs = 10000;  // a hang guard, not a measurement

// Polls pred on this thread (which runs no windows) until it holds.
bool WaitFor(const std::function<bool()>& pred) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > kPatienceMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

// A window of a known colour that counts the presses reaching it.
class BelowWindow {
public:
    HWND Get() const { return m_hWnd; }
    BelowWindow() {
        m_brush = ::CreateSolidBrush(kBelowColour);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = m_brush;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskSpoideBelow";
        ::RegisterClassW(&wc);
        s_presses = 0;
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"below", WS_POPUP | WS_VISIBLE, kBelowRect.left,
                                   kBelowRect.top, kBelowRect.right - kBelowRect.left,
                                   kBelowRect.bottom - kBelowRect.top, nullptr, nullptr, wc.hInstance, nullptr);
        wt::Settle(m_hWnd);
    }
    ~BelowWindow() {
        ::DestroyWindow(m_hWnd);
        ::UnregisterClassW(L"VeskSpoideBelow", ::GetModuleHandleW(nullptr));
        ::DeleteObject(m_brush);
    }
    static int Presses() { return s_presses; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_LBUTTONDOWN)
            ++s_presses;
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    static inline int s_presses = 0;
    HWND m_hWnd = nullptr;
    HBRUSH m_brush = nullptr;
};

// Posted to the eyedropper: another window of its thread takes the mouse.
constexpr UINT WM_TEST_TAKE_MOUSE = WM_APP + 50;

class CTestSpoide : public CSpoideWnd {
public:
    BOOL OnInitDialog() override {
        const BOOL result = CSpoideWnd::OnInitDialog();
        window = m_hWnd;
        return result;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_TEST_TAKE_MOUSE) {
            ::SetCapture(reinterpret_cast<HWND>(pMsg->wParam));
            return TRUE;
        }
        return CSpoideWnd::PreTranslateMessage(pMsg);
    }
    std::atomic<HWND> window{nullptr};
};

// Runs the eyedropper modally here while `script` drives the input from a
// helper thread once it shows. A dialog the script failed to end is cancelled
// and reported as such, so a fault fails the test instead of hanging it.
INT_PTR RunEyedropper(CTestSpoide& spoide, const std::function<void(HWND)>& script) {
    std::atomic<bool> ended{false};
    std::atomic<bool> rescued{false};
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
    const POINT path[] = {{340, 230}, {470, 300}, {330, 360}, {420, 290}};
    std::vector<bool> centred;
    HCURSOR shown = nullptr;
    CTestSpoide spoide;
    const INT_PTR result = RunEyedropper(spoide, [&](HWND hWnd) {
        centred.push_back(CentredOn(hWnd, {400, 260}));
        CURSORINFO info = {};
        info.cbSize = sizeof info;
        if (::GetCursorInfo(&info))
            shown = info.hCursor;
        for (const POINT& p : path) {
            wt::MouseMove(p.x, p.y);
            centred.push_back(WaitFor([&] { return CentredOn(hWnd, p); }));
        }
        wt::MouseDown();
        wt::MouseUp();
    });
    EXPECT_EQ(IDOK, result);
    ASSERT_EQ(std::size(path) + 1, centred.size());
    for (size_t i = 0; i < centred.size(); ++i)
        EXPECT_TRUE(centred[i]) << "not centred on the pointer at step " << i;
    EXPECT_EQ(CPoint(420, 290), spoide.GetPickedPoint());

    // The eyedropper cursor, whose hot spot (the sampled point) is its tip.
    HCURSOR cursor = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(CSpoideWnd::kCursorId));
    ASSERT_NE(nullptr, cursor);
    EXPECT_EQ(cursor, shown);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(cursor, &info));
    EXPECT_EQ(1u, info.xHotspot);
    EXPECT_EQ(30u, info.yHotspot);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    EXPECT_TRUE(wt::PumpUntil([&] { return spoide.GetPickedColor() == kBelowColour; }));
    wt::Settle();
    EXPECT_EQ(0, BelowWindow::Presses());
}

TEST(SpoideWnd, EscapeOrLosingTheMouseCancels) {
    BelowWindow below;
    const struct {
        const char* name;
        std::function<void(HWND)> script;
    } cases[] = {
        {"escape", [](HWND) { wt::KeyPress(VK_ESCAPE); }},
        {"mouse taken", [&](HWND hWnd) {
             ::PostMessageW(hWnd, WM_TEST_TAKE_MOUSE, reinterpret_cast<WPARAM>(below.Get()), 0);
         }},
    };
    for (const auto& c : cases) {
        wt::MouseMove(400, 260);
        CTestSpoide spoide;
        const INT_PTR result = RunEyedropper(spoide, [&](HWND hWnd) {
            wt::MouseMove(380, 250);
            c.script(hWnd);
        });
        EXPECT_EQ(IDCANCEL, result) << c.name;
        ::ReleaseCapture();
    }
    wt::Settle();
    EXPECT_EQ(0, BelowWindow::Presses());
}

}  // namespace
