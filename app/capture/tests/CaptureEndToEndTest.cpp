// Drives vesk.exe through its capture commands: a window of ours with a known
// colour on the screen, commands posted to the main dialog, and the files that
// land in the capture folder. Every wait is bounded so that a broken program
// fails the test instead of hanging it.
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr const wchar_t* kMainTitle = L"베스크캡쳐V0.6";
constexpr UINT kFullScreenCommand = 32773;
constexpr UINT kCursorCommand = 32784;
constexpr UINT kExitCommand = 32946;
constexpr UINT kSetSaveTarget = WM_APP + 7;
constexpr DWORD kPatienceMs = 60000;  // a hang guard, not a measurement
constexpr COLORREF kDriverColour = RGB(12, 200, 34);
constexpr RECT kDriverRect = {400, 300, 600, 450};

std::wstring ExePath() {
    std::string unixPath = VESK_EXE;
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Polls until pred() holds, keeping our own window painted meanwhile.
template <class Pred>
bool WaitFor(Pred pred) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > kPatienceMs)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

struct FindWindowQuery {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<FindWindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    WCHAR title[128] = {};
    GetWindowTextW(hWnd, title, 128);
    if (pid == q->pid && std::wstring(title) == kMainTitle) {
        q->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

class CaptureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-capture-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++counter_);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        exe_ = folder_ + L"\\vesk.exe";
        ini_ = folder_ + L"\\vesk.ini";
        ASSERT_TRUE(CopyFileW(ExePath().c_str(), exe_.c_str(), FALSE));
        CreateDriverWindow();
        // A first run writes the defaults; the tests change them from there.
        HWND main = Start();
        ASSERT_NE(main, nullptr);
        Exit(main);
        profile::WriteValue(profile::kMiscSection, L"MouseCursor", 0, ini_.c_str());
        profile::WriteValue(profile::kMiscSection, L"SoundEffect", 0, ini_.c_str());
        profile::WriteValue(profile::kMiscSection, L"ToolTipEffect", 0, ini_.c_str());
        profile::WriteValue(profile::kFileSection, L"EditedChecked", 0, ini_.c_str());
    }
    void TearDown() override {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(pi_.hProcess, 99);
                WaitForSingleObject(pi_.hProcess, kPatienceMs);
            }
            CloseHandle(pi_.hProcess);
            pi_ = {};
        }
        if (driver_)
            DestroyWindow(driver_);
        // The class keeps the brush: register it afresh with the next test's.
        UnregisterClassW(L"VeskCaptureDriver", GetModuleHandleW(nullptr));
        if (brush_)
            DeleteObject(brush_);
    }

    void CreateDriverWindow() {
        brush_ = CreateSolidBrush(kDriverColour);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = brush_;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskCaptureDriver";
        RegisterClassW(&wc);
        driver_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"driver", WS_POPUP | WS_VISIBLE,
                                  kDriverRect.left, kDriverRect.top, kDriverRect.right - kDriverRect.left,
                                  kDriverRect.bottom - kDriverRect.top, nullptr, nullptr, wc.hInstance, nullptr);
        UpdateWindow(driver_);
    }

    HWND Start() {
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe_ + L"\"";
        if (!CreateProcessW(exe_.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &si, &pi_))
            return nullptr;
        CloseHandle(pi_.hThread);
        pi_.hThread = nullptr;
        FindWindowQuery q = {pi_.dwProcessId, nullptr};
        WaitFor([&] {
            EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&q));
            return q.found && IsWindowVisible(q.found);
        });
        if (q.found) {
            WaitForInputIdle(pi_.hProcess, kPatienceMs);
            // Our window back on top of the dialog that just showed.
            SetWindowPos(driver_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            RedrawWindow(driver_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            WaitFor([] { return true; });
        }
        return q.found;
    }
    void Exit(HWND main) {
        ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kExitCommand, 0));
        EXPECT_EQ(WaitForSingleObject(pi_.hProcess, kPatienceMs), WAIT_OBJECT_0);
        CloseHandle(pi_.hProcess);
        pi_ = {};
    }
    std::wstring Numbered(int n, const wchar_t* type) const {
        return folder_ + L"\\Vesk_" + std::to_wstring(n) + L"." + type;
    }
    // Waits for a capture file to appear and load.
    bool LoadWhenWritten(const std::wstring& path, CDibImage& image) const {
        return WaitFor([&] { return Exists(path) && image.Load(path.c_str(), 0); });
    }
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

    std::wstring folder_, exe_, ini_;
    PROCESS_INFORMATION pi_ = {};
    HWND driver_ = nullptr;
    HBRUSH brush_ = nullptr;
    static inline int counter_ = 0;
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
