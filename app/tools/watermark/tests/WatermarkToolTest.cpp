// The batch watermark tool through vesk.exe, its command and its dialogs; the
// written files against the compositor's own result on the same pictures.
//
// With WMTOOL_GIF_OUT set the GIF case leaves its sources and results in that
// folder, where check_wmtool_gif_pil.py reads them with PIL.
#include "WidgetTestUtil.h"
#include "app/capture/Watermark.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "image/formats/DibImageGIF.h"
#include "image/streams/FileStream.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace vesk_test;

namespace {

constexpr UINT kWatermarkCommand = 32807;
constexpr const wchar_t* kToolTitle = L"워터마크 넣기";
constexpr const wchar_t* kTextEditorTitle = L"워터마크 텍스트";
constexpr int kFilesList = 1400, kAddButton = 1401, kTextButton = 1408, kPreview = 1409,
              kStartButton = 1412, kEditorText = 1141;
constexpr int kMessageText = 0xFFFF;  // the message box's text
constexpr COLORREF kMarkColour = RGB(250, 10, 200);
constexpr int kMarkWidth = 8, kMarkHeight = 6;
constexpr int kWidth = 40, kHeight = 30;

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, got);
        fclose(f);
    }
    return bytes;
}

bool IsDialog(HWND hWnd) {
    WCHAR cls[16] = {};
    return IsWindowVisible(hWnd) && GetClassNameW(hWnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int Distance(const RGBQUAD& a, const RGBQUAD& b) {
    return std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) + std::abs(a.rgbBlue - b.rgbBlue);
}

// The independent result: the source through ApplyWatermark at location 8.
bool Reference(const std::wstring& source, HBITMAP mark, CDibImage& out) {
    CDibImage image;
    if (!image.Load(source.c_str(), 0))
        return false;
    HBITMAP picture = image.MakeBitmap();
    gdip::ScopedBitmap canvas;
    const bool made = gdip::GdipCreateBitmapFromHBITMAP(picture, nullptr, canvas.Out()) == gdip::Ok;
    DeleteObject(picture);
    WatermarkParams params;
    params.location = 8;
    if (!made)
        return false;
    ApplyWatermark(canvas.Get(), params, mark, kMarkWidth, kMarkHeight, true, false, {0, 0, kWidth, kHeight});
    HBITMAP composed = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(canvas.Get(), &composed, 0xFF000000) != gdip::Ok)
        return false;
    const bool ok = out.CreateFromHBITMAP(composed);
    DeleteObject(composed);
    return ok;
}

class WatermarkTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Gdiplus::GdiplusStartup(&s_gdiplus, &s_input, nullptr); }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_gdiplus); }

    // The watermark options name an 8 x 6 image at location 8; the capture folder is the output folder.
    void SetUp() override {
        ASSERT_TRUE(run_.PrepareQuiet());
        sources_ = run_.folder() + L"\\sources";
        out_ = run_.folder() + L"\\out";
        mark_ = run_.folder() + L"\\mark.bmp";
        ASSERT_TRUE(CreateDirectoryW(sources_.c_str(), nullptr) && CreateDirectoryW(out_.c_str(), nullptr));
        CDibImage mark(kMarkWidth, kMarkHeight, 24);
        for (int y = 0; y < kMarkHeight; ++y)
            for (int x = 0; x < kMarkWidth; ++x)
                mark.SetPixelColor(x, y, kMarkColour);
        ASSERT_TRUE(mark.Save(mark_.c_str(), CDibImage::kFormatBmp));
        for (const wchar_t* key : {L"Choice", L"Rotate", L"Rotation", L"HideColor", L"LeftRightMargin",
                                   L"TopBottomMargin"})
            profile::WriteValue(profile::kWatermarkSection, key, 0, run_.ini().c_str());
        profile::WriteValue(profile::kWatermarkSection, L"Location", 8, run_.ini().c_str());
        profile::WriteValue(profile::kWatermarkSection, L"Alpha", 100, run_.ini().c_str());
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

    // Starts the program and opens the tool from the main dialog's command.
    HWND OpenTool() {
        main_ = run_.Start();
        if (!main_)
            return nullptr;
        PostMessageW(main_, WM_COMMAND, kWatermarkCommand, 0);
        HWND tool = nullptr;
        WaitFor([&] { return (tool = run_.FindOwnWindow(kToolTitle)) && IsWindowVisible(tool); });
        return tool;
    }

    // A dialog of the program other than the tool, for which pred holds.
    HWND WaitForDialog(HWND tool, const std::function<bool(HWND)>& pred) {
        HWND found = nullptr;
        WaitFor([&] {
            return (found = run_.FindWindowIf([&](HWND h) { return h != tool && IsDialog(h) && pred(h); }));
        });
        return found;
    }

    // Picks files of the sources folder through the open dialog, typed as a user would.
    bool AddFiles(HWND tool, const std::wstring& typedNames) {
        Press(tool, kAddButton);
        HWND open = WaitForDialog(tool, [](HWND h) { return GetDlgItem(h, cmb13) || GetDlgItem(h, edt1); });
        return open && AnswerFileDialog(open, sources_, typedNames);
    }

    // Starts the conversion, returns the closing report's text, closes the tool and the program.
    std::wstring ConvertAndClose(HWND tool) {
        Press(tool, kStartButton);
        HWND box = WaitForDialog(tool, [](HWND h) { return GetDlgItem(h, kMessageText) != nullptr; });
        WCHAR text[2048] = {};
        if (box) {
            GetDlgItemTextW(box, kMessageText, text, 2048);
            Press(box, IDOK);
            WaitFor([&] { return !IsWindow(box); });
        }
        Press(tool, IDCANCEL);
        WaitFor([&] { return !IsWindow(tool); });
        EXPECT_EQ(run_.Exit(main_), 0u);
        return text;
    }

    static inline ULONG_PTR s_gdiplus = 0;
    static inline Gdiplus::GdiplusStartupInput s_input;
    VeskRun run_{L"wmtool"};
    HWND main_ = nullptr;
    std::wstring sources_, out_, mark_;
};

