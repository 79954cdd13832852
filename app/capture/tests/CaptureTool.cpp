// Writes captures for the PIL witness (check_capture_pil.py): the cursor
// file and one capture of a known picture in every capture format.
//   capture_tool.exe FOLDER
#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/CursorCapture.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"

#include <cstdio>

namespace {
// The same picture the witness expects: four quadrants on 64 x 48.
DWORD Quadrant(int x, int y) {
    if (y < 24)
        return x < 32 ? 0x00FF0000 : 0x0000FF00;
    return x < 32 ? 0x000000FF : 0x00FFFFFF;
}

class ReportingSink : public ICaptureSink {
public:
    void AddSavedFile(LPCWSTR) override {}
    void AddSavedBitmap(LPCWSTR, HBITMAP bitmap) override { DeleteObject(bitmap); }
    void ShowCaptureBalloon(LPCWSTR) override {}
    void ReportCaptureFailure(LPCWSTR message) override {
        fwprintf(stderr, L"%ls\n", message);
        failed = true;
    }
    void OnSeriesComplete() override {}
    bool failed = false;
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: capture_tool FOLDER\n");
        return 2;
    }
    const CString folder = argv[1];
    CString path, failure;
    if (!CaptureCursorToFile(folder, path, failure)) {
        fwprintf(stderr, L"%ls\n", failure.GetString());
        return 1;
    }

    COpFilePropertyPage file;
    COpWatermarkPropertyPage watermark;
    COpContinuePage misc;
    file.Directory = folder;
    file.FileName = L"Vesk";
    CCaptureEngine engine(file, watermark, misc);
    ReportingSink sink;
    engine.Attach(nullptr, &sink);
    const LPCWSTR types[] = {L"bmp", L"gif", L"png", L"jpg", L"tif", L"ico"};
    for (LPCWSTR type : types) {
        file.FileType = type;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 64;
        info.bmiHeader.biHeight = -48;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap)
            return 1;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                static_cast<DWORD*>(bits)[y * 64 + x] = Quadrant(x, y);
        HDC dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bitmap);
        if (!engine.StartCapture(dc, RECT{0, 0, 64, 48}, FALSE, false, 0, bitmap))
            return 1;
    }
    // No window: JoinAll gathers the workers.
    engine.JoinAll();
    return sink.failed ? 1 : 0;
}
