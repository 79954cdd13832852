// The control finder of vesk.exe under the real mouse: a window of ours with a
// button, command 32786 posted to the main dialog, the pointer moved and
// clicked with SendInput, and what lands on the screen and in the capture
// folder checked. The frame blinks every 200 ms, so each check waits for the
// state it needs (bounded) instead of counting time.
#include "WidgetTestUtil.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kMainTitle = L"베스크캡쳐V0.6";
constexpr UINT kControlCommand = 32786;
constexpr UINT kFullScreenCommand = 32773;
constexpr UINT kExitCommand = 32946;
constexpr DWORD kPatienceMs = 30000;  // a hang guard, not a measurement
constexpr COLORREF kHostColour = RGB(12, 200, 34);
// Clear of the main dialog, which comes back to the front when the finder ends.
constexpr RECT kHostRect = {40, 40, 260, 170};
constexpr RECT kButtonClient = {20, 30, 180, 90};
constexpr RECT kButtonRect = {60, 70, 220, 130};
constexpr int kFrameReach = 3;  // the 4-pixel pen straddles the outline

std::wstring ExePath() {
    std::string unixPath = VESK_EXE;
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Polls until pred() holds, keeping our own windows painted meanwhile.
bool WaitFor(const std::function<bool()>& pred) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > kPatienceMs)
            return false;
        wt::PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

RECT Inflated(RECT r, int d) { return {r.left - d, r.top - d, r.right + d, r.bottom + d}; }

// What the screen shows over a rectangle, row by row.
std::vector<COLORREF> Grab(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    wt::DibCanvas canvas(w, h, RGB(0, 0, 0));
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.push_back(canvas.Pixel(x, y));
    return pixels;
}

COLORREF ScreenPixel(int x, int y) { return Grab({x, y, x + 1, y + 1})[0]; }

// Pixels of a rectangle of the screen that differ from a reference grab.
int Differences(const RECT& r, const std::vector<COLORREF>& reference) {
    const std::vector<COLORREF> now = Grab(r);
    int n = 0;
    for (size_t i = 0; i < now.size(); ++i)
        n += now[i] != reference[i];
    return n;
}

