// The animated-GIF maker in a real dialog: frames from files of several
// formats and from an animated GIF, delays and the loop flag in the written
// file, resizing through the frame-size dialog's margins, the single-play
// preview ending with the stop command, and what is refused while a build runs.
//
// With GIF_MAKER_OUT set the Writes* cases leave their GIFs in that folder,
// where check_gif_maker_pil.py reads them with PIL.
#include "ContinueTestSupport.h"
#include "GifMakerPictures.h"
#include "WidgetTestUtil.h"
#include "app/AppMessages.h"
#include "app/continuous/GifBuilder.h"
#include "app/tools/gif/GifResizeWnd.h"
#include "app/tools/gif/GifWnd.h"
#include "image/DibImage.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace continuous_test;
using namespace gif_maker_test;

namespace {

constexpr float kDelays[] = {5.0f, 10.0f, 2.5f};

// Where the Writes* cases put their files.
CString OutputFolder() {
    wchar_t out[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"GIF_MAKER_OUT", out, MAX_PATH) > 0)
        return out;
    return MakeScratchFolder(L"gifmaker_out");
}

CString WritePicture(const CString& folder, const Picture& picture, int width = 40, int height = 30) {
    const CString path = folder + L"\\" + picture.name;
    EXPECT_TRUE(gif_maker_test::WritePicture(path, picture, width, height)) << capture_test::Utf8(path.GetString());
    return path;
}

class GifMakerTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&init);
        folder = MakeScratchFolder(L"gifmaker");
        ASSERT_TRUE(maker.Create(IDD_GIF_MAKER));
        maker.ShowWindow(SW_SHOW);
        wt::PumpMessages();
    }
    void TearDown() override {
        if (maker.GetSafeHwnd())
            maker.DestroyWindow();
        wt::PumpMessages();
    }

    CGifListBoxWnd& frames() { return maker.GetFrameList(); }
    void Click(int id) { maker.SendDlgItemMessage(id, BM_CLICK); }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(maker.m_hWnd, id)) != FALSE; }
    void Select(int index) {
        frames().SetCurSel(index);
        maker.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_GIF_FRAMES, LBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(frames().m_hWnd));
    }
    void SetDelay(int index, const wchar_t* text) {
        Select(index);
        maker.SetDlgItemText(IDC_GIF_DELAY, text);
        Click(IDC_GIF_SET_DELAY);
    }
    std::vector<CString> ThreeFiles() {
        std::vector<CString> paths;
        for (const Picture& picture : kThree)
            paths.push_back(WritePicture(folder, picture));
        return paths;
    }
    // Pumps until the build's end has been handled; PIL reads what it wrote.
    bool WaitForBuild() {
        return wt::PumpUntil([&] { return !frames().IsBuilding(); }, 600) &&
               frames().GetBuildResult().status == GifBuildStatus::kWritten;
    }

    CString folder;
    CGifWnd maker;
    MessageBoxRecorder boxes;
};

