// The colour bar and the quick options bar docked in a frame of this process,
// driven with the real mouse: the colour under the pointer, picking it with
// the eyedropper, copying it, the zoom factor, and the quick switches writing
// their option objects and the settings file.
#include "WidgetTestUtil.h"
#include "app/AppMessages.h"
#include "app/bars/ColorDialogBarWnd.h"
#include "app/bars/QuickDialogBarWnd.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace {

constexpr COLORREF kKnownColour = RGB(200, 30, 90);
constexpr RECT kKnownRect = {100, 600, 220, 720};
constexpr POINT kKnownPoint = {160, 660};
constexpr RECT kFrameRect = {560, 80, 1240, 520};
constexpr DWORD kPatienceMs = 15000;  // a hang guard, not a measurement

// Pumps this thread's messages until pred holds (the bar's timer never lets it idle).
bool PumpFor(const std::function<bool()>& pred) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > kPatienceMs)
            return false;
        wt::PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

POINT Centre(HWND hWnd) {
    RECT r;
    ::GetWindowRect(hWnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Click(POINT p) {
    wt::MouseMove(p.x, p.y);
    wt::MouseDown();
    wt::MouseUp();
}

std::wstring ClipboardText() {
    std::wstring text;
    if (::OpenClipboard(nullptr)) {
        HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
        if (auto* p = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr) {
            text = p;
            ::GlobalUnlock(data);
        }
        ::CloseClipboard();
    }
    return text;
}

// A plain window of one colour: the pixel the bar is shown.
class KnownWindow {
public:
    KnownWindow() {
        m_brush = ::CreateSolidBrush(kKnownColour);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = m_brush;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskBarsKnown";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"known", WS_POPUP | WS_VISIBLE,
                                   kKnownRect.left, kKnownRect.top, kKnownRect.right - kKnownRect.left,
                                   kKnownRect.bottom - kKnownRect.top, nullptr, nullptr, wc.hInstance, nullptr);
        wt::Settle(m_hWnd);
    }
    ~KnownWindow() {
        ::DestroyWindow(m_hWnd);
        ::UnregisterClassW(L"VeskBarsKnown", ::GetModuleHandleW(nullptr));
        ::DeleteObject(m_brush);
    }

private:
    HWND m_hWnd = nullptr;
    HBRUSH m_brush = nullptr;
};

// The frame both bars dock in; it counts the requests to go to the tray.
class CTestFrame : public CFrameWnd {
public:
    int m_nGoTray = 0;

protected:
    afx_msg LRESULT OnGoTray(WPARAM, LPARAM) {
        ++m_nGoTray;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
    ON_MESSAGE(WM_GO_TRAY, OnGoTray)
END_MESSAGE_MAP()

class BarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_ini = std::wstring(temp) + L"vesk_bars_test.ini";
        ::DeleteFileW(m_ini.c_str());
        m_misc.MouseCursor = 1;
        m_misc.KeepEffect = 0;
        m_file.EditedChecked = 0;
        m_watermark.WaterMark = 1;

        ASSERT_TRUE(m_frame.Create(nullptr, L"bars", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, kFrameRect));
        m_frame.EnableDocking(CBRS_ALIGN_ANY);
        Dock(m_colorBar, IDD_COLOR_BAR, CBRS_RIGHT, IDW_COLOR_BAR);
        m_quickBar.SetTargets({&m_file, &m_watermark, &m_misc, m_ini.c_str()});
        Dock(m_quickBar, IDD_QUICK_OPTIONS_BAR, CBRS_LEFT, IDW_QUICK_BAR);
        m_frame.RecalcLayout();
        wt::Settle(m_frame.m_hWnd);
    }
    void TearDown() override {
        m_quickBar.DestroyWindow();
        m_colorBar.DestroyWindow();
        m_frame.DestroyWindow();
        ::DeleteFileW(m_ini.c_str());
        wt::MouseAway();
    }

    void Dock(CResizeableDlgBar& bar, UINT nTemplate, DWORD side, UINT nID) {
        ASSERT_TRUE(bar.Create(&m_frame, nTemplate, WS_VISIBLE | side | CBRS_SIZE_DYNAMIC, nID));
        bar.m_sizeDocked = bar.m_sizeFloating = bar.m_sizeDefault;
        bar.EnableDocking(CBRS_ALIGN_ANY);
        m_frame.DockControlBar(&bar);
    }

    HWND ColorItem(int id) const { return ::GetDlgItem(m_colorBar.m_hWnd, id); }
    HWND QuickItem(int id) const { return ::GetDlgItem(m_quickBar.m_hWnd, id); }
    std::wstring IniValue(const wchar_t* section, const wchar_t* key) const {
        return static_cast<LPCWSTR>(profile::ReadValue(section, key, m_ini.c_str()));
    }
    int PickedCount() const { return static_cast<int>(::SendMessageW(ColorItem(IDC_COLOR_PICKED), CB_GETCOUNT, 0, 0)); }

    // Clicks the eyedropper button; `script` ends the eyedropper from a helper
    // thread once it shows, while its modal loop runs here.
    void RunEyedropper(const std::function<void()>& script) {
        std::atomic<bool> done{false};
        const DWORD thread = ::GetCurrentThreadId();
        std::thread input([&] {
            const DWORD start = ::GetTickCount();
            while (!SpoideShown(thread) && ::GetTickCount() - start < kPatienceMs)
                ::Sleep(20);
            script();
            done = true;
        });
        Click(Centre(ColorItem(IDC_COLOR_EYEDROPPER)));
        PumpFor([&] { return done.load(); });
        input.join();
    }
    // The eyedropper is the 20 x 20 window that follows the pointer.
    static BOOL CALLBACK MatchSpoide(HWND hWnd, LPARAM lParam) {
        RECT r;
        ::GetWindowRect(hWnd, &r);
        if (::IsWindowVisible(hWnd) && r.right - r.left == 20 && r.bottom - r.top == 20)
            *reinterpret_cast<bool*>(lParam) = true;
        return TRUE;
    }
    static bool SpoideShown(DWORD thread) {
        bool found = false;
        ::EnumThreadWindows(thread, MatchSpoide, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::wstring m_ini;
    COpFilePropertyPage m_file;
    COpWatermarkPropertyPage m_watermark;
    COpContinuePage m_misc;
    CTestFrame m_frame;
    CColorDialogBarWnd m_colorBar;
    CQuickDialogBarWnd m_quickBar;
};

TEST_F(BarsTest, ShowsPicksCopiesAndMagnifiesTheColourUnderThePointer) {
    KnownWindow known;
    wt::MouseMove(kKnownPoint.x, kKnownPoint.y);
    const std::wstring expected = L"RGB: 200, 30, 90\nHtml: #C81E5A\nHexa: 0x00C81E5A\n";
    ASSERT_TRUE(PumpFor([&] {
        wchar_t text[128] = {};
        ::GetWindowTextW(ColorItem(IDC_COLOR_TEXT), text, 128);
        return expected == text;
    }));
    wt::Settle(m_colorBar.m_hWnd);
    EXPECT_EQ(kKnownColour, wt::WindowPixel(ColorItem(IDC_COLOR_SWATCH), 20, 20));

    // Only the white first item yet: copied as such; with no selection nothing is copied.
    ASSERT_EQ(1, PickedCount());
    for (int selection : {0, -1}) {
        ::SendMessageW(ColorItem(IDC_COLOR_PICKED), CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
        Click(Centre(ColorItem(IDC_COLOR_COPY)));
        wt::Settle();
        EXPECT_EQ(L"#FFFFFF", ClipboardText()) << selection;
    }

    RunEyedropper([] {
        wt::MouseMove(kKnownPoint.x + 10, kKnownPoint.y - 10);
        wt::MouseDown();
        wt::MouseUp();
    });
    ASSERT_TRUE(PumpFor([&] { return PickedCount() == 2; }));
    EXPECT_EQ(kKnownColour, static_cast<COLORREF>(::SendMessageW(ColorItem(IDC_COLOR_PICKED), CB_GETITEMDATA, 1, 0)));
    EXPECT_EQ(1, ::SendMessageW(ColorItem(IDC_COLOR_PICKED), CB_GETCURSEL, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(ColorItem(IDC_COLOR_EYEDROPPER), BM_GETCHECK, 0, 0));
    Click(Centre(ColorItem(IDC_COLOR_COPY)));
    wt::Settle();
    EXPECT_EQ(L"#C81E5A", ClipboardText());

    // Escape: nothing is added and the button does not stay pressed.
    RunEyedropper([] { wt::KeyPress(VK_ESCAPE); });
    wt::Settle();
    EXPECT_EQ(2, PickedCount());
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(ColorItem(IDC_COLOR_EYEDROPPER), BM_GETCHECK, 0, 0));

    // "10x" shows the middle of the 120-pixel window only; at 1x the view reaches past it.
    wt::MouseMove(kKnownPoint.x, kKnownPoint.y);
    HWND view = ColorItem(IDC_COLOR_ZOOM_VIEW);
    HWND list = ColorItem(IDC_COLOR_ZOOM_LIST);
    ASSERT_EQ(6, ::SendMessageW(list, CB_GETCOUNT, 0, 0));
    auto foreign = [&] {
        RECT r;
        ::GetClientRect(view, &r);
        int n = 0;
        HDC dc = ::GetDC(view);
        for (int y = 2; y < r.bottom - 2; y += 3)
            for (int x = 2; x < r.right - 2; x += 3)
                n += ::GetPixel(dc, x, y) != kKnownColour;
        ::ReleaseDC(view, dc);
        return n;
    };
    for (int item : {5, 0}) {
        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        ::SendMessageW(m_colorBar.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_COLOR_ZOOM_LIST, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
        EXPECT_TRUE(PumpFor([&] { return (foreign() == 0) == (item == 5); })) << "item " << item;
    }
}

TEST_F(BarsTest, QuickSwitchesWriteTheirOptionAtOnce) {
    // Creating the bar wrote the four options as they were.
    const struct {
        int id;
        const wchar_t* section;
        const wchar_t* key;
        int* field;
    } switches[] = {
        {IDC_QUICK_CURSOR, profile::kMiscSection, L"MouseCursor", &m_misc.MouseCursor},
        {IDC_QUICK_EDITOR, profile::kFileSection, L"EditedChecked", &m_file.EditedChecked},
        {IDC_QUICK_WATERMARK, profile::kWatermarkSection, L"WaterMark", &m_watermark.WaterMark},
        {IDC_QUICK_KEEP_REGION, profile::kMiscSection, L"KeepEffect", &m_misc.KeepEffect},
    };
    const int initial[] = {1, 0, 1, 0};
    for (size_t i = 0; i < std::size(switches); ++i)
        EXPECT_EQ(std::to_wstring(initial[i]), IniValue(switches[i].section, switches[i].key)) << i;

    for (size_t i = 0; i < std::size(switches); ++i) {
        const auto& s = switches[i];
        for (int click = 1; click <= 2; ++click) {
            Click(Centre(QuickItem(s.id)));
            const int expected = click == 1 ? !initial[i] : initial[i];
            EXPECT_EQ(expected, *s.field) << i << " click " << click;
            EXPECT_EQ(std::to_wstring(expected), IniValue(s.section, s.key)) << i << " click " << click;
        }
    }

    // An option page hands its value in through the hook.
    HandToQuickBar(QuickSwitch::MouseCursor, 0);
    EXPECT_EQ(0, m_misc.MouseCursor);
    EXPECT_EQ(L"0", IniValue(profile::kMiscSection, L"MouseCursor"));
    HandToQuickBar(QuickSwitch::WaterMark, 7);
    EXPECT_EQ(1, m_watermark.WaterMark);
}

TEST_F(BarsTest, TraySwitchActsOnlyWhenSwitchedOn) {
    // on, off, on again, then cleared by a restore and on once more.
    const POINT tray = Centre(QuickItem(IDC_QUICK_TRAY));
    const int expected[] = {1, 1, 2, 3};
    for (int step = 0; step < 4; ++step) {
        if (step == 3)
            m_quickBar.ClearTrayCheck();
        Click(tray);
        wt::Settle();
        EXPECT_EQ(expected[step], m_frame.m_nGoTray) << step;
    }
    // Without a bar the hand-off reaches nothing.
    m_quickBar.DestroyWindow();
    HandToQuickBar(QuickSwitch::MouseCursor, 0);
    EXPECT_EQ(1, m_misc.MouseCursor);
    EXPECT_EQ(L"1", IniValue(profile::kMiscSection, L"MouseCursor"));
}

}  // namespace