struct WindowQuery {
    DWORD pid;
    HWND found;
    bool finder;  // the 3 x 3 (or 1 x 1) finder instead of the main dialog
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<WindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid != q->pid || !IsWindowVisible(hWnd))
        return TRUE;
    RECT r = {};
    GetWindowRect(hWnd, &r);
    WCHAR title[128] = {};
    GetWindowTextW(hWnd, title, 128);
    const bool match = q->finder ? r.right - r.left <= 3 && r.bottom - r.top <= 3 : std::wstring(title) == kMainTitle;
    if (match) {
        q->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

class FinderEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-finder-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++counter_);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        exe_ = folder_ + L"\\vesk.exe";
        ini_ = folder_ + L"\\vesk.ini";
        ASSERT_TRUE(CopyFileW(ExePath().c_str(), exe_.c_str(), FALSE));
        wt::MouseAway();
        // A first run writes the defaults; the tests change them from there.
        HWND main = Start();
        ASSERT_NE(main, nullptr);
        Exit(main);
        profile::WriteValue(profile::kMiscSection, L"MouseCursor", 0, ini_.c_str());
        profile::WriteValue(profile::kMiscSection, L"SoundEffect", 0, ini_.c_str());
        profile::WriteValue(profile::kMiscSection, L"ToolTipEffect", 0, ini_.c_str());
        profile::WriteValue(profile::kFileSection, L"EditedChecked", 0, ini_.c_str());
        CreateWindows();
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
        if (host_)
            DestroyWindow(host_);
        UnregisterClassW(L"VeskFinderHost", GetModuleHandleW(nullptr));
        if (hostBrush_)
            DeleteObject(hostBrush_);
        wt::MouseAway();
    }

    // The button draws itself the same whatever its state (focus would
    // change a system button's look): bands of colour, all its own pixels.
    static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DRAWITEM) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            RECT band = item->rcItem;
            for (int i = 0; band.top < item->rcItem.bottom; ++i, band.top += 7) {
                band.bottom = band.top + 7;
                SetBkColor(item->hDC, RGB(40 * i % 256, 255 - 30 * i % 256, 90 + 50 * i % 166));
                ExtTextOutW(item->hDC, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
            }
            return TRUE;
        }
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
    void CreateWindows() {
        hostBrush_ = CreateSolidBrush(kHostColour);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = hostBrush_;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskFinderHost";
        RegisterClassW(&wc);
        host_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"host", WS_POPUP | WS_CLIPCHILDREN, kHostRect.left,
                                kHostRect.top, kHostRect.right - kHostRect.left, kHostRect.bottom - kHostRect.top,
                                nullptr, nullptr, wc.hInstance, nullptr);
        button_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, kButtonClient.left,
                                  kButtonClient.top, kButtonClient.right - kButtonClient.left,
                                  kButtonClient.bottom - kButtonClient.top, host_, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    }

    HWND Start() {
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe_ + L"\"";
        if (!CreateProcessW(exe_.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &si, &pi_))
            return nullptr;
        CloseHandle(pi_.hThread);
        pi_.hThread = nullptr;
        WindowQuery q = {pi_.dwProcessId, nullptr, false};
        WaitFor([&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
            return q.found != nullptr;
        });
        if (q.found) {
            WaitForInputIdle(pi_.hProcess, kPatienceMs);
            RECT main = {}, overlap = {};
            GetWindowRect(q.found, &main);
            EXPECT_FALSE(IntersectRect(&overlap, &main, &kHostRect)) << "the main dialog sits over the test window";
            // Our window above the dialog that just showed, without taking the focus.
            if (host_) {
                SetWindowPos(host_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
                wt::Settle(host_);
                // The compositor shows the repaint a little later; grab references only once it does.
                WaitFor([] {
                    return ScreenPixel(kHostRect.left + 2, kHostRect.top + 2) == kHostColour &&
                           ScreenPixel(kButtonRect.left + 2, kButtonRect.top + 2) == RGB(0, 255, 90);
                });
            }
        }
        return q.found;
    }
    void Exit(HWND main) {
        ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kExitCommand, 0));
        EXPECT_EQ(WaitForSingleObject(pi_.hProcess, kPatienceMs), WAIT_OBJECT_0);
        CloseHandle(pi_.hProcess);
        pi_ = {};
    }
    bool FinderShowing() const {
        WindowQuery q = {pi_.dwProcessId, nullptr, true};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
        return q.found != nullptr;
    }
    std::wstring Numbered(int n) const { return folder_ + L"\\Vesk_" + std::to_wstring(n) + L".bmp"; }
    bool LoadWhenWritten(const std::wstring& path, CDibImage& image) const {
        return WaitFor([&] { return Exists(path) && image.Load(path.c_str(), 0); });
    }
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

    std::wstring folder_, exe_, ini_;
    PROCESS_INFORMATION pi_ = {};
    HWND host_ = nullptr, button_ = nullptr;
    HBRUSH hostBrush_ = nullptr;
    static inline int counter_ = 0;
};

TEST_F(FinderEndToEnd, ClickCapturesTheButtonExactlyAndNoFrameIsLeft) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const RECT hostArea = Inflated(kButtonRect, kFrameReach);
    const std::vector<COLORREF> button = Grab(kButtonRect), host = Grab(hostArea);
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
    int wrong = 0;
    const int w = kButtonRect.right - kButtonRect.left, h = kButtonRect.bottom - kButtonRect.top;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // GetPixelColor counts rows from the bottom.
            const RGBQUAD c = image.GetPixelColor(x, h - 1 - y, false);
            wrong += RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) != button[y * w + x];
        }
    EXPECT_EQ(0, wrong) << "pixels of the capture that differ from the button";
    wt::MouseAway();
    EXPECT_EQ(0, Differences(hostArea, host));
    Exit(main);
}

TEST_F(FinderEndToEnd, EscapeEndsWithoutAFileAndWithoutAFrame) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    const RECT hostArea = Inflated(kButtonRect, kFrameReach);
    const std::vector<COLORREF> host = Grab(hostArea);
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
