// Drives vesk.exe through its capture commands: a window of ours with a known
// colour on the screen, commands posted to the main dialog, and the files that
// land in the capture folder. Every wait is bounded so that a broken program
// fails the test instead of hanging it.
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/ProcessThreads.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"
#include "WidgetTestUtil.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <cstdio>
#include <cstring>

#include <functional>
#include <algorithm>
#include <string>

namespace {

using namespace vesk_test;

constexpr UINT kCursorCommand = 32784;
constexpr UINT kDynamicRegionCommand = 32822;
constexpr UINT kControlCommand = 32786;
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
    void Exit(HWND main, const wchar_t* question = nullptr) { EXPECT_EQ(run_.Exit(main, nullptr, question), 0u); }
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
    ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(FindControl(main, 1006)) == 1; })) << wt::ItemCount(FindControl(main, 1006)) << " DCs";
    Exit(main, L"캡쳐가 1개");
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

void ClickAt(POINT p) {
    wt::MouseMove(p.x, p.y);
    wt::MouseDown();
    wt::MouseUp();
}

POINT Centre(HWND hWnd) {
    RECT r = {};
    GetWindowRect(hWnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ClickCentre(HWND hWnd) {
    RECT r;
    GetWindowRect(hWnd, &r);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text)
        for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            SendInput(1, &in, sizeof in);
        }
}

// The list view of a pane (1005 saved files, 1006 saved DCs) in the main dialog's tabs.
HWND PaneList(HWND main, int id) {
    HWND tabs = GetDlgItem(main, 1012);
    for (HWND pane = tabs ? FindWindowExW(tabs, nullptr, nullptr, nullptr) : nullptr; pane;
         pane = FindWindowExW(tabs, pane, nullptr, nullptr))
        if (HWND list = GetDlgItem(pane, id))
            return list;
    return nullptr;
}

// An item's rectangle on the screen, asked of the list in its own process.
bool ItemScreenRect(HANDLE process, HWND list, int index, RECT& rect) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return false;
    RECT asked = {LVIR_BOUNDS, 0, 0, 0};
    DWORD_PTR ok = 0;
    const bool read = WriteProcessMemory(process, remote, &asked, sizeof asked, nullptr) &&
                      SendMessageTimeoutW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                                          kPatienceMs, &ok) &&
                      ok && ReadProcessMemory(process, remote, &rect, sizeof rect, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (read)
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return read;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

// Closes the box the way its OK button does; returns once it has gone.
bool CloseMessageBox(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitFor([&] { return !IsWindow(box); });
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
    ASSERT_TRUE(WaitFor([&] { return (button = FindDescendant(main, kFullScreenToolButton)) != nullptr; })) << "no full-screen button";
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
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); })) << "the dialog stayed shown";

    // The command restores the dialog from the tray and opens the tab; a second one reuses it.
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kWebPageCommand, 0));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && FindDescendant(main, kWebCaptureButton); }))
        << "dialog shown " << IsWindowVisible(main) << ", no capture button";
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kWebPageCommand, 0));
    HWND message = FindDescendant(main, kWebMessage);
    ASSERT_NE(message, nullptr);
    // No HTML engine here: the tab says so once its wait for a document is over.
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(message) != FALSE; })) << "the tab's message never showed";
    EXPECT_NE(WindowText(message).find(L"HTML 엔진"), std::wstring::npos);
    EXPECT_EQ(CountDescendants(main, kWebCaptureButton), 1);

    Exit(main);
}

constexpr UINT kSaveAsCommand = 32936;
constexpr UINT kWebImageCommand = 32782;
constexpr wchar_t kSaveFailure[] = L"캡쳐한 파일을 저장하지 못했습니다";

bool IsFileDialog(HWND hWnd) {
    return IsWindowVisible(hWnd) && GetDlgItem(hWnd, cmb1) && (GetDlgItem(hWnd, cmb13) || GetDlgItem(hWnd, edt1));
}

