// The pictures the GIF maker's tests load: one colour each, one per format
// the maker reads through the image library.
#pragma once

#include "image/DibImage.h"

namespace gif_maker_test {

struct Picture {
    const wchar_t* name;
    DWORD format;
    COLORREF colour;
};
constexpr Picture kThree[] = {{L"red.bmp", CDibImage::kFormatBmp, RGB(255, 0, 0)},
                              {L"green.png", CDibImage::kFormatPng, RGB(10, 200, 30)},
                              {L"blue.jpg", CDibImage::kFormatJpg, RGB(0, 128, 255)}};

// Writes the picture, width x height, as a file of its format at `path`.
inline bool WritePicture(const wchar_t* path, const Picture& picture, int width, int height) {
    CDibImage image;
    if (!image.Create(width, height, 24, picture.format))
        return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.SetPixelColor(x, y, picture.colour);
    return image.Save(path, picture.format);
}

}  // namespace gif_maker_test
