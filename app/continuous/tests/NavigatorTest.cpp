// Series of the navigator in this process: a real frame, its panel and a real
// capture engine writing into a scratch folder. The panel's buttons start and
// stop the series; what reaches the disk, the engine's listeners and the
// panel's frame list is checked, and the process's GDI objects are counted.
#include "CaptureTestSupport.h"
#include "WidgetTestUtil.h"
#include "app/continuous/NavigatorWnd.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <vector>

using namespace capture_test;

namespace {

constexpr RECT kFrame = {40, 60, 300, 260};

bool FileExists(const CString& path) { return GetFileAttributesW(path.GetString()) != INVALID_FILE_ATTRIBUTES; }

// Passes a finished file series on to the open panel, as the main dialog does.
class PanelSink : public RecordingSink {
public:
    void OnSeriesComplete() override {
        RecordingSink::OnSeriesComplete();
        CContinueWnd::OnCaptureSeriesComplete();
    }
};

class NavigatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(L"navigator");
        options.file.Directory = folder;
        options.file.FileName = L"Vesk";
        options.file.FileType = L"bmp";
        options.file.FileCount = 0;
        options.misc.MouseCursor = 0;
        options.misc.SoundEffect = 0;
        options.misc.ToolTipEffect = 0;
        engine.Attach(done.Get(), &sink);
        nav.AttachEngine(&engine);
        ASSERT_TRUE(nav.Create(IDD_NAVIGATOR));
        nav.MoveWindow(kFrame.left, kFrame.top, kFrame.right - kFrame.left, kFrame.bottom - kFrame.top);
        nav.ShowWindow(SW_SHOWNOACTIVATE);
        ASSERT_TRUE(panel().Create(IDD_CONTINUE, &nav));
        panel().ShowWindow(SW_SHOWNOACTIVATE);
        wt::Settle(nav.m_hWnd);
    }
    void TearDown() override {
        if (panel().GetSafeHwnd())
            panel().DestroyWindow();
        if (nav.GetSafeHwnd())
            nav.DestroyWindow();
        engine.JoinAll();
        wt::PumpMessages();
    }

    CContinueWnd& panel() { return nav.GetContinuePanel(); }
    void Click(int id) { panel().SendDlgItemMessage(id, BM_CLICK); }
    // Starts a series of `count` shots 0.1 s apart.
    void Start(int modeId, LPCWSTR count) {
        Click(modeId);
        panel().SetDlgItemText(IDC_CONTINUE_TIME, L"1");
        panel().SetDlgItemText(IDC_CONTINUE_COUNT, count);
        Click(IDC_CONTINUE_START);
    }
    bool WaitForRest() {
        return wt::PumpUntil([&] { return !nav.IsBusy(); }, 400) && done.WaitForAll();
    }
    CString Numbered(int n) const {
        CString path;
        path.Format(L"%s\\Vesk_%d.bmp", folder.GetString(), n);
        return path;
    }
    int FilesOnDisk() const {
        int n = 0;
        while (FileExists(Numbered(n)))
            ++n;
        return n;
    }
    // Every frame has a picture the size of the frame's inside.
    int FramesOfInsideSize() {
        const RECT inside = nav.GetCaptureRect();
        int n = 0;
        for (int i = 0; i < panel().GetFrameList().GetCount(); ++i) {
            const ContinueFrame* frame = panel().GetFrameList().GetFrame(i);
            n += frame && frame->bitmap && frame->width == inside.right - inside.left &&
                 frame->height == inside.bottom - inside.top;
        }
        return n;
    }

    struct Options {
        COpFilePropertyPage file;
        COpWatermarkPropertyPage watermark;
        COpContinuePage misc;
    } options;
    CString folder;
    PanelSink sink;
    CCaptureEngine engine{options.file, options.watermark, options.misc};
    DoneWindow done{engine};
    CNavigatorWnd nav;
};