// A JPEG by its own markers: start of image first, end of image last.
bool IsPngFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char head[8] = {};
    DWORD read = 0;
    const bool ok = ReadFile(file, head, 8, &read, nullptr) && read == 8 && memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0;
    CloseHandle(file);
    return ok;
}

// What PIL reads in `path`: "JPEG 1280x1024", "no PIL" when it is not
// installed, empty when it could not be asked. Wine starts the host's Python
// but keeps no exit code for it, so the answer comes back in a file.
std::wstring PilDescription(const std::wstring& path) {
    const std::wstring answer = path + L".pil";
    const std::wstring in = UnixPath(path), out = UnixPath(answer);
    if (in.empty() || out.empty())
        return std::wstring();
    std::wstring command =
        L"/usr/bin/python3 -c \"import sys, importlib.util as u; ok = u.find_spec('PIL'); "
        L"im = __import__('PIL.Image').Image.open(sys.argv[1]) if ok else None; "
        L"open(sys.argv[2], 'w').write('%s %dx%d' % (im.format, im.size[0], im.size[1]) if im else 'no PIL')\" \"" +
        in + L"\" \"" + out + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return std::wstring();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string text;
    WaitFor([&] {
        HANDLE file = CreateFileW(answer.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        char buffer[64] = {};
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
        CloseHandle(file);
        text.assign(buffer, read);
        return !text.empty();
    });
    return std::wstring(text.begin(), text.end());
}

// A name typed without an extension is saved as the type chosen in the
// dialog: PNG, not the first type, JPG, which is also the default extension.
TEST_F(CaptureEndToEnd, SaveAsWithABareNameWritesTheChosenType) {
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ShowWindow(driver_, SW_HIDE);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage captured;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), captured));
    HWND files = PaneList(main, 1005);
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(WaitFor([&] { return wt::ItemCount(files) == 1; })) << wt::ItemCount(files) << " files listed";
    RECT item = {};
    ASSERT_TRUE(ItemScreenRect(run_.process(), files, 0, item));
    ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    run_.WaitUntilIdle(main);

    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kSaveAsCommand, 0));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = run_.FindWindowIf(IsFileDialog)) != nullptr; })) << "no save dialog";
    EXPECT_EQ(SendDlgItemMessageW(dialog, cmb1, CB_GETCURSEL, 0, 0), 0) << "JPG is the first type";
    SetForegroundWindow(dialog);
    ASSERT_TRUE(WaitFor([&] {
        HWND focus = wt::FocusOf(dialog);
        return focus && (GetDlgCtrlID(focus) == edt1 || GetDlgCtrlID(GetParent(focus)) == cmb13);
    })) << "the focus stayed on " << wt::FocusOf(dialog);
    TypeText(folder_ + L"\\shot");
    // PNG picked from the opened type list, then the Save button clicked.
    HWND types = GetDlgItem(dialog, cmb1);
    ASSERT_TRUE(XMove(Centre(types).x, Centre(types).y) && XClick());
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(types, CB_GETDROPPEDSTATE, 0, 0) != 0; })) << "the type list never opened";
    ASSERT_TRUE(XDo(L"key Down Return"));
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(types, CB_GETCURSEL, 0, 0) == 1; }))
        << "type " << SendMessageW(types, CB_GETCURSEL, 0, 0) << " chosen";
    HWND save = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(XMove(Centre(save).x, Centre(save).y) && XClick());
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the save dialog stayed";

    const std::wstring png = folder_ + L"\\shot.png";
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return Exists(png) || (box = run_.FindMessageBox()) != nullptr; })) << "neither the file nor a message box";
    ASSERT_EQ(box, nullptr) << "save failed: " << Utf8(MessageBoxText(box));
    CDibImage saved;
    ASSERT_TRUE(LoadWhenWritten(png, saved));
    EXPECT_TRUE(IsPngFile(png));
    EXPECT_FALSE(Exists(folder_ + L"\\shot.jpg"));
    EXPECT_EQ(saved.GetWidth(), captured.GetWidth());
    EXPECT_EQ(saved.GetHeight(), captured.GetHeight());
    // An independent reader agrees.
    const std::wstring pil = PilDescription(png);
    if (pil == L"no PIL")
        std::printf("PIL not installed: the file was checked by its signature alone\n");
    else
        EXPECT_EQ(pil, L"PNG " + std::to_wstring(captured.GetWidth()) + L"x" + std::to_wstring(captured.GetHeight()));
    Exit(main);
}

