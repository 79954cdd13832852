#include "app/tools/watermark/WatermarkConversion.h"

#include "app/capture/CaptureJob.h"
#include "app/capture/ScopedGdi.h"
#include "image/DibImage.h"

#include <algorithm>

namespace {
// Larger pictures are refused rather than half-allocated by GDI+.
constexpr long long kMaxPixels = 1LL << 28;

bool FileExists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

CString Reason(LPCWSTR what, const char* detail) {
    CString text(what);
    if (detail && *detail)
        text += L" (" + CString(detail) + L")";
    return text;
}
}  // namespace

WatermarkFileJob::~WatermarkFileJob() {
    if (watermark.bitmap)
        DeleteObject(watermark.bitmap);
}

CString FileNamePart(const CString& path) {
    const int slash = std::max(path.ReverseFind(L'\\'), path.ReverseFind(L'/'));
    return path.Mid(slash + 1);
}

CString WatermarkTargetPath(const CString& folder, const CString& source) {
    const CString name = FileNamePart(source);
    CString target = folder + L"\\wm_" + name;
    if (!FileExists(target))
        return target;
    const int dot = name.ReverseFind(L'.');
    const CString stem = dot < 0 ? name : name.Left(dot);
    const CString extension = dot < 0 ? CString() : name.Mid(dot);
    for (int n = 2; n < 10000; ++n) {
        target.Format(L"%s\\wm_%s (%d)%s", folder.GetString(), stem.GetString(), n, extension.GetString());
        if (!FileExists(target))
            return target;
    }
    return CString();
}

bool ComposeWatermark(CDibImage& image, const WatermarkParams& params, const WatermarkBitmap& watermark,
                      bool keyColour) {
    const int width = static_cast<int>(image.GetWidth());
    const int height = static_cast<int>(image.GetHeight());
    ScopedBitmapHandle picture(image.MakeBitmap());
    gdip::ScopedBitmap canvas;
    if (!picture.Get() || gdip::GdipCreateBitmapFromHBITMAP(picture.Get(), nullptr, canvas.Out()) != gdip::Ok)
        return false;
    picture.Reset();
    const RECT all = {0, 0, width, height};
    ApplyWatermark(canvas.Get(), params, watermark.bitmap, watermark.width, watermark.height, true, keyColour, all);
    HBITMAP composed = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(canvas.Get(), &composed, 0xFF000000) != gdip::Ok)
        return false;
    ScopedBitmapHandle owned(composed);
    return image.CreateFromHBITMAP(owned.Get());
}

bool ConvertWatermarkFile(WatermarkFileJob& job) {
    CString extension = GetFileExtension(FileNamePart(job.source));
    extension.MakeLower();
    CDibImage image;
    if (!image.Load(job.source, CDibImage::GetTypeIdFromName(extension))) {
        job.failure = Reason(L"그림을 읽지 못했습니다.", image.GetLastError());
        return false;
    }
    if (static_cast<long long>(image.GetWidth()) * image.GetHeight() > kMaxPixels) {
        job.failure = L"그림이 너무 큽니다.";
        return false;
    }
    // The decoder that read the file names its real format, whatever the extension says.
    DWORD formatId = image.GetType();
    if (formatId == CDibImage::kFormatUnknown)
        formatId = CDibImage::GetTypeIdFromName(extension);

    if (!ComposeWatermark(image, job.params, job.watermark, job.keyColour)) {
        job.failure = Reason(L"워터마크를 넣지 못했습니다.", image.GetLastError());
        return false;
    }
    if (!PrepareForFormat(image, formatId)) {
        job.failure = Reason(L"그림을 변환하지 못했습니다.", image.GetLastError());
        return false;
    }
    job.target = WatermarkTargetPath(job.folder, job.source);
    if (job.target.IsEmpty()) {
        job.failure = L"저장할 파일 이름이 없습니다.";
        return false;
    }
    if (!image.Save(job.target, formatId)) {
        job.failure = Reason(L"파일을 저장하지 못했습니다.", image.GetLastError());
        job.target.Empty();
        return false;
    }
    return true;
}