TEST_F(WatermarkTool, ThreeFormatsConvertAndAnUnreadableFileIsNamed) {
    const struct {
        const wchar_t* name;
        DWORD format;
        const wchar_t* output;
        int tolerance;  // JPEG is lossy
    } cases[] = {
        {L"a.bmp", CDibImage::kFormatBmp, L"wm_a (2).bmp", 0},
        {L"b.png", CDibImage::kFormatPng, L"wm_b.png", 0},
        {L"c.jpg", CDibImage::kFormatJpg, L"wm_c.jpg", 30},
    };
    std::vector<std::string> originals;
    for (const auto& c : cases)
        originals.push_back(ReadBytes(WriteSource(c.name, c.format)));
    FILE* broken = _wfopen((sources_ + L"\\broken.png").c_str(), L"wb");
    ASSERT_TRUE(broken && fputs("this is no picture", broken) >= 0 && fclose(broken) == 0);
    // An earlier output under the first name stays as it is.
    const std::wstring earlier = out_ + L"\\wm_a.bmp";
    ASSERT_TRUE(CopyFileW(mark_.c_str(), earlier.c_str(), FALSE));

    HWND tool = OpenTool();
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(AddFiles(tool, L"\"a.bmp\" \"b.png\" \"c.jpg\" \"broken.png\""));
    ASSERT_EQ(SendMessageW(GetDlgItem(tool, kFilesList), LB_GETCOUNT, 0, 0), 4);
    // The preview shows the first file 1:1 with the whole mark in it (once it has been painted).
    RECT preview = {};
    GetWindowRect(GetDlgItem(tool, kPreview), &preview);
    EXPECT_TRUE(WaitFor([&] {
        const std::vector<COLORREF> shown = GrabScreen(preview);
        return std::count(shown.begin(), shown.end(), kMarkColour) == kMarkWidth * kMarkHeight;
    })) << "the mark never showed whole in the preview";

    const std::wstring message = ConvertAndClose(tool);
    EXPECT_NE(message.find(L"3개 파일에 워터마크를 넣었습니다."), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"broken.png"), std::wstring::npos) << message;
    for (const auto& c : cases)
        EXPECT_EQ(message.find(c.name), std::wstring::npos) << message;

    HBITMAP mark = static_cast<HBITMAP>(
        LoadImageW(nullptr, mark_.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(mark, nullptr);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::wstring source = sources_ + L"\\" + c.name;
        EXPECT_EQ(ReadBytes(source), originals[i]) << "original changed: " << c.name;
        CDibImage written, expected;
        ASSERT_TRUE(written.Load((out_ + L"\\" + c.output).c_str(), 0)) << c.name;
        EXPECT_EQ(written.GetType(), c.format) << c.name;
        ASSERT_TRUE(Reference(source, mark, expected)) << c.name;
        // The bottom-right corner with a band around the mark (rows count from the bottom);
        // JPEG rings at the mark's edges, so there only the average is held to the tolerance.
        int total = 0;
        for (int y = 0; y < kMarkHeight + 4; ++y)
            for (int x = kWidth - kMarkWidth - 4; x < kWidth; ++x)
                total += Distance(written.GetPixelColor(x, y, false), expected.GetPixelColor(x, y, false));
        EXPECT_LE(total, c.tolerance * (kMarkHeight + 4) * (kMarkWidth + 4)) << c.name;
        const RGBQUAD markQuad = {GetBValue(kMarkColour), GetGValue(kMarkColour), GetRValue(kMarkColour), 0};
        EXPECT_LE(Distance(written.GetPixelColor(kWidth - 2, 1, false), markQuad), c.tolerance) << c.name;
    }
    DeleteObject(mark);
    EXPECT_EQ(ReadBytes(earlier), ReadBytes(mark_));
    EXPECT_FALSE(Exists(out_ + L"\\wm_broken.png"));
}