TEST_F(GifMakerTest, WritesFramesWithTheirDelaysAndLoopFlag) {
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    ASSERT_EQ(frames().GetCount(), 3);
    SetDelay(0, L"5");
    SetDelay(1, L"10");
    SetDelay(2, L"2.5");
    const CString out = OutputFolder();
    for (const auto& [name, loop] : {std::pair{L"loop.gif", true}, std::pair{L"once.gif", false}}) {
        maker.CheckDlgButton(IDC_GIF_LOOP, loop ? BST_CHECKED : BST_UNCHECKED);
        const CString path = out + L"\\" + name;
        ASSERT_TRUE(maker.MakeGif(path));
        EXPECT_FALSE(Enabled(IDC_GIF_MAKE)) << "editing stays off while the build runs";
        ASSERT_TRUE(WaitForBuild()) << "build status " << static_cast<int>(frames().GetBuildResult().status);
        EXPECT_TRUE(Enabled(IDC_GIF_MAKE));
    }
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(GifMakerTest, WritesResizedFrames) {
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    ASSERT_TRUE(maker.ResizeFrames(50, 40));
    const CString resized = OutputFolder() + L"\\resized.gif";
    ASSERT_TRUE(maker.MakeGif(resized));
    ASSERT_TRUE(WaitForBuild()) << "build status " << static_cast<int>(frames().GetBuildResult().status);

    // Sizes out of range are refused with a message and change nothing.
    EXPECT_FALSE(maker.ResizeFrames(0, 40));
    EXPECT_FALSE(maker.ResizeFrames(50, CGifResizeWnd::kMaxSide + 1));
    EXPECT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(frames().GetFrame(0)->width, 50);
    ASSERT_EQ(maker.AddFiles({WritePicture(folder, kThree[0], 65536, 1)}), 1);  // too wide for a GIF: no write
    ASSERT_TRUE(maker.MakeGif(resized) && !WaitForBuild());
    EXPECT_EQ(CDibImage(resized, CDibImage::kFormatGif).GetWidth(), 50u) << "the GIF it was to replace is not kept";
}

// The frame-size dialog shows the preview's centring margins: the gap on each side between the sizes.
TEST_F(GifMakerTest, ResizeDialogShowsTheMarginsOfTheTypedSize) {
    HBITMAP sample = MakeSolidBitmap(100, 80, RGB(200, 10, 10));
    CGifResizeWnd resize(sample, 100, 80, &maker);
    ASSERT_TRUE(resize.Create(IDD_GIF_RESIZE, &maker));
    resize.ShowWindow(SW_SHOW);
    wt::PumpMessages();
    // Width is "너비"; "넓이" would be the area.
    EXPECT_NE(::FindWindowExW(resize.m_hWnd, nullptr, L"Static", L"너비:"), nullptr);
    struct Case {
        const wchar_t* width;
        int keepRatio;
        int newWidth, newHeight, marginX, marginY;
    };
    const Case cases[] = {{L"50", BST_CHECKED, 50, 40, 25, 20},
                          {L"200", BST_CHECKED, 200, 160, 50, 40},
                          {L"60", BST_UNCHECKED, 60, 160, 20, -40}};
    for (const Case& c : cases) {
        resize.CheckDlgButton(IDC_GIF_RESIZE_KEEP_RATIO, c.keepRatio);
        resize.SetDlgItemText(IDC_GIF_RESIZE_WIDTH, c.width);
        EXPECT_EQ(resize.GetNewWidth(), c.newWidth) << c.width;
        EXPECT_EQ(resize.GetNewHeight(), c.newHeight) << c.width;
        const FrameMargins& m = resize.GetMargins();
        EXPECT_TRUE(m.left == c.marginX && m.right == c.marginX && m.top == c.marginY && m.bottom == c.marginY)
            << c.width;
        EXPECT_EQ(static_cast<int>(resize.GetDlgItemInt(IDC_GIF_RESIZE_LEFT, nullptr, TRUE)), c.marginX);
        EXPECT_EQ(static_cast<int>(resize.GetDlgItemInt(IDC_GIF_RESIZE_BOTTOM, nullptr, TRUE)), c.marginY);
    }
    resize.DestroyWindow();
    DeleteObject(sample);
}

TEST_F(GifMakerTest, AnimatedGifAddsEveryFrameWithItsDelay) {
    std::vector<HBITMAP> bitmaps;
    std::vector<GifBuildFrame> source;
    for (int i = 0; i < 3; ++i) {
        bitmaps.push_back(MakeSolidBitmap(30, 20, kThree[i].colour));
        source.push_back({bitmaps.back(), kDelays[i], 0});
    }
    const CString animated = folder + L"\\animated.gif";
    ASSERT_EQ(BuildAnimatedGif(source, animated, true).status, GifBuildStatus::kWritten);
    for (HBITMAP bitmap : bitmaps)
        DeleteObject(bitmap);

    const CString broken = folder + L"\\broken.png";
    FILE* file = _wfopen(broken, L"wb");
    ASSERT_NE(file, nullptr);
    fputs("not a picture", file);
    fclose(file);

    EXPECT_EQ(maker.AddFiles({broken, animated, folder + L"\\missing.bmp"}), 3);
    ASSERT_EQ(frames().GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(frames().GetFrame(i)->time, kDelays[i]) << i;
        EXPECT_EQ(frames().GetFrame(i)->width, 30);
        // The card states the delay in the field's unit, with the field's name.
        Select(i);
        CString field;
        maker.GetDlgItemText(IDC_GIF_DELAY, field);
        EXPECT_EQ(std::wstring(frames().TimeLine(frames().GetFrame(i)->time).GetString()),
                  L"지연시간:" + std::wstring(field.GetString()))
            << i;
    }
    ASSERT_EQ(boxes.texts.size(), 1u) << "every unreadable file in one message";
    EXPECT_NE(boxes.texts[0].find(L"broken.png"), std::wstring::npos);
    EXPECT_NE(boxes.texts[0].find(L"missing.bmp"), std::wstring::npos);
}

TEST_F(GifMakerTest, FramesAreReorderedAndRemoved) {
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    Select(2);
    for (int i = 0; i < 3; ++i)
        Click(IDC_GIF_UP);  // the third press finds it first already
    EXPECT_NE(frames().GetFrame(0)->name.Find(L"blue.jpg"), -1);
    Click(IDC_GIF_REMOVE);
    ASSERT_EQ(frames().GetCount(), 2);
    EXPECT_NE(frames().GetFrame(0)->name.Find(L"red.bmp"), -1);
    EXPECT_EQ(maker.GetPreview().m_hPicture, frames().GetSelectedFrame()->bitmap);
}

TEST_F(GifMakerTest, SinglePlayPreviewEndsWithTheStopCommand) {
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    maker.SetDlgItemText(IDC_GIF_DELAY, L"1");
    Click(IDC_GIF_SET_ALL_DELAYS);
    maker.CheckDlgButton(IDC_GIF_LOOP, BST_UNCHECKED);
    Click(IDC_GIF_PLAY);
    ASSERT_TRUE(maker.GetPreview().IsPlaying());
    EXPECT_TRUE(Enabled(IDC_GIF_STOP));
    EXPECT_FALSE(Enabled(IDC_GIF_REMOVE));
    bool stopPosted = false;
    for (int idle = 0; idle < 100 && !stopPosted;) {
        MSG msg;
        bool any = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            if (msg.message == WM_COMMAND && msg.hwnd == maker.m_hWnd && LOWORD(msg.wParam) == IDC_GIF_STOP)
                stopPosted = true;
            AfxDispatchQueuedMessage(msg);
        }
        if (!any && ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT)
            ++idle;
    }
    EXPECT_TRUE(stopPosted);
    EXPECT_FALSE(maker.GetPreview().IsPlaying());
    EXPECT_FALSE(Enabled(IDC_GIF_STOP));
    EXPECT_TRUE(Enabled(IDC_GIF_REMOVE));
}

