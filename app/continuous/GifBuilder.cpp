#include "app/continuous/GifBuilder.h"

#include "app/capture/CaptureJob.h"
#include "app/continuous/FrameTiming.h"
#include "image/DibImage.h"
#include "image/Quantizer.h"
#include "image/formats/DibImageGIF.h"

#include <algorithm>
#include <memory>

namespace {

constexpr char kComment[] = "VeskGIF";
constexpr int kGifMaxDelay = 0xFFFF;  // the delay field is 16 bits

// A 24-bit image of the bitmap; false when the bitmap cannot be read.
bool LoadTrueColour(HBITMAP bitmap, CDibImage& image) {
    if (!bitmap || !image.CreateFromHBITMAP(bitmap) || !image.IsValid())
        return false;
    return image.GetBpp() >= 24 || image.IncreaseBpp(24);
}

}  // namespace

GifBuildResult BuildAnimatedGif(const std::vector<GifBuildFrame>& frames, const CString& path, bool loop,
                                const GifProgressFn& progress) {
    GifBuildResult result;

    // First pass: every readable frame feeds the one shared palette. Frames are
    // not kept here, so a long series never holds its true-colour copies at once.
    CQuantizer quantizer(7);
    std::vector<const GifBuildFrame*> usable;
    usable.reserve(frames.size());
    for (const GifBuildFrame& frame : frames) {
        Sleep(1);  // lets the UI thread paint the progress
        CDibImage image;
        if (!LoadTrueColour(frame.bitmap, image) || !quantizer.ProcessImage(image.GetDIB()))
            continue;
        usable.push_back(&frame);
    }
    if (usable.empty())
        return result;
    RGBQUAD palette[256] = {};
    quantizer.SetColorTable(palette);

    // Second pass: each frame again from its bitmap, kept only at 8 bits.
    const int total = static_cast<int>(usable.size());
    std::vector<std::unique_ptr<CDibImage>> images;
    images.reserve(usable.size());
    for (int i = 0; i < total; ++i) {
        Sleep(1);
        const GifBuildFrame& frame = *usable[i];
        auto image = std::make_unique<CDibImage>();
        if (LoadTrueColour(frame.bitmap, *image) && image->DecreaseBpp(8, true, palette, 256)) {
            if (frame.transparent)
                image->SetTransIndex(image->GetPixelIndex(0, 0));
            image->SetFrameDelay(static_cast<DWORD>(
                std::min(frame_timing::TenthsToCentiseconds(frame.time), kGifMaxDelay)));
            image->SetDisposalMethod(0);
            images.push_back(std::move(image));
        }
        if (progress)
            progress(total, i);
    }
    if (images.empty())
        return result;

    std::vector<CDibImage*> pointers;
    for (auto& image : images)
        pointers.push_back(image.get());
    CDibImageGIF writer;
    writer.SetComment(kComment);
    writer.SetLoops(loop ? 0 : 1);
    writer.SetDisposalMethod(2);
    // Written beside the file and moved over it once whole: a failed or
    // killed build leaves an earlier file of that name as it was, and no
    // part-written one.
    if (!writer.SaveWith(path, [&](CByteStream* stream) {
            return writer.Encode(stream, pointers.data(), static_cast<int>(pointers.size()), false, false);
        })) {
        const DWORD error = GetLastError();
        result.status = GifBuildStatus::kWriteFailed;
        // No text of the library's: the file could not be made or put in place, for the system's reason.
        result.reason = *writer.GetLastError() ? CString(writer.GetLastError()) : SystemReason(error, path);
        return result;
    }
    result.status = GifBuildStatus::kWritten;
    result.framesWritten = static_cast<int>(pointers.size());
    return result;
}
