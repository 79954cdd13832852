#include "app/tools/watermark/WatermarkConversion.h"

#include "app/capture/CaptureJob.h"
#include "app/capture/ScopedGdi.h"
#include "image/DibImage.h"
#include "image/Quantizer.h"
#include "image/formats/DibImageGIF.h"
#include "image/streams/FileStream.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {
// Larger pictures are refused rather than half-allocated by GDI+.
constexpr long long kMaxPixels = 1LL << 28;
// Every frame of an animation is held at 8 bits until the file is written.
constexpr long long kMaxGifPixels = 1LL << 28;

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
    // GDI+ cannot draw onto a palette bitmap: the mark is laid on in true colour.
    if (image.GetBpp() < 24 && !image.IncreaseBpp(24))
        return false;
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

namespace {

// The transparent pixels of a GIF picture, each with the colour it hides. The
// reader marks them by a palette index, or by an alpha plane once frames with
// other palettes made the picture true colour.
struct TransparentPixels {
    std::vector<RGBQUAD> hidden;  // per pixel; alpha 255 marks a visible one
    bool any = false;
    bool byIndex = false;
    RGBQUAD colour = {};  // what the transparent entry of the new palette holds
};

TransparentPixels ReadTransparentPixels(const CDibImage& picture) {
    TransparentPixels transparent;
    const int32_t width = static_cast<int32_t>(picture.GetWidth());
    const int32_t height = static_cast<int32_t>(picture.GetHeight());
    const int32_t transIndex = picture.IsIndexed() ? picture.GetTransIndex() : -1;
    transparent.byIndex = transIndex >= 0 && static_cast<DWORD>(transIndex) < picture.GetNumColors();
    const bool byAlpha = !picture.IsIndexed() && picture.AlphaIsValid();
    if (!transparent.byIndex && !byAlpha)
        return transparent;
    if (transparent.byIndex)
        transparent.colour = picture.GetPaletteColor(static_cast<DWORD>(transIndex));
    transparent.hidden.assign(static_cast<size_t>(width) * static_cast<size_t>(height), RGBQUAD{0, 0, 0, 255});
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool isTransparent =
                transparent.byIndex ? picture.GetPixelIndex(x, y) == transIndex : picture.AlphaGet(x, y) == 0;
            if (!isTransparent)
                continue;
            RGBQUAD colour = picture.GetPixelColor(x, y, false);
            colour.rgbReserved = 0;
            transparent.hidden[static_cast<size_t>(y) * width + x] = colour;
            transparent.any = true;
        }
    return transparent;
}

// The transparent pixels the mark left alone, read from the marked picture
// before its reduction: a pixel the mark changed no longer shows the colour
// it hid. Without a palette index, the new transparent entry takes one of
// those colours.
std::vector<bool> UnmarkedTransparentPixels(const CDibImage& picture, TransparentPixels& transparent) {
    const int32_t width = static_cast<int32_t>(picture.GetWidth());
    const int32_t height = static_cast<int32_t>(picture.GetHeight());
    std::vector<bool> unmarked(static_cast<size_t>(width) * static_cast<size_t>(height), false);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = static_cast<size_t>(y) * width + x;
            const RGBQUAD was = transparent.hidden[at];
            if (was.rgbReserved)
                continue;
            const RGBQUAD now = picture.GetPixelColor(x, y, false);
            unmarked[at] = now.rgbRed == was.rgbRed && now.rgbGreen == was.rgbGreen && now.rgbBlue == was.rgbBlue;
            if (unmarked[at] && !transparent.byIndex)
                transparent.colour = was;
        }
    return unmarked;
}

// A true-colour picture reduced to 8 bits with a palette of its own, one entry
// left free when asked; the number of colours used, 0 on failure.
DWORD ReduceToOwnPalette(CDibImage& picture, bool keepEntryFree) {
    CQuantizer quantizer(7, keepEntryFree ? 255 : 256);
    if (!quantizer.ProcessImage(picture.GetDIB())) {
        picture.SetLastErrorText("cannot build a palette");
        return 0;
    }
    RGBQUAD palette[256] = {};
    quantizer.SetColorTable(palette);
    const DWORD colours = std::max<DWORD>(quantizer.GetLeafCount(), 1);
    return picture.DecreaseBpp(8, true, palette, colours) ? colours : 0;
}

// One picture of a GIF (a frame as the reader composes it) with the mark laid
// on in true colour and reduced again to a palette of its own, keeping its
// delay and disposal. Transparent pixels the mark left alone stay transparent;
// the transparent colour gets an entry of its own, so no visible pixel can
// turn transparent.
bool WatermarkGifPicture(CDibImage& picture, const WatermarkFileJob& job) {
    const DWORD delay = picture.GetFrameDelay();
    const BYTE disposal = picture.GetDisposalMethod();
    TransparentPixels transparent = ReadTransparentPixels(picture);
    if (!ComposeWatermark(picture, job.params, job.watermark, job.keyColour))
        return false;
    if (picture.GetBpp() != 24 && !picture.IncreaseBpp(24))
        return false;
    std::vector<bool> unmarked;
    if (transparent.any)
        unmarked = UnmarkedTransparentPixels(picture, transparent);
    const DWORD colours = ReduceToOwnPalette(picture, transparent.any);
    if (!colours)
        return false;
    if (transparent.any) {
        const BYTE index = static_cast<BYTE>(colours);
        transparent.colour.rgbReserved = 0;
        picture.SetPaletteColor(index, transparent.colour);
        const int32_t width = static_cast<int32_t>(picture.GetWidth());
        for (int32_t y = 0; y < static_cast<int32_t>(picture.GetHeight()); ++y)
            for (int32_t x = 0; x < width; ++x)
                if (unmarked[static_cast<size_t>(y) * width + x])
                    picture.SetPixelIndex(x, y, index);
        picture.SetTransIndex(index);
    } else {
        picture.SetTransIndex(-1);
    }
    picture.SetFrameDelay(delay);
    picture.SetDisposalMethod(disposal);
    picture.SetOffset(0, 0);
    return true;
}