// The build thread reads the frames: nothing may free them, and the maker does not close, until it ends.
TEST_F(GifMakerTest, FramesStayWhileABuildRuns) {
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    ASSERT_TRUE(maker.MakeGif(folder + L"\\busy.gif"));
    EXPECT_FALSE(maker.MakeGif(folder + L"\\second.gif"));
    Click(IDC_GIF_REMOVE);
    EXPECT_FALSE(frames().DeleteSelectedFrame());
    EXPECT_EQ(frames().ResizeAllFrames(10, 10), 0);
    maker.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(::IsWindow(maker.m_hWnd));
    EXPECT_EQ(boxes.texts.size(), 1u) << "closing is refused with a message";
    ASSERT_TRUE(WaitForBuild()) << "build status " << static_cast<int>(frames().GetBuildResult().status);
    EXPECT_EQ(frames().GetCount(), 3);
}

TEST_F(GifMakerTest, BadDelayAndEmptyListAreRefused) {
    EXPECT_FALSE(maker.MakeGif(folder + L"\\empty.gif"));
    ASSERT_EQ(maker.AddFiles(ThreeFiles()), 3);
    for (const wchar_t* bad : {L"0", L"abc", L"-3", L"7000", L""}) {
        maker.SetDlgItemText(IDC_GIF_DELAY, bad);
        Click(IDC_GIF_SET_ALL_DELAYS);
    }
    EXPECT_EQ(boxes.texts.size(), 6u);
    EXPECT_FLOAT_EQ(frames().GetFrame(0)->time, 5.0f);
    maker.SendMessage(WM_COMMAND, IDOK);  // Enter keeps the maker and its frames
    EXPECT_TRUE(::IsWindowVisible(maker.m_hWnd));
}

}  // namespace