// Pixels of `colour` the screen shows over the window's rectangle.
int CountOnScreen(HWND hWnd, COLORREF colour) {
    RECT r = {};
    GetWindowRect(hWnd, &r);
    const std::vector<COLORREF> shown = GrabScreen(r);
    return static_cast<int>(std::count(shown.begin(), shown.end(), colour));
}

constexpr COLORREF kGreen = RGB(0, 255, 0), kMagenta = RGB(255, 0, 255), kOrange = RGB(255, 128, 0);
constexpr int kOrangePixels = 10 * 10;  // in the animation's first frame

// A two-colour GIF (1 bit) and a three-frame animation (delays 10, 20, 30
// hundredths, disposal 2, 1, 3, a transparent index, four plays) take a green
// and magenta mark: the mark keeps its colours, every frame its settings; the
// preview shows the mark, and the file the user clicks in the list.
TEST_F(WatermarkTool, GifPicturesKeepTheMarkAndEveryFrame) {
    CDibImage mark(kMarkWidth, kMarkHeight, 24);
    for (int y = 0; y < kMarkHeight; ++y)
        for (int x = 0; x < kMarkWidth; ++x)
            mark.SetPixelColor(x, y, x < kMarkWidth / 2 ? kGreen : kMagenta);
    ASSERT_TRUE(mark.Save(mark_.c_str(), CDibImage::kFormatBmp));

    const std::wstring two = sources_ + L"\\two.gif";
    CDibImage twoColour(kWidth, kHeight, 1);
    twoColour.SetPaletteColor(0, 0, 0, 255);
    twoColour.SetPaletteColor(1, 255, 255, 255);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            twoColour.SetPixelIndex(x, y, static_cast<BYTE>((x / 5 + y / 5) & 1));
    ASSERT_TRUE(twoColour.Save(two.c_str(), CDibImage::kFormatGif));

    // Full frames whose transparent pixels are the same in each, so any reader composes them alike;
    // one transparent block runs under the mark (rows count from the bottom).
    const std::wstring animated = sources_ + L"\\anim.gif";
    const COLORREF frameColours[] = {RGB(200, 0, 0), RGB(0, 160, 200), RGB(240, 240, 0)};
    const BYTE disposals[] = {2, 1, 3};
    std::vector<std::unique_ptr<CDibImage>> frames;
    for (int i = 0; i < 3; ++i) {
        auto frame = std::make_unique<CDibImage>(kWidth, kHeight, 8);
        frame->SetPaletteColor(0, 0, 0, 0);  // transparent
        frame->SetPaletteColor(1, 255, 128, 0);
        frame->SetPaletteColor(2, GetRValue(frameColours[i]), GetGValue(frameColours[i]), GetBValue(frameColours[i]));
        frame->SetPaletteColor(3, 255, 255, 255);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                BYTE index = static_cast<BYTE>(2 + ((x + y + i) % 3 == 0));
                if (i == 0 && x >= 5 && x < 15 && y >= 15 && y < 25)
                    index = 1;
                if ((x >= 28 && y < 3) || (x < 4 && y >= 10 && y < 13))
                    index = 0;
                frame->SetPixelIndex(x, y, index);
            }
        frame->SetTransIndex(0);
        frame->SetFrameDelay(static_cast<DWORD>(10 * (i + 1)));
        frame->SetDisposalMethod(disposals[i]);
        frames.push_back(std::move(frame));
    }
    {
        CDibImage* pointers[] = {frames[0].get(), frames[1].get(), frames[2].get()};
        CDibImageGIF writer;
        writer.SetLoops(4);
        CFileStream stream;
        ASSERT_TRUE(stream.Open(animated.c_str(), L"wb"));
        ASSERT_TRUE(writer.Encode(&stream, pointers, 3, false, true));
        ASSERT_TRUE(stream.Close());
    }

    HWND tool = OpenTool();
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(AddFiles(tool, L"\"two.gif\" \"anim.gif\""));
    HWND list = GetDlgItem(tool, kFilesList), preview = GetDlgItem(tool, kPreview);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
    // Nothing selected: the first file, its mark in its own colours (once painted).
    EXPECT_TRUE(WaitFor([&] {
        return CountOnScreen(preview, kGreen) == kMarkWidth * kMarkHeight / 2 &&
               CountOnScreen(preview, kMagenta) == kMarkWidth * kMarkHeight / 2;
    })) << "the preview never showed the mark in its own colours";
    // The second file clicked in the list: its first frame is shown.
    const int itemHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_GT(itemHeight, 0);
    POINT second = {10, itemHeight + itemHeight / 2};
    ClientToScreen(list, &second);
    wt::MouseMove(second.x, second.y);
    wt::MouseDown();
    wt::MouseUp();
    EXPECT_TRUE(WaitFor([&] { return CountOnScreen(preview, kOrange) == kOrangePixels; }))
        << CountOnScreen(preview, kOrange);
    wt::MouseAway();

    const std::wstring message = ConvertAndClose(tool);
    EXPECT_NE(message.find(L"2개 파일에 워터마크를 넣었습니다."), std::wstring::npos) << message;

    // Our own reader: the mark's colours in the two-colour result, every frame in the animation.
    CDibImage written;
    ASSERT_TRUE(written.Load((out_ + L"\\wm_two.gif").c_str(), CDibImage::kFormatGif));
    const RGBQUAD green = {0, 255, 0, 0}, magenta = {255, 0, 255, 0};
    EXPECT_EQ(Distance(written.GetPixelColor(kWidth - kMarkWidth, 0, false), green), 0);
    EXPECT_EQ(Distance(written.GetPixelColor(kWidth - 1, kMarkHeight - 1, false), magenta), 0);
    CDibImage writtenAnimation;
    ASSERT_TRUE(writtenAnimation.Load((out_ + L"\\wm_anim.gif").c_str(), CDibImage::kFormatGif));
    EXPECT_EQ(writtenAnimation.GetNumFrames(), 3);

    wchar_t pilFolder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"WMTOOL_GIF_OUT", pilFolder, MAX_PATH) > 0) {
        const std::wstring folder = pilFolder;
        for (const wchar_t* name : {L"two.gif", L"anim.gif"}) {
            EXPECT_TRUE(CopyFileW((sources_ + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE));
            EXPECT_TRUE(CopyFileW((out_ + L"\\wm_" + name).c_str(), (folder + L"\\wm_" + name).c_str(), FALSE));
        }
    }
}

