#include "app/capture/CursorCapture.h"

#include "app/AppStrings.h"
#include "app/capture/CaptureJob.h"
#include "app/capture/ScopedGdi.h"
#include "image/DibImage.h"
#include "resources/resource.h"

namespace {
constexpr int kCursorSize = 32;
constexpr COLORREF kBackground = RGB(255, 0, 255);
}  // namespace

bool CaptureCursorToFile(const CString& directory, CString& path, CString& failure) {
    path.Format(L"%s\\Cursor.cur", directory.GetString());
    if (path.GetLength() >= MAX_PATH) {
        failure.Format(L"%s\n%s", LoadResString(IDS_CAPTURE_PATH_TOO_LONG).GetString(), path.GetString());
        return false;
    }
    CDibImage image;
    {
        HDC screen = GetDC(nullptr);
        ScopedMemoryDc memory(screen);
        ScopedBitmapHandle bitmap(CreateCompatibleBitmap(screen, kCursorSize, kCursorSize));
        ReleaseDC(nullptr, screen);
        if (!memory.Get() || !bitmap.Get()) {
            failure.Format(L"커서를 캡쳐하지 못했습니다.\n%s", path.GetString());
            return false;
        }
        {
            ScopedSelect select(memory.Get(), bitmap.Get());
            ScopedBrush fill(CreateSolidBrush(kBackground));
            const RECT all = {0, 0, kCursorSize, kCursorSize};
            FillRect(memory.Get(), &all, fill.Get());
            CURSORINFO info = {};
            info.cbSize = sizeof(info);
            if (GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) && info.hCursor) {
                ScopedIcon copy(CopyIcon(info.hCursor));
                if (copy.Get())
                    DrawIcon(memory.Get(), 0, 0, copy.Get());
            }
        }
        if (!image.CreateFromHBITMAP(bitmap.Get())) {
            failure.Format(L"커서를 캡쳐하지 못했습니다.\n%s", path.GetString());
            return false;
        }
    }
    if (!image.DecreaseBpp(8, false)) {
        failure.Format(L"커서를 캡쳐하지 못했습니다.\n%s", path.GetString());
        return false;
    }
    // The magenta fill, wherever the cursor left it, is the transparent part.
    RGBQUAD magenta = {};
    magenta.rgbRed = 255;
    magenta.rgbBlue = 255;
    image.SetTransIndex(image.GetNearestIndex(magenta));
    if (!MakeSaveFolder(directory, failure))
        return false;
    CString reason;
    if (!SaveImageFile(image, path, CDibImage::kFormatIco, reason)) {
        failure.Format(L"커서 파일을 저장하지 못했습니다.\n%s\n(%s)", path.GetString(), reason.GetString());
        return false;
    }
    return true;
}