// A path too long for one line of the screen is broken, so the whole box shows.
TEST_F(CaptureEndToEnd, AFailureBoxWithALongPathFitsTheScreen) {
    const std::wstring missing = folder_ + L"\\" + std::wstring(300, L'x');
    profile::WriteValue(profile::kFileSection, L"Directory", missing.c_str(), ini_.c_str());
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = run_.FindMessageBox()) != nullptr; })) << "no message box";
    std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(L"경로가 너무 깁니다"), std::wstring::npos);
    text.erase(std::remove(text.begin(), text.end(), L'\n'), text.end());
    EXPECT_NE(text.find(missing), std::wstring::npos) << "the path is shown whole";
    RECT r = {};
    GetWindowRect(box, &r);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(CloseMessageBox(box));
    Exit(main);
}

// Captures that fail while the box of an earlier failure is open are reported
// once it closes.
TEST_F(CaptureEndToEnd, FailuresWhileAFailureBoxIsOpenAreAllReported) {
    // A folder that cannot be made: a file stands in its place.
    const std::wstring unmade = folder_ + L"\\vesk.ini\\missing";
    profile::WriteValue(profile::kFileSection, L"Directory", unmade.c_str(), ini_.c_str());
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ShowWindow(driver_, SW_HIDE);
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    HWND first = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (first = run_.FindMessageBox()) != nullptr; })) << "no message box";
    EXPECT_NE(MessageBoxText(first).find(unmade), std::wstring::npos);

    // Three more captures, as the tray menu posts them, while the box is open.
    const DWORD pid = GetProcessId(run_.process());
    const int threads = vesk_test::ThreadsOf(pid);
    for (int n = 0; n < 3; ++n)
        ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    // The queue is handled in order: once the web image window shows, the
    // captures have started; once their workers are gone and the window is
    // hidden again, their reports have reached the dialog.
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kWebImageCommand, 0));
    HWND webImage = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (webImage = run_.FindOwnWindow(L"웹 이미지")) && IsWindowVisible(webImage); }))
        << "the web image window never showed";
    ASSERT_TRUE(WaitFor([&] { return vesk_test::ThreadsOf(pid) <= threads; })) << vesk_test::ThreadsOf(pid) << " threads";
    ASSERT_TRUE(PostMessageW(webImage, WM_COMMAND, IDCANCEL, 0));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(webImage); })) << "the web image window stayed";
    EXPECT_TRUE(IsWindow(first));

    ASSERT_TRUE(CloseMessageBox(first));
    HWND next = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (next = run_.FindMessageBox()) != nullptr; }))
        << "the failures made while the box was open were not reported";
    const std::wstring text = MessageBoxText(next);
    // The three say the same: once, counted.
    EXPECT_EQ(text.find(L"캡쳐 3개가 실패했습니다."), 0u) << Utf8(text.c_str());
    EXPECT_NE(text.find(unmade), std::wstring::npos);
    ASSERT_TRUE(CloseMessageBox(next));
    Exit(main);
}