TEST_F(WatermarkTool, EditedTextBecomesTextBmpAndIsLaidOn) {
    constexpr int width = 400, height = 90;
    WriteSource(L"d.png", CDibImage::kFormatPng, width, height);
    HWND tool = OpenTool();
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(AddFiles(tool, L"\"d.png\""));
    Press(tool, kTextButton);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = run_.FindOwnWindow(kTextEditorTitle)) && IsWindowVisible(editor); })) << "no text editor";
    // Hangul in the options' face ("Airal", which no font has), colours and size.
    SetDlgItemTextW(editor, kEditorText, L"한글");
    Press(editor, IDOK);
    const std::wstring textFile = out_ + L"\\Text_0.bmp";
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor) && Exists(textFile); }))
        << "editor open " << IsWindow(editor) << ", text file written " << Exists(textFile);

    const std::wstring message = ConvertAndClose(tool);
    EXPECT_NE(message.find(L"1개 파일에 워터마크를 넣었습니다."), std::wstring::npos) << message;
    CDibImage text, written;
    ASSERT_TRUE(text.Load(textFile.c_str(), 0));
    ASSERT_TRUE(written.Load((out_ + L"\\wm_d.png").c_str(), 0));
    const int tw = static_cast<int>(text.GetWidth()), th = static_cast<int>(text.GetHeight());
    ASSERT_TRUE(tw > 0 && tw <= width && th <= height) << tw << " x " << th;
    // Drawn as boxes, both syllables are the same box and the halves match.
    int differing = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw / 2; ++x)
            differing += Distance(text.GetPixelColor(x, y, false), text.GetPixelColor(tw / 2 + x, y, false)) != 0;
    EXPECT_GT(differing, tw * th / 20);
    // Opaque and unturned, the text lands pixel for pixel in the bottom-right corner.
    int mismatches = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            mismatches += Distance(text.GetPixelColor(x, y, false), written.GetPixelColor(width - tw + x, y, false)) != 0;
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
