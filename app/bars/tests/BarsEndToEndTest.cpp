// The bars in vesk.exe: the toggle commands show and hide them around the
// work area's view, the frame keeps them inside at any size, and the quick
// switches reach the settings file and the tray as a user's clicks do.
#include "WidgetTestUtil.h"
#include "app/settings/Profile.h"
#include "resources/resource.h"
#include "tests/driver/PatternHost.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vesk_test;

constexpr UINT kTrayNotify = WM_APP + 12;
constexpr LPARAM kTrayRestore = 0x800D;
constexpr UINT kViewId = 0xE900;

// A child's rectangle in the client coordinates of `parent`.
RECT RectIn(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
    RECT common;
    return ::IntersectRect(&common, &a, &b) != FALSE;
}

void ClickCentre(HWND hWnd) {
    RECT r;
    ::GetWindowRect(hWnd, &r);
    wt::MouseMove((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    wt::MouseDown();
    wt::MouseUp();
}

// Every tool-list button comes into the list's view, whole, by clicks on the
// list's scroll arrow; its label fits it with room for the button's edge and
// focus frame (about 4 pixels a side under Wine).
void ExpectEveryToolButtonInReach(HWND frame, const std::string& at) {
    HWND list = ::GetParent(FindControl(frame, IDC_TOOL_FIRST));
    ASSERT_NE(nullptr, list) << at;
    RECT view;
    ::GetClientRect(list, &view);
    ::MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&view), 2);
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    for (UINT id = IDC_TOOL_FIRST; id <= IDC_TOOL_LAST; ++id) {
        HWND button = ::GetDlgItem(list, id);
        RECT r;
        for (int click = 0; click < 12 && ::GetWindowRect(button, &r) && (r.top < view.top || r.bottom > view.bottom);
             ++click) {
            // The arrows at the ends of the scroll bar, right of the client area.
            XMove(view.right + 8, r.top < view.top ? view.top + 8 : view.bottom - 8);
            XClick();
            WaitFor([&] { RECT now; return ::GetWindowRect(button, &now) && now.top != r.top; }, 3000);
        }
        wchar_t label[64] = {};
        ::GetWindowTextW(button, label, 64);
        SIZE text = {};
        ::GetTextExtentPoint32W(dc, label, lstrlenW(label), &text);
        EXPECT_TRUE(Inside(r, view) && r.right - r.left >= text.cx + 8) << at << ": button " << id;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
}

class BarsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wt::MouseAway();
        ASSERT_TRUE(run_.PrepareQuiet());
        main_ = run_.Start();
        ASSERT_NE(nullptr, main_);
        frame_ = ::FindWindowExW(main_, nullptr, nullptr, L"VeskFrame");
        ASSERT_NE(nullptr, frame_);
        color_ = ::GetDlgItem(frame_, IDW_COLOR_BAR);
        quick_ = ::GetDlgItem(frame_, IDW_QUICK_BAR);
        view_ = ::GetDlgItem(frame_, kViewId);
        ASSERT_TRUE(color_ && quick_ && view_);
        // The colour bar's toggle posted at start leaves it hidden.
        ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(color_) && ::IsWindowVisible(quick_); }))
            << "colour bar shown " << ::IsWindowVisible(color_) << ", quick bar shown " << ::IsWindowVisible(quick_);
    }
    void TearDown() override {
        if (main_ && ::IsWindow(main_)) {
            EXPECT_EQ(0u, run_.Exit(main_));
        }
        run_.Kill();
        wt::MouseAway();
    }

    // Sent, so that the command has been handled on return.
    void Command(UINT id) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(main_, WM_COMMAND, id, 0, SMTO_NORMAL, kPatienceMs, &result);
    }
    RECT View() const { return RectIn(frame_, view_); }
    std::wstring Ini(const wchar_t* section, const wchar_t* key) const {
        return static_cast<LPCWSTR>(profile::ReadValue(section, key, run_.ini().c_str()));
    }

    VeskRun run_{L"bars"};
    HWND main_ = nullptr;
    HWND frame_ = nullptr;
    HWND color_ = nullptr;
    HWND quick_ = nullptr;
    HWND view_ = nullptr;
};