// Captures kept in memory stop with a message before the address space runs
// out; what is kept stays, and capturing into files goes on.
TEST_F(CaptureEndToEnd, CapturesKeptInMemoryAreRefusedBeforeTheAddressSpaceRunsOut) {
    // The address space left above the program's reserve, so that the limit
    // comes after a few captures: a setting of the test build alone.
    ASSERT_TRUE(CopyFileW(BuiltExePath(true).c_str(), run_.exe().c_str(), FALSE));
    SetEnvironmentVariableW(L"VESK_TEST_ADDRESS_HEADROOM_MB", L"40");
    HWND main = Start();
    SetEnvironmentVariableW(L"VESK_TEST_ADDRESS_HEADROOM_MB", nullptr);
    ASSERT_NE(main, nullptr);
    HWND dcs = PaneList(main, 1006);
    ASSERT_NE(dcs, nullptr);
    ASSERT_TRUE(PostMessageW(main, kSetSaveTarget, 0, 1));
    int kept = 0;
    HWND box = nullptr;
    for (int n = 0; n < 40 && !box; ++n) {
        ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        ASSERT_TRUE(WaitFor([&] {
            return wt::ItemCount(dcs) > kept || (box = run_.FindMessageBox()) != nullptr;
        })) << wt::ItemCount(dcs) << " saved DCs, no message box";
        kept = wt::ItemCount(dcs);
    }
    ASSERT_NE(box, nullptr) << "all " << kept << " captures were kept";
    EXPECT_GT(kept, 0);
    const std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(L"가득 찼습니다"), std::wstring::npos);
    EXPECT_NE(text.find(L"파일로 저장"), std::wstring::npos);
    EXPECT_NE(text.find(L"\"저장된 파일\" 탭"), std::wstring::npos);
    ASSERT_TRUE(CloseMessageBox(box));
    EXPECT_EQ(wt::ItemCount(dcs), kept);

    // Refused inside a capture window that holds the mouse: the dynamic
    // region's release over the whole screen, the control finder's click on
    // the desktop. The box takes a real click, and the program works on.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const POINT desktop = {60, height - 60};  // no window lies there
    const auto shownWithSize = [&](int w, int h) {
        return run_.FindWindowIf([=](HWND hWnd) {
            RECT r = {};
            return IsWindowVisible(hWnd) && GetWindowRect(hWnd, &r) && r.right - r.left == w && r.bottom - r.top == h;
        });
    };
    const std::function<bool()> captures[] = {
        [&] {
            return PostMessageW(main, WM_COMMAND, kDynamicRegionCommand, 0) &&
                   WaitFor([&] { return shownWithSize(width, height) != nullptr; }) && XMove(5, 5) &&
                   XDo(L"mousedown 1") && XSweep({5, 5}, {width - 5, height - 5}) && XDo(L"mouseup 1");
        },
        [&] {
            return XMove(desktop.x, desktop.y) && PostMessageW(main, WM_COMMAND, kControlCommand, 0) &&
                   WaitFor([&] { return shownWithSize(3, 3) != nullptr; }) && XClick();
        },
    };
    for (const auto& capture : captures) {
        SCOPED_TRACE(&capture == captures ? "dynamic region release" : "control finder click");
        ASSERT_TRUE(capture());
        ASSERT_TRUE(WaitFor([&] { return (box = run_.FindMessageBox()) != nullptr; })) << "no message box";
        EXPECT_NE(MessageBoxText(box).find(L"가득 찼습니다"), std::wstring::npos);
        // No window may keep the mouse while the box is up: on Windows the
        // one holding it (the hidden pointer window) would take the click.
        GUITHREADINFO thread = {};
        thread.cbSize = sizeof thread;
        ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &thread));
        EXPECT_EQ(thread.hwndCapture, nullptr) << "a capture window keeps the mouse from the box";
        ASSERT_TRUE(XAnswer(box, IDOK)) << "the box took no click";
        ASSERT_TRUE(WaitFor([&] { return !shownWithSize(width, height) && !shownWithSize(3, 3); }))
            << "the capture window stayed";
        EXPECT_EQ(WaitForSingleObject(run_.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(wt::ItemCount(dcs), kept);
    }

    ASSERT_TRUE(PostMessageW(main, kSetSaveTarget, 0, 0));
    ASSERT_TRUE(PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
    CDibImage image;
    ASSERT_TRUE(LoadWhenWritten(Numbered(0, L"bmp"), image));
    EXPECT_EQ(wt::ItemCount(dcs), kept);
    Exit(main, (L"캡쳐가 " + std::to_wstring(kept) + L"개").c_str());
}

}  // namespace