bool DecodeGifFrame(const CString& path, int32_t index, CDibImageGIF& frame) {
    CFileStream stream;
    if (!stream.Open(path, L"rb")) {
        frame.SetLastErrorText("cannot open the file");
        return false;
    }
    frame.SetFrame(index);
    return frame.Decode(&stream) && frame.IsValid();
}

// The target's name in the output folder; false, with the reason, when every name is taken.
bool ChooseTarget(WatermarkFileJob& job) {
    job.target = WatermarkTargetPath(job.folder, job.source);
    if (job.target.IsEmpty())
        job.failure = L"저장할 파일 이름이 없습니다.";
    return !job.target.IsEmpty();
}

struct MarkedGif {
    std::vector<std::unique_ptr<CDibImage>> frames;
    int loops = -1;  // -1: the source has no loop block
    std::string comment;
};

// Every frame of a GIF, each as the reader composes it at the size of the
// logical screen, watermarked, with the source's loop count and comment. A
// GIF of true-colour tiles reads as one picture and is marked as one.
bool MarkGifFrames(WatermarkFileJob& job, MarkedGif& gif) {
    CDibImageGIF first;
    first.SetLoops(-1);  // stays -1 when the file has no loop block
    if (!DecodeGifFrame(job.source, 0, first)) {
        job.failure = Reason(L"그림을 읽지 못했습니다.", first.GetLastError());
        return false;
    }
    gif.loops = first.GetLoops();
    gif.comment = first.GetComment();
    // A file of true-colour tiles reads as one true-colour picture, whatever its image count.
    const int32_t frameCount = first.GetBpp() > 8 ? 1 : std::max<int32_t>(first.GetNumFrames(), 1);
    const long long pixels = static_cast<long long>(first.GetWidth()) * first.GetHeight();
    if (pixels > kMaxPixels || pixels * frameCount > kMaxGifPixels) {
        job.failure = L"그림이 너무 큽니다.";
        return false;
    }
    for (int32_t index = 0; index < frameCount; ++index) {
        CDibImageGIF decoded;
        if (index > 0 && !DecodeGifFrame(job.source, index, decoded)) {
            job.failure = Reason(L"그림을 읽지 못했습니다.", decoded.GetLastError());
            return false;
        }
        CDibImageGIF& source = index == 0 ? first : decoded;
        auto frame = std::make_unique<CDibImage>();
        if (!frame->Transfer(source, false) || !WatermarkGifPicture(*frame, job)) {
            job.failure = Reason(L"워터마크를 넣지 못했습니다.", frame->GetLastError());
            return false;
        }
        gif.frames.push_back(std::move(frame));
    }
    return true;
}

// The marked frames as one animation at job.target, with the source's delays,
// disposal methods, transparency, loop count and comment; a file left half
// written is removed.
bool WriteMarkedGif(WatermarkFileJob& job, const MarkedGif& gif) {
    std::vector<CDibImage*> pointers;
    for (const auto& frame : gif.frames)
        pointers.push_back(frame.get());
    CDibImageGIF writer;
    // The writer's count is plays: 1 writes no loop block, n writes n - 1 repeats, 0 repeats forever.
    writer.SetLoops(gif.loops < 0 ? 1 : gif.loops == 0 ? 0 : gif.loops + 1);
    writer.SetComment(gif.comment.c_str());
    bool written = false;
    {
        CFileStream stream;
        written = stream.Open(job.target, L"wb") &&
                  writer.Encode(&stream, pointers.data(), static_cast<int>(pointers.size()), false, true);
        written = stream.Close() && written;
    }
    if (!written) {
        DeleteFileW(job.target);
        job.failure = Reason(L"파일을 저장하지 못했습니다.", writer.GetLastError());
        job.target.Empty();
    }
    return written;
}

bool ConvertGifFile(WatermarkFileJob& job) {
    MarkedGif gif;
    return MarkGifFrames(job, gif) && ChooseTarget(job) && WriteMarkedGif(job, gif);
}

}  // namespace

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
    if (formatId == CDibImage::kFormatGif)
        return ConvertGifFile(job);

    if (!ComposeWatermark(image, job.params, job.watermark, job.keyColour)) {
        job.failure = Reason(L"워터마크를 넣지 못했습니다.", image.GetLastError());
        return false;
    }
    if (!PrepareForFormat(image, formatId)) {
        job.failure = Reason(L"그림을 변환하지 못했습니다.", image.GetLastError());
        return false;
    }
    if (!ChooseTarget(job))
        return false;
    CString reason;
    if (!SaveImageFile(image, job.target, formatId, reason)) {
        job.failure = L"파일을 저장하지 못했습니다. (" + reason + L")";
        job.target.Empty();
        return false;
    }
    return true;
}
