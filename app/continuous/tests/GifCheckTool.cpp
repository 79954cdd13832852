// Writes animated GIFs with the GIF builder for check_gif_pil.py:
//   gif_check_tool FOLDER
// loop.gif and once.gif: red 5, (a frame without a bitmap), green 10, blue 2.5
// tenths, 40 x 30, endless / single play; many.gif: 1030 frames of 4 x 4 in
// two colours; keyed.gif: one frame whose pixel (0, 0) colour is transparent.
#include "ContinueTestSupport.h"
#include "app/continuous/GifBuilder.h"

#include <cstdio>

using continuous_test::MakeSolidBitmap;

namespace {

bool Build(const std::vector<GifBuildFrame>& frames, const CString& path, bool loop, int expectedFrames) {
    const GifBuildResult result = BuildAnimatedGif(frames, path, loop);
    if (result.status != GifBuildStatus::kWritten || result.framesWritten != expectedFrames) {
        fwprintf(stderr, L"%ls: status %d, %d frames, %ls\n", path.GetString(), static_cast<int>(result.status),
                 result.framesWritten, result.reason.GetString());
        return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const CString folder = argv[1];
    HBITMAP red = MakeSolidBitmap(40, 30, RGB(255, 0, 0));
    HBITMAP green = MakeSolidBitmap(40, 30, RGB(10, 200, 30));
    HBITMAP blue = MakeSolidBitmap(40, 30, RGB(0, 128, 255));
    HBITMAP dark = MakeSolidBitmap(4, 4, RGB(20, 20, 20));
    HBITMAP light = MakeSolidBitmap(4, 4, RGB(240, 230, 220));
    bool ok = red && green && blue && dark && light;

    const std::vector<GifBuildFrame> three = {{red, 5.0f, 0}, {nullptr, 7.0f, 0}, {green, 10.0f, 0}, {blue, 2.5f, 0}};
    ok = ok && Build(three, folder + L"\\loop.gif", true, 3);
    ok = ok && Build(three, folder + L"\\once.gif", false, 3);

    std::vector<GifBuildFrame> many;
    for (int i = 0; i < 1030; ++i)
        many.push_back({i % 2 ? light : dark, 1.0f, 0});
    ok = ok && Build(many, folder + L"\\many.gif", true, 1030);

    ok = ok && Build({{blue, 5.0f, 1}}, folder + L"\\keyed.gif", true, 1);

    for (HBITMAP bitmap : {red, green, blue, dark, light}) {
        if (bitmap)
            DeleteObject(bitmap);
    }
    return ok ? 0 : 1;
}
