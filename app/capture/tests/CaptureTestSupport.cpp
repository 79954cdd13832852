#include "CaptureTestSupport.h"

#include "app/AppMessages.h"
#include "image/DibImage.h"

#include <gtest/gtest.h>

namespace capture_test {
namespace {
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
const auto* const gdiplusEnvironment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);
}  // namespace

CString MakeScratchFolder(LPCWSTR tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    CString folder;
    folder.Format(L"%svesk_capture_%s_%lu_%d", temp, tag, GetCurrentProcessId(), serial++);
    CreateDirectoryW(folder.GetString(), nullptr);
    return folder;
}

MemorySource MakeSource(int width, int height, DWORD (*pixel)(int x, int y)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    MemorySource source;
    source.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!source.bitmap)
        return source;
    auto* row = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            row[y * width + x] = pixel(x, y);
    GdiFlush();
    source.dc = CreateCompatibleDC(nullptr);
    SelectObject(source.dc, source.bitmap);
    return source;
}

RecordingSink::~RecordingSink() {
    for (HBITMAP bitmap : m_bitmaps)
        if (bitmap)
            DeleteObject(bitmap);
}

void RecordingSink::AddSavedFile(LPCWSTR path) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_files.push_back(path);
}

void RecordingSink::AddSavedBitmap(LPCWSTR label, HBITMAP bitmap) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_labels.push_back(label);
    if (keepBitmaps) {
        m_bitmaps.push_back(bitmap);
    } else {
        DeleteObject(bitmap);
        m_bitmaps.push_back(nullptr);
    }
}

void RecordingSink::ShowCaptureBalloon(LPCWSTR) {}

void RecordingSink::ReportCaptureFailure(LPCWSTR message) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failures.push_back(message);
}

void RecordingSink::OnSeriesComplete() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_series;
}

std::vector<std::wstring> RecordingSink::Files() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_files;
}

std::vector<std::wstring> RecordingSink::Labels() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_labels;
}

std::vector<std::wstring> RecordingSink::Failures() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failures;
}

int RecordingSink::SeriesCompletions() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_series;
}

HBITMAP RecordingSink::TakeBitmap(size_t index) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index >= m_bitmaps.size())
        return nullptr;
    return std::exchange(m_bitmaps[index], nullptr);
}

DoneWindow::DoneWindow(CCaptureEngine& engine) : m_engine(engine) {
    static const wchar_t* const kClass = L"VeskCaptureTestDone";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DoneWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    m_hwnd = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DoneWindow::~DoneWindow() {
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

LRESULT CALLBACK DoneWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CAPTURE_DONE) {
        auto* self = reinterpret_cast<DoneWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self)
            return self->m_engine.OnCaptureDone(static_cast<int>(lParam));
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool DoneWindow::WaitForAll() {
    for (int round = 0; round < 600; ++round) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (m_engine.GetBusySlotCount() == 0)
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return false;
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

DWORD PixelAt(const CDibImage& image, int x, int y) {
    const RGBQUAD colour = image.GetPixelColor(x, static_cast<int>(image.GetHeight()) - 1 - y, false);
    return static_cast<DWORD>(colour.rgbRed) << 16 | static_cast<DWORD>(colour.rgbGreen) << 8 | colour.rgbBlue;
}

}  // namespace capture_test
