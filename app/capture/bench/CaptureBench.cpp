// Capture-to-file latency against the raw cost of the same work: copying the
// pixels (BitBlt plus reading them out) and writing as many bytes as the
// capture file holds. Run under the Wine session:
//   tests/wine/session wine <build>/app/capture/bench/capture_bench.exe
#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/regions/DynamicRegionWnd.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRuns = 9;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A screen-like picture: flat areas, gradients and fine detail.
struct Source {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
};
Source MakeSource(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    Source source;
    source.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            DWORD colour = 0x00F0F0F0;
            if (y < 40)
                colour = static_cast<DWORD>((x * 255 / width) << 8 | 0x40);
            else if ((x / 200 + y / 150) % 3 == 0)
                colour = ((x * 7 + y * 13) % 17 == 0) ? 0 : 0x00FFFFFF;
            pixels[static_cast<size_t>(y) * width + x] = colour;
        }
    source.dc = CreateCompatibleDC(nullptr);
    SelectObject(source.dc, source.bitmap);
    return source;
}

class Sink : public ICaptureSink {
public:
    void AddSavedFile(LPCWSTR) override {}
    void AddSavedBitmap(LPCWSTR, HBITMAP bitmap) override { DeleteObject(bitmap); }
    void ShowCaptureBalloon(LPCWSTR) override {}
    void ReportCaptureFailure(LPCWSTR message) override { fwprintf(stderr, L"failure: %ls\n", message); }
    void OnSeriesComplete() override {}
};

CCaptureEngine* g_engine = nullptr;
bool g_done = false;
LRESULT CALLBACK DoneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CAPTURE_DONE) {
        g_engine->OnCaptureDone(static_cast<int>(lParam));
        g_done = true;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void WaitDone() {
    MSG msg;
    while (!g_done && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    g_done = false;
}

long long FileSize(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.GetString(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Hands a live region's copy to the engine, as the main dialog does.
class RegionHost : public IRegionCaptureHost {
public:
    explicit RegionHost(CCaptureEngine& engine) : m_engine(engine) {}
    RegionCaptureOptions GetRegionCaptureOptions() const override {
        RegionCaptureOptions options;
        options.magnifierEffect = false;
        return options;
    }
    void StartRegionCapture(HDC source, const RECT& rect, HBITMAP bitmap, POINT releasedAt) override {
        m_engine.StartCapture(source, rect, FALSE, false, 0, bitmap, &releasedAt);
    }
    void OnRegionWindowGone(CWnd*) override {}

private:
    CCaptureEngine& m_engine;
};

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
}

// BitBlt into a compatible bitmap, read the pixels out, write `bytes` bytes.
double RawCost(HDC source, int width, int height, long long bytes, const CString& path) {
    const double start = Now();
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<BYTE> pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height + 64);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    pixels.resize(static_cast<size_t>(bytes));
    HANDLE file = CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(file);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return Now() - start;
}
}  // namespace

int wmain() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    CString folder;
    folder.Format(L"%svesk_capture_bench_%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(folder.GetString(), nullptr);

    COpFilePropertyPage file;
    COpWatermarkPropertyPage watermark;
    COpContinuePage misc;
    file.Directory = folder;
    file.FileName = L"Bench";
    CCaptureEngine engine(file, watermark, misc);
    g_engine = &engine;
    Sink sink;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DoneProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VeskCaptureBench";
    RegisterClassW(&wc);
    HWND done = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    engine.Attach(done, &sink);

    const int width = 1920, height = 1080;
    const LPCWSTR types[] = {L"bmp", L"png"};
    wprintf(L"capture-to-file latency, %dx%d from a memory DC, median of %d runs\n", width, height, kRuns);
    for (LPCWSTR type : types) {
        file.FileType = type;
        std::vector<double> capture, raw;
        for (int run = 0; run < kRuns; ++run) {
            Source source = MakeSource(width, height);
            CString path;
            path.Format(L"%s\\Bench_%d.%s", folder.GetString(), file.FileCount, type);
            const double start = Now();
            engine.StartCapture(source.dc, RECT{0, 0, width, height}, FALSE, false, 0, source.bitmap);
            WaitDone();
            capture.push_back(Now() - start);

            Source again = MakeSource(width, height);
            CString rawPath = folder + L"\\raw.bin";
            raw.push_back(RawCost(again.dc, width, height, FileSize(path), rawPath));
            DeleteDC(again.dc);
            DeleteObject(again.bitmap);
            DeleteFileW(rawPath.GetString());
            DeleteFileW(path.GetString());
        }
        const double c = Median(capture), r = Median(raw);
        wprintf(L"%-4ls capture %8.1f ms   raw %8.1f ms   ratio %5.2f\n", type, c, r, c / r);
    }

    // The real screen, as the full-screen command takes it.
    file.FileType = L"bmp";
    std::vector<double> screen;
    for (int run = 0; run < kRuns; ++run) {
        const double start = Now();
        engine.StartFullScreenCapture();
        WaitDone();
        screen.push_back(Now() - start);
    }
    wprintf(L"full screen %dx%d bmp: capture %.1f ms\n", GetSystemMetrics(SM_CXSCREEN),
            GetSystemMetrics(SM_CYSCREEN), Median(screen));

    // A live drag-mode region, from the release to the file: what the user waits
    // for. The press and the move go to the window as its pointer window forwards them.
    // Over the whole screen no corner is left for the screen mark outside the selection.
    RegionHost host(engine);
    const RECT regions[] = {{101, 101, 899, 699}, {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}};
    for (const RECT& region : regions) {
        std::vector<double> live;
        for (int run = 0; run < kRuns; ++run) {
            CDynamicRegionWnd* wnd = CDynamicRegionWnd::Open(&host, false);
            if (!wnd) {
                fwprintf(stderr, L"failure: no region window\n");
                break;
            }
            const HWND hWnd = wnd->m_hWnd;
            PumpFor(300);
            SendMessageW(hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(region.left - 1, region.top - 1));
            SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(region.right + 1, region.bottom + 1));
            const double start = Now();
            PostMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(region.right + 1, region.bottom + 1));
            WaitDone();
            live.push_back(Now() - start);
            PumpFor(100);
        }
        if (!live.empty())
            wprintf(L"live region %ldx%ld bmp: release to file %.1f ms\n", region.right - region.left,
                    region.bottom - region.top, Median(live));
    }

    engine.JoinAll();
    DestroyWindow(done);
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
