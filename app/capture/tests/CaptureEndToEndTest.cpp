// Drives vesk.exe through its capture commands: a window of ours with a known
// colour on the screen, commands posted to the main dialog, and the files that
// land in the capture folder. Every wait is bounded so that a broken program
// fails the test instead of hanging it.
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <algorithm>
#include <string>

namespace {

using namespace vesk_test;

constexpr UINT kCursorCommand = 32784;
constexpr UINT kSetSaveTarget = WM_APP + 7;
constexpr COLORREF kDriverColour = RGB(12, 200, 34);
constexpr RECT kDriverRect = {400, 300, 600, 450};

class CaptureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run_.PrepareQuiet());
        folder_ = run_.folder();
        ini_ = run_.ini();
        CreateDriverWindow();
    }
    void TearDown() override {
        run_.Kill();
        driverWindow_.Destroy();
    }

    void CreateDriverWindow() {
        driver_ = driverWindow_.Create(L"VeskCaptureDriver", L"driver", DefWindowProcW, kDriverColour, kDriverRect,
                                       WS_POPUP | WS_VISIBLE);
        UpdateWindow(driver_);
    }

    HWND Start() {
        HWND main = run_.Start();
        if (main) {
            // Without a window manager Wine raises an activated window over other
            // processes' topmost ones: keep the dialog clear of our window instead.
            RECT r = {};
            GetWindowRect(main, &r);
            const int x = GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left);
            SetWindowPos(main, nullptr, std::max<int>(x, kDriverRect.right), 0, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            WaitFor([&] {
                RECT now = {}, overlap = {};
                GetWindowRect(main, &now);
                return !IntersectRect(&overlap, &now, &kDriverRect);
            });
            SetWindowPos(driver_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            RedrawWindow(driver_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            // The compositor shows the repaint a little later; capture only once the screen does.
            WaitFor([] {
                return ScreenPixel((kDriverRect.left + kDriverRect.right) / 2,
                                   (kDriverRect.top + kDriverRect.bottom) / 2) == kDriverColour;
            });
        }
        return main;
    }
    void Exit(HWND main) { EXPECT_EQ(run_.Exit(main), 0u); }
    std::wstring Numbered(int n, const wchar_t* type) const { return run_.Numbered(n, type); }
    bool LoadWhenWritten(const std::wstring& path, CDibImage& image) const { return run_.LoadWhenWritten(path, image); }
    static bool DriverRectHasColour(const CDibImage& image) {
        for (int y = kDriverRect.top + 5; y < kDriverRect.bottom - 5; y += 7)
            for (int x = kDriverRect.left + 5; x < kDriverRect.right - 5; x += 7) {
                const RGBQUAD c = image.GetPixelColor(x, static_cast<int>(image.GetHeight()) - 1 - y, false);
                if (RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) != kDriverColour) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(c.rgbRed) << " " << int(c.rgbGreen)
                                  << " " << int(c.rgbBlue);
                    return false;
                }
            }
        return true;
    }

    VeskRun run_{L"capture-e2e"};
    std::wstring folder_, ini_;
    TestWindow driverWindow_;
    HWND driver_ = nullptr;
};

TEST_F(CaptureEndToEnd, FullScreenCaptureShowsOurWindow) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), image));
    EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_TRUE(DriverRectHasColour(image));
    Exit(main);
}

TEST_F(CaptureEndToEnd, PngTakesTheFirstFreeNumberAndTheCounterIsKept) {
    profile::WriteValue(profile::kFileSection, L"FileType", L"png", ini_.c_str());
    for (int n = 0; n < 2; ++n) {
        HANDLE f = CreateFileW(Numbered(n, L"png").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    }
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(2, L"png"), image));
    EXPECT_TRUE(DriverRectHasColour(image));
    Exit(main);
    COpFilePropertyPage file;
    file.LoadOptions(ini_.c_str());
    EXPECT_EQ(file.FileCount, 3);
}

TEST_F(CaptureEndToEnd, SavedDcTargetWritesNoFile) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, kSetSaveTarget, 0, 1));
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    // Back to files: the next capture still takes number 0, so the first took no file name.
    ASSERT_TRUE(PostMessageW(main, kSetSaveTarget, 0, 0));
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), image));
    Exit(main);
    EXPECT_FALSE(Exists(Numbered(1, L"bmp")));
}