TEST_F(BarsEndToEnd, TogglesMoveTheViewAndEverySizeKeepsTheBarsInside) {
    // At the default size every button shows: no scroll bar for the gap after the last row.
    EXPECT_FALSE(::GetWindowLongW(::GetParent(FindControl(frame_, IDC_TOOL_FIRST)), GWL_STYLE) & WS_VSCROLL);
    const RECT start = View();
    const struct {
        UINT command;
        bool colorShown, quickShown;
    } steps[] = {
        {ID_COLOR_BAR, true, true},
        {ID_TOOLBAR_QUICK_OPTIONS, true, false},
        {ID_TOOLBAR_COLOR_BAR, false, false},
        {ID_TOOLBAR_QUICK_OPTIONS, false, true},
        {ID_COLOR_BAR, true, true},
    };
    for (const auto& s : steps) {
        const RECT before = View();
        Command(s.command);
        EXPECT_EQ(s.colorShown, ::IsWindowVisible(color_) != FALSE) << s.command;
        EXPECT_EQ(s.quickShown, ::IsWindowVisible(quick_) != FALSE) << s.command;
        const RECT after = View();
        // The colour bar takes the right of the view, the quick bar its left.
        if (s.command == ID_TOOLBAR_QUICK_OPTIONS)
            EXPECT_EQ(s.quickShown, after.left > before.left) << s.command;
        else
            EXPECT_EQ(s.colorShown, after.right < before.right) << s.command;
    }
    EXPECT_LT(View().right, start.right);

    // The last row: the web page tab beside both bars, at the narrowest the window goes.
    const SIZE sizes[] = {{420, 360}, {640, 480}, {900, 640}, {1200, 900}, {420, 360}};
    for (const SIZE& size : sizes) {
        if (&size == std::end(sizes) - 1)
            Command(ID_CAPTURE_WEBPAGE);
        ::SetWindowPos(main_, nullptr, 20, 20, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        run_.WaitUntilIdle(main_);
        RECT client;
        ::GetClientRect(frame_, &client);
        const RECT color = RectIn(frame_, color_), quick = RectIn(frame_, quick_), view = View();
        const std::string at = std::to_string(size.cx) + "x" + std::to_string(size.cy);
        EXPECT_TRUE(Inside(color, client)) << at;
        EXPECT_TRUE(Inside(quick, client)) << at;
        EXPECT_FALSE(Overlap(color, quick)) << at;
        EXPECT_FALSE(Overlap(view, color)) << at;
        EXPECT_FALSE(Overlap(view, quick)) << at;
        EXPECT_EQ(client.bottom - client.top, color.bottom - color.top) << at;
        const auto place = [&](int id) { return RectIn(frame_, FindControl(frame_, id)); };
        if (!FindControl(frame_, IDC_WEB_ADDRESS)) {
            ExpectEveryToolButtonInReach(frame_, at);
        } else {  // a box 120 px wide at least, the buttons after it: whole, or past a pane narrowed below the row
            for (const bool narrowed : {false, true}) {
                if (narrowed)
                    ::SetWindowPos(::GetParent(FindControl(frame_, IDC_WEB_ADDRESS)), nullptr, 0, 0, 150, 200,
                                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                const RECT box = place(IDC_WEB_ADDRESS), go = place(IDC_WEB_GO), capture = place(IDC_WEB_CAPTURE);
                EXPECT_TRUE(box.right - box.left >= 120 && box.right <= go.left && go.right <= capture.left &&
                            (narrowed || Inside(capture, view))) << at << ": box " << box.right - box.left;
            }
        }
    }
}

TEST_F(BarsEndToEnd, QuickSwitchesWriteTheFileAndSendTheWindowToTheTray) {
    // PrepareQuiet left the cursor off; each click writes the key at once.
    HWND cursor = ::GetDlgItem(quick_, IDC_QUICK_CURSOR);
    ASSERT_EQ(L"0", Ini(profile::kMiscSection, L"MouseCursor"));
    for (const wchar_t* expected : {L"1", L"0"}) {
        ClickCentre(cursor);
        EXPECT_TRUE(WaitFor([&] { return Ini(profile::kMiscSection, L"MouseCursor") == expected; })) << expected;
    }

    // Twice to the tray and back: a restore clears the switch, so the next
    // click switches it on (and sends the window away) again.
    HWND tray = ::GetDlgItem(quick_, IDC_QUICK_TRAY);
    for (int round = 0; round < 2; ++round) {
        ClickCentre(tray);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(main_); })) << round;
        ::PostMessageW(main_, kTrayNotify, 0, kTrayRestore);
        EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main_) != FALSE; })) << round;
        run_.WaitUntilIdle(main_);
    }
}

// A quick real hand (X pointer events) with the eyedropper: from its button
// onto a window of another program in jumps, and a click. The pick is the
// colour under the pointer, and that program gets no button message.
TEST_F(BarsEndToEnd, EyedropperPicksOverAnotherProgramWithoutClickingIt) {
    Command(ID_COLOR_BAR);
    ASSERT_TRUE(::IsWindowVisible(color_));
    RECT mainRect;
    ::GetWindowRect(main_, &mainRect);
    const RECT hostRect = {30, mainRect.top + 40, mainRect.left - 40, mainRect.top + 280};
    PatternHost host;
    ASSERT_TRUE(host.Start(hostRect)) << "the other program's window never showed";
    const HWND eyedropper = ::GetDlgItem(color_, IDC_COLOR_EYEDROPPER);
    const HWND picked = ::GetDlgItem(color_, IDC_COLOR_PICKED);
    ASSERT_TRUE(eyedropper && picked);
    ASSERT_EQ(1, ::SendMessageW(picked, CB_GETCOUNT, 0, 0));

    ClickCentre(eyedropper);
    // Its 20 x 20 window under the pointer.
    ASSERT_TRUE(WaitFor([&] {
        return run_.FindWindowIf([](HWND hWnd) {
            RECT r;
            ::GetWindowRect(hWnd, &r);
            return ::IsWindowVisible(hWnd) && r.right - r.left == 20 && r.bottom - r.top == 20;
        }) != nullptr;
    })) << "no 20 x 20 eyedropper window showed";
    POINT from;
    ::GetCursorPos(&from);
    const POINT target = {(hostRect.left + hostRect.right) / 2 + 3, (hostRect.top + hostRect.bottom) / 2 - 11};
    ASSERT_TRUE(XSweep(from, target)) << "xdotool did not move the pointer";
    ASSERT_TRUE(XClick());
    EXPECT_EQ(0, host.ButtonMessages()) << "the click reached the other program";
    ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(picked, CB_GETCOUNT, 0, 0) == 2; })) << "nothing was picked";
    EXPECT_EQ(PatternAt(target.x, target.y), static_cast<COLORREF>(::SendMessageW(picked, CB_GETITEMDATA, 1, 0)));
    EXPECT_EQ(0, host.ButtonMessages());
}

}  // namespace
