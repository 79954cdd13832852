#include "app/continuous/FrameRecord.h"

#include "image/DibImage.h"

bool ResampleFrame(FrameRecord& frame, int width, int height) {
    if (!frame.bitmap || width <= 0 || height <= 0)
        return false;
    CDibImage image;
    if (!image.CreateFromHBITMAP(frame.bitmap) || !image.Resample(width, height, 1))
        return false;
    HBITMAP resized = image.MakeBitmap();
    if (!resized)
        return false;
    DeleteObject(frame.bitmap);
    frame.bitmap = resized;
    frame.width = width;
    frame.height = height;
    return true;
}