TEST_F(CaptureEndToEnd, WatermarkImageLandsInTheBottomRightCorner) {
    const std::wstring mark = folder_ + L"\\mark.bmp";
    CDibImage watermark(16, 12, 24);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            watermark.SetPixelColor(x, y, RGB(250, 10, 200));
    ASSERT_TRUE(watermark.Save(mark.c_str(), CDibImage::kFormatBmp));
    const struct {
        const wchar_t* key;
        int value;
    } settings[] = {{L"WaterMark", 1}, {L"Choice", 0},          {L"Location", 8}, {L"Alpha", 100},
                    {L"Rotate", 0},    {L"Rotation", 0},        {L"HideColor", 0}, {L"LeftRightMargin", 0},
                    {L"TopBottomMargin", 0}};
    for (const auto& s : settings)
        profile::WriteValue(profile::kWatermarkSection, s.key, s.value, ini_.c_str());
    profile::WriteValue(profile::kWatermarkSection, L"ImageDir", mark.c_str(), ini_.c_str());

    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), image));
    Exit(main);
    const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
    // GetPixelColor counts rows from the bottom.
    const POINT inside[] = {{w - 1, 0}, {w - 16, 0}, {w - 1, 11}, {w - 16, 11}, {w - 8, 6}};
    for (const POINT& p : inside) {
        const RGBQUAD c = image.GetPixelColor(p.x, p.y, false);
        EXPECT_EQ(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), RGB(250, 10, 200)) << p.x << "," << p.y;
    }
    EXPECT_TRUE(DriverRectHasColour(image));
    (void)h;
}

TEST_F(CaptureEndToEnd, CursorCaptureWritesACursorFile) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kCursorCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(folder_ + L"\\Cursor.cur", image));
    EXPECT_EQ(image.GetWidth(), 32u);
    EXPECT_EQ(image.GetHeight(), 32u);
    Exit(main);
}

// Calls visit(hWnd) for each descendant of parent (each top-level window when
// parent is null) until it returns false.
BOOL CALLBACK VisitWindow(HWND hWnd, LPARAM lParam) {
    return (*reinterpret_cast<std::function<bool(HWND)>*>(lParam))(hWnd) ? TRUE : FALSE;
}
void VisitWindows(HWND parent, std::function<bool(HWND)> visit) {
    if (parent)
        EnumChildWindows(parent, VisitWindow, reinterpret_cast<LPARAM>(&visit));
    else
        EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

// A descendant of parent by control id; the first one found.
HWND FindDescendant(HWND parent, int id) {
    HWND found = nullptr;
    VisitWindows(parent, [&](HWND hWnd) {
        if (GetDlgCtrlID(hWnd) == id)
            found = hWnd;
        return found == nullptr;
    });
    return found;
}

int CountDescendants(HWND parent, int id) {
    int count = 0;
    VisitWindows(parent, [&](HWND hWnd) {
        count += GetDlgCtrlID(hWnd) == id;
        return true;
    });
    return count;
}

std::wstring WindowText(HWND hWnd) {
    WCHAR text[512] = {};
    GetWindowTextW(hWnd, text, 512);
    return text;
}

void ClickCentre(HWND hWnd) {
    RECT r;
    GetWindowRect(hWnd, &r);
    const POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    for (DWORD flags : {0ul, static_cast<DWORD>(MOUSEEVENTF_LEFTDOWN), static_cast<DWORD>(MOUSEEVENTF_LEFTUP)}) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>(p.x * 65535LL / (GetSystemMetrics(SM_CXSCREEN) - 1));
        in.mi.dy = static_cast<LONG>(p.y * 65535LL / (GetSystemMetrics(SM_CYSCREEN) - 1));
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
        SendInput(1, &in, sizeof in);
        Sleep(50);
    }
}

constexpr int kFullScreenToolButton = 5000;
constexpr UINT kWebPageCommand = 32780;
constexpr int kWebCaptureButton = 5203;
constexpr int kWebMessage = 5204;
constexpr UINT kGoTray = WM_APP + 14;

TEST_F(CaptureEndToEnd, ToolListButtonCapturesTheFullScreen) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ShowWindow(driver_, SW_HIDE);  // nothing of ours over the dialog's tool list
    HWND button = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (button = FindDescendant(main, kFullScreenToolButton)) != nullptr; }));
    ASSERT_TRUE(IsWindowVisible(button));
    EXPECT_EQ(WindowText(button), L"전체화면 캡쳐");
    ClickCentre(button);
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), image));
    EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)));
    Exit(main);
}

TEST_F(CaptureEndToEnd, WebPageFromTheTrayShowsTheDialogAndTellsThatThereIsNoHtmlEngine) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ShowWindow(driver_, SW_HIDE);
    ASSERT_TRUE(PostMessageW(main, kGoTray, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));

    // The command restores the dialog from the tray and opens the tab; a second one reuses it.
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kWebPageCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && FindDescendant(main, kWebCaptureButton); }));
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kWebPageCommand, 0));
    HWND message = FindDescendant(main, kWebMessage);
    ASSERT_NE(message, nullptr);
    // No HTML engine here: the tab says so once its wait for a document is over.
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(message) != FALSE; }));
    EXPECT_NE(WindowText(message).find(L"HTML 엔진"), std::wstring::npos);
    EXPECT_EQ(CountDescendants(main, kWebCaptureButton), 1);

    Exit(main);
}

}  // namespace
