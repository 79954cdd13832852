#include "ContinueTestSupport.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

namespace continuous_test {
namespace {

MessageBoxRecorder* g_recorder = nullptr;

// GDI+ for the whole run: the preview static renders text through it.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
[[maybe_unused]] auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace

CString MakeScratchFolder(LPCWSTR tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    CString folder;
    folder.Format(L"%svesk_continuous_%s_%lu_%d", temp, tag, GetCurrentProcessId(), serial++);
    CreateDirectoryW(folder.GetString(), nullptr);
    return folder;
}

HBITMAP MakeSolidBitmap(int width, int height, COLORREF colour) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    const int stride = (width * 3 + 3) & ~3;
    auto* row = static_cast<BYTE*>(bits);
    for (int y = 0; y < height; ++y, row += stride) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = GetBValue(colour);
            row[x * 3 + 1] = GetGValue(colour);
            row[x * 3 + 2] = GetRValue(colour);
        }
    }
    return bitmap;
}

MessageBoxRecorder::MessageBoxRecorder() {
    g_recorder = this;
    m_previous = AfxSetMessageBoxHook(&MessageBoxRecorder::Hook);
}

MessageBoxRecorder::~MessageBoxRecorder() {
    AfxSetMessageBoxHook(m_previous);
    g_recorder = nullptr;
}

int MessageBoxRecorder::Hook(HWND, LPCWSTR text, LPCWSTR, UINT) {
    if (g_recorder)
        g_recorder->texts.emplace_back(text ? text : L"");
    return IDOK;
}

}  // namespace continuous_test
