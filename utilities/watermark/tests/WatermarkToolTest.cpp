// The batch watermark tool as a user meets it: vesk.exe opens it from its
// command, the files come through the open dialog, the conversion runs, and
// what lands in the output folder is compared with the compositor's own
// result on the same pictures.
#include "app/capture/Watermark.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <string>
#include <vector>

using namespace vesk_test;

namespace {

constexpr UINT kWatermarkCommand = 32807;
constexpr const wchar_t* kToolTitle = L"워터마크 넣기";
constexpr int kFilesList = 1400, kAddButton = 1401, kWatermarkName = 1406, kTextButton = 1408, kPreview = 1409,
              kStartButton = 1412;
constexpr const wchar_t* kTextEditorTitle = L"워터마크 텍스트";
constexpr int kMessageText = 0xFFFF;  // the message box's text
constexpr COLORREF kMarkColour = RGB(250, 10, 200);
constexpr int kMarkWidth = 8, kMarkHeight = 6;
constexpr int kWidth = 40, kHeight = 30;

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

bool IsDialog(HWND hWnd) {
    WCHAR cls[16] = {};
    return IsWindowVisible(hWnd) && GetClassNameW(hWnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The composed reference: the source through ApplyWatermark, as a 24-bit image.
bool Reference(const std::wstring& source, HBITMAP mark, CDibImage& out) {
    CDibImage image;
    if (!image.Load(source.c_str(), 0))
        return false;
    HBITMAP picture = image.MakeBitmap();
    gdip::ScopedBitmap canvas;
    const bool made = gdip::GdipCreateBitmapFromHBITMAP(picture, nullptr, canvas.Out()) == gdip::Ok;
    DeleteObject(picture);
    if (!made)
        return false;
    WatermarkParams params;
    params.location = 8;
    ApplyWatermark(canvas.Get(), params, mark, kMarkWidth, kMarkHeight, true, false, RECT{0, 0, kWidth, kHeight});
    HBITMAP composed = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(canvas.Get(), &composed, 0xFF000000) != gdip::Ok)
        return false;
    const bool ok = out.CreateFromHBITMAP(composed);
    DeleteObject(composed);
    return ok;
}

class WatermarkTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&s_gdiplus, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_gdiplus); }

    void SetUp() override {
        ASSERT_TRUE(run_.PrepareQuiet());
        sources_ = run_.folder() + L"\\sources";
        out_ = run_.folder() + L"\\out";
        ASSERT_TRUE(CreateDirectoryW(sources_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(out_.c_str(), nullptr));
        CDibImage markImage(kMarkWidth, kMarkHeight, 24);
        for (int y = 0; y < kMarkHeight; ++y)
            for (int x = 0; x < kMarkWidth; ++x)
                markImage.SetPixelColor(x, y, kMarkColour);
        mark_ = run_.folder() + L"\\mark.bmp";
        ASSERT_TRUE(markImage.Save(mark_.c_str(), CDibImage::kFormatBmp));
        const struct {
            const wchar_t* key;
            int value;
        } settings[] = {{L"Choice", 0}, {L"Location", 8},  {L"Alpha", 100},          {L"Rotate", 0},
                        {L"Rotation", 0}, {L"HideColor", 0}, {L"LeftRightMargin", 0}, {L"TopBottomMargin", 0}};
        for (const auto& s : settings)
            profile::WriteValue(profile::kWatermarkSection, s.key, s.value, run_.ini().c_str());
        profile::WriteValue(profile::kWatermarkSection, L"ImageDir", mark_.c_str(), run_.ini().c_str());
        profile::WriteValue(profile::kFileSection, L"Directory", out_.c_str(), run_.ini().c_str());
    }

    // A picture with a different colour in every pixel, so a misplaced mark shows.
    std::wstring WriteSource(const wchar_t* name, DWORD format, int width = kWidth, int height = kHeight) {
        CDibImage image(width, height, 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.SetPixelColor(x, y, RGB(x * 6, y * 8, 120));
        const std::wstring path = sources_ + L"\\" + name;
        EXPECT_TRUE(image.Save(path.c_str(), format));
        return path;
    }

    // Opens the tool from the main dialog's command.
    HWND OpenTool(HWND main) {
        PostMessageW(main, WM_COMMAND, kWatermarkCommand, 0);
        HWND tool = nullptr;
        WaitFor([&] { return (tool = run_.FindOwnWindow(kToolTitle)) && IsWindowVisible(tool); });
        return tool;
    }

    // A dialog of the program other than the ones named, for which pred holds.
    HWND WaitForDialog(HWND tool, const std::function<bool(HWND)>& pred) {
        HWND found = nullptr;
        WaitFor([&] {
            found = run_.FindWindowIf([&](HWND h) { return h != tool && IsDialog(h) && pred(h); });
            return found != nullptr;
        });
        return found;
    }

    // Picks files of the sources folder through the open dialog, as typed by a user.
    bool AddFiles(HWND tool, const std::wstring& typedNames) {
        Press(tool, kAddButton);
        const auto nameBox = [](HWND dialog) {
            HWND box = GetDlgItem(dialog, cmb13);
            return box ? box : GetDlgItem(dialog, edt1);
        };
        HWND open = WaitForDialog(tool, [&](HWND h) { return nameBox(h) != nullptr; });
        if (!open)
            return false;
        SendMessageW(nameBox(open), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sources_.c_str()));
        Press(open, IDOK);  // into the folder
        run_.WaitUntilIdle(open);
        SendMessageW(nameBox(open), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typedNames.c_str()));
        Press(open, IDOK);
        return WaitFor([&] { return !IsWindow(open); });
    }

    std::wstring WaitForMessage(HWND tool, HWND& box) {
        box = WaitForDialog(tool, [](HWND h) { return GetDlgItem(h, kMessageText) != nullptr; });
        WCHAR text[2048] = {};
        if (box)
            GetDlgItemTextW(box, kMessageText, text, 2048);
        return text;
    }

    static ULONG_PTR s_gdiplus;
    VeskRun run_{L"wmtool"};
    std::wstring sources_, out_, mark_;
};