TEST_F(NavigatorTest, SeriesModesGiveCapturesFileFramesOrBitmapFramesAndLeaveNoGdiObject) {
    struct Case {
        int modeId;
        int files;        // on disk
        int listed;       // handed to the saved-files pane
        int frames;       // in the panel's list
        int switchTo;     // a mode chosen as soon as the buttons are back, before the hand-over
    } cases[] = {
        {IDC_CONTINUE_MODE_CAPTURE, 3, 3, 0, 0},
        {IDC_CONTINUE_MODE_FILES, 3, 0, 3, 0},
        {IDC_CONTINUE_MODE_DC, 0, 0, 3, 0},
        {IDC_CONTINUE_MODE_DC, 0, 0, 0, IDC_CONTINUE_MODE_FILES},
    };
    // A file series of three first makes what the library and the system
    // create once (codecs, the drawing of a full list; one shot is not
    // enough); the three modes after it must end where they began.
    Start(IDC_CONTINUE_MODE_FILES, L"3");
    ASSERT_TRUE(WaitForRest()) << "still busy " << nav.IsBusy();
    Click(IDC_CONTINUE_MODE_CAPTURE);
    wt::PumpMessages();
    const int gdiBefore = wt::CountGdiObjects();
    // The mode change after the bitmap series asks whether its frames may go: yes.
    const AfxMessageBoxHook previous = AfxSetMessageBoxHook([](HWND, LPCWSTR, LPCWSTR, UINT) { return IDYES; });
    for (const Case& c : cases) {
        // The saved-DC tab showing changes nothing for a file series.
        engine.SetSaveTarget(c.modeId == IDC_CONTINUE_MODE_FILES ? kTargetSavedDc : kTargetFiles);
        const size_t listedBefore = sink.Files().size();
        const int filesBefore = FilesOnDisk();
        Start(c.modeId, L"3");
        ASSERT_TRUE(nav.IsBusy()) << c.modeId;
        if (c.switchTo) {
            ASSERT_TRUE(wt::PumpUntil([&] { return panel().GetDlgItem(c.switchTo)->IsWindowEnabled(); }, 400))
                << "the mode buttons never came back, nav busy: " << nav.IsBusy();
            Click(c.switchTo);
        }
        ASSERT_TRUE(WaitForRest()) << c.modeId;
        EXPECT_EQ(FilesOnDisk() - filesBefore, c.files) << c.modeId;
        EXPECT_EQ(sink.Files().size() - listedBefore, static_cast<size_t>(c.listed)) << c.modeId;
        EXPECT_TRUE(sink.Labels().empty()) << c.modeId;
        EXPECT_EQ(panel().GetFrameList().GetCount(), c.frames) << c.modeId;
        EXPECT_EQ(FramesOfInsideSize(), c.frames) << c.modeId;
        EXPECT_TRUE(CapturedFileList.empty());
        EXPECT_TRUE(CapturedBitmapList.empty());
        EXPECT_FALSE(engine.IsSeries());
        EXPECT_EQ(nav.GetStatus(), IDS_NAV_READY);
        EXPECT_FALSE(nav.IsNumberMode());
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(panel().m_hWnd, IDC_CONTINUE_START))) << c.modeId;
        // Frames gone with the mode change.
        Click(IDC_CONTINUE_MODE_CAPTURE);
        wt::PumpMessages();
    }
    AfxSetMessageBoxHook(previous);
    // Shots, their DCs and the frames made of them are all gone.
    EXPECT_EQ(wt::CountGdiObjects(), gdiBefore);
    EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(NavigatorTest, StoppingAFileSeriesLoadsOnlyTheFilesOfTheShotsTaken) {
    Start(IDC_CONTINUE_MODE_FILES, L"6");
    ASSERT_TRUE(wt::PumpUntil([&] { return nav.IsNumberMode() && nav.GetStatus() == 2; }, 400));
    Click(IDC_CONTINUE_STOP);
    ASSERT_TRUE(WaitForRest()) << "still busy " << nav.IsBusy();
    EXPECT_EQ(FilesOnDisk(), 2);
    EXPECT_EQ(panel().GetFrameList().GetCount(), 2);
    EXPECT_EQ(FramesOfInsideSize(), 2);
    EXPECT_TRUE(CapturedFileList.empty());
    EXPECT_FALSE(engine.IsSeries());
    EXPECT_EQ(sink.SeriesCompletions(), 1);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(panel().m_hWnd, IDC_CONTINUE_START)));
}

TEST_F(NavigatorTest, ClosingDuringABitmapSeriesFreesItsShots) {
    Start(IDC_CONTINUE_MODE_DC, L"6");
    ASSERT_TRUE(wt::PumpUntil([&] { return nav.IsNumberMode() && nav.GetStatus() == 2; }, 400));
    ASSERT_EQ(CapturedBitmapList.size(), 2u);
    std::vector<HBITMAP> shots;
    for (const CapturedBitmap& shot : CapturedBitmapList)
        shots.push_back(shot.bitmap);
    panel().DestroyWindow();
    nav.DestroyWindow();
    wt::PumpMessages();
    EXPECT_TRUE(CapturedBitmapList.empty());
    for (HBITMAP shot : shots)
        EXPECT_EQ(::GetObjectType(shot), 0u);

    // Opened again, it starts at rest.
    ASSERT_TRUE(nav.Create(IDD_NAVIGATOR));
    EXPECT_FALSE(nav.IsBusy());
    EXPECT_FALSE(nav.IsNumberMode());
    EXPECT_EQ(nav.GetStatus(), IDS_NAV_READY);
}

}  // namespace
