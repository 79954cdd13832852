#include "ContinueTestSupport.h"

namespace continuous_test {
namespace {

MessageBoxRecorder* g_recorder = nullptr;

}  // namespace

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