ULONG_PTR WatermarkTool::s_gdiplus = 0;

TEST_F(WatermarkTool, ThreeFormatsConvertAndAnUnreadableFileIsNamed) {
    struct Case {
        const wchar_t* name;
        DWORD format;
        const wchar_t* output;
        int tolerance;  // JPEG is lossy
    };
    const Case cases[] = {
        {L"a.bmp", CDibImage::kFormatBmp, L"wm_a (2).bmp", 0},
        {L"b.png", CDibImage::kFormatPng, L"wm_b.png", 0},
        {L"c.jpg", CDibImage::kFormatJpg, L"wm_c.jpg", 30},
    };
    std::vector<std::string> originals;
    for (const Case& c : cases)
        originals.push_back(ReadBytes(WriteSource(c.name, c.format)));
    const std::string notAnImage = "this is no picture";
    {
        HANDLE f = CreateFileW((sources_ + L"\\broken.png").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
        DWORD written = 0;
        WriteFile(f, notAnImage.data(), static_cast<DWORD>(notAnImage.size()), &written, nullptr);
        CloseHandle(f);
    }
    // An earlier output under the first name stays as it is.
    const std::wstring earlier = out_ + L"\\wm_a.bmp";
    ASSERT_TRUE(CopyFileW(mark_.c_str(), earlier.c_str(), FALSE));
    const std::string earlierBytes = ReadBytes(earlier);

    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    HWND tool = OpenTool(main);
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(AddFiles(tool, L"\"a.bmp\" \"b.png\" \"c.jpg\" \"broken.png\""));
    ASSERT_EQ(SendMessageW(GetDlgItem(tool, kFilesList), LB_GETCOUNT, 0, 0), 4);

    // The preview shows the first file 1:1 with the whole mark in it.
    run_.WaitUntilIdle(tool);
    RECT preview = {};
    GetWindowRect(GetDlgItem(tool, kPreview), &preview);
    int markPixels = 0;
    HDC screen = GetDC(nullptr);
    for (int y = preview.top; y < preview.bottom; ++y)
        for (int x = preview.left; x < preview.right; ++x)
            markPixels += GetPixel(screen, x, y) == kMarkColour;
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(markPixels, kMarkWidth * kMarkHeight);

    Press(tool, kStartButton);
    HWND box = nullptr;
    const std::wstring message = WaitForMessage(tool, box);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(message.find(L"3개 파일에 워터마크를 넣었습니다."), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"broken.png"), std::wstring::npos) << message;
    for (const Case& c : cases)
        EXPECT_EQ(message.find(c.name), std::wstring::npos) << message;
    Press(box, IDOK);
    WaitFor([&] { return !IsWindow(box); });
    Press(tool, IDCANCEL);
    WaitFor([&] { return !IsWindow(tool); });
    EXPECT_EQ(run_.Exit(main), 0u);

    HBITMAP mark = static_cast<HBITMAP>(LoadImageW(nullptr, mark_.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(mark, nullptr);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::wstring source = sources_ + L"\\" + c.name;
        EXPECT_EQ(ReadBytes(source), originals[i]) << "original changed: " << c.name;
        CDibImage written, expected;
        ASSERT_TRUE(written.Load((out_ + L"\\" + c.output).c_str(), 0)) << c.name;
        EXPECT_EQ(written.GetType(), c.format) << c.name;
        ASSERT_TRUE(Reference(source, mark, expected)) << c.name;
        ASSERT_EQ(written.GetWidth(), static_cast<DWORD>(kWidth));
        ASSERT_EQ(written.GetHeight(), static_cast<DWORD>(kHeight));
        // The bottom-right corner with a band around the mark; rows count from the bottom.
        // JPEG rings at the mark's edges: there single pixels may stray, not the average.
        int total = 0, pixels = 0;
        for (int y = 0; y < kMarkHeight + 4; ++y)
            for (int x = kWidth - kMarkWidth - 4; x < kWidth; ++x) {
                const RGBQUAD got = written.GetPixelColor(x, y, false);
                const RGBQUAD want = expected.GetPixelColor(x, y, false);
                const int error = std::abs(got.rgbRed - want.rgbRed) + std::abs(got.rgbGreen - want.rgbGreen) +
                                  std::abs(got.rgbBlue - want.rgbBlue);
                EXPECT_LE(error, c.tolerance * 5) << c.name << " at " << x << "," << y;
                total += error;
                ++pixels;
            }
        EXPECT_LE(total, c.tolerance * pixels) << c.name;
        const RGBQUAD corner = written.GetPixelColor(kWidth - 2, 1, false);
        EXPECT_LE(std::abs(corner.rgbRed - GetRValue(kMarkColour)) + std::abs(corner.rgbGreen - GetGValue(kMarkColour)) +
                      std::abs(corner.rgbBlue - GetBValue(kMarkColour)),
                  c.tolerance)
            << c.name;
    }
    DeleteObject(mark);
    EXPECT_EQ(ReadBytes(earlier), earlierBytes);
    EXPECT_FALSE(Exists(out_ + L"\\wm_broken.png"));
}

TEST_F(WatermarkTool, EditedTextBecomesTextBmpAndIsLaidOn) {
    constexpr int width = 400, height = 90;
    WriteSource(L"d.png", CDibImage::kFormatPng, width, height);
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    HWND tool = OpenTool(main);
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(AddFiles(tool, L"\"d.png\""));
    Press(tool, kTextButton);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = run_.FindOwnWindow(kTextEditorTitle)) && IsWindowVisible(editor); }));
    Press(editor, IDOK);  // the editor's own text, font and colours
    const std::wstring textFile = out_ + L"\\Text_0.bmp";
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor) && Exists(textFile); }));
    run_.WaitUntilIdle(tool);
    WCHAR shown[MAX_PATH] = {};
    GetDlgItemTextW(tool, kWatermarkName, shown, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(shown, textFile.c_str()), 0) << shown;

    Press(tool, kStartButton);
    HWND box = nullptr;
    const std::wstring message = WaitForMessage(tool, box);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(message.find(L"1개 파일에 워터마크를 넣었습니다."), std::wstring::npos) << message;
    Press(box, IDOK);
    WaitFor([&] { return !IsWindow(box); });
    Press(tool, IDCANCEL);
    WaitFor([&] { return !IsWindow(tool); });
    EXPECT_EQ(run_.Exit(main), 0u);

    CDibImage text, written;
    ASSERT_TRUE(text.Load(textFile.c_str(), 0));
    ASSERT_TRUE(written.Load((out_ + L"\\wm_d.png").c_str(), 0));
    const int tw = static_cast<int>(text.GetWidth()), th = static_cast<int>(text.GetHeight());
    ASSERT_GT(tw, 0);
    ASSERT_LE(tw, width);
    ASSERT_LE(th, height);
    // Opaque and unturned, the text lands pixel for pixel in the bottom-right corner.
    int mismatches = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            const RGBQUAD want = text.GetPixelColor(x, y, false);
            const RGBQUAD got = written.GetPixelColor(width - tw + x, y, false);
            mismatches += want.rgbRed != got.rgbRed || want.rgbGreen != got.rgbGreen || want.rgbBlue != got.rgbBlue;
        }
    EXPECT_EQ(mismatches, 0);
    // Glyphs on a filled background: the text file holds more than one colour.
    const RGBQUAD corner = text.GetPixelColor(0, 0, false);
    bool glyphs = false;
    for (int y = 0; y < th && !glyphs; ++y)
        for (int x = 0; x < tw && !glyphs; ++x) {
            const RGBQUAD c = text.GetPixelColor(x, y, false);
            glyphs = c.rgbRed != corner.rgbRed || c.rgbGreen != corner.rgbGreen || c.rgbBlue != corner.rgbBlue;
        }
    EXPECT_TRUE(glyphs);
}

}  // namespace
