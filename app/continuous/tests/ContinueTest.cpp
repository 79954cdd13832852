// The continuous-capture panel and its frame list in a real dialog: the
// series parameters handed to the owner, loading a finished series, frame
// edits, and GIF builds with their progress messages and refusals.
#include "ContinueTestSupport.h"
#include "WidgetTestUtil.h"
#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/continuous/ContinueWnd.h"
#include "app/continuous/NavigatorWnd.h"
#include "image/DibImage.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace continuous_test;

namespace {

// A navigator that only notes the series it is asked for.
struct RecordingOwner : CNavigatorWnd {
    std::vector<std::tuple<int, int, int>> calls;
    bool StartContinueCapture(int count, int intervalMs, int mode) override {
        calls.emplace_back(count, intervalMs, mode);
        return true;
    }
};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(panel.Create(IDD_CONTINUE));
        panel.ShowWindow(SW_SHOW);
        wt::PumpMessages();
    }
    void TearDown() override {
        if (panel.GetSafeHwnd())
            panel.DestroyWindow();
        wt::PumpMessages();
    }

    void Click(int id) { panel.SendDlgItemMessage(id, BM_CLICK); }
    void Type(int id, LPCWSTR text) { panel.SetDlgItemText(id, text); }
    CString Text(int id) {
        CString text;
        panel.GetDlgItemText(id, text);
        return text;
    }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(panel.m_hWnd, id)) != FALSE; }
    int WindowHeight() {
        RECT r;
        panel.GetWindowRect(&r);
        return r.bottom - r.top;
    }
    void Select(int index) {
        panel.GetFrameList().SetCurSel(index);
        panel.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CONTINUE_FRAMES, LBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(panel.GetFrameList().m_hWnd));
    }
    // Pumps until the build's end has been handled, recording the GIF messages as they are dispatched.
    std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> PumpBuild() {
        std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> seen;
        for (int idle = 0; idle < 600 && panel.GetFrameList().IsBuilding();) {
            MSG msg;
            bool any = false;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                any = true;
                if (msg.message == WM_GIF_PROGRESS || msg.message == WM_GIF_DONE)
                    seen.push_back({msg.message, {msg.wParam, msg.lParam}});
                AfxDispatchQueuedMessage(msg);
            }
            if (!any && ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT)
                ++idle;
        }
        return seen;
    }

    RecordingOwner owner;
    CContinueWnd panel{&owner};
    MessageBoxRecorder boxes;
};

bool FileExists(const CString& path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

CString WriteBmp(const CString& folder, LPCWSTR name, int width, int height, COLORREF colour) {
    HBITMAP bitmap = MakeSolidBitmap(width, height, colour);
    CDibImage image;
    image.CreateFromHBITMAP(bitmap);
    DeleteObject(bitmap);
    const CString path = folder + L"\\" + name;
    EXPECT_TRUE(image.Save(path, CDibImage::kFormatBmp));
    return path;
}

}  // namespace

TEST_F(PanelTest, SeriesStartsWithTheEditValuesOnlyWhenTimeAndCountArePositive) {
    const int shrunk = WindowHeight();
    Click(IDC_CONTINUE_MODE_FILES);
    EXPECT_GT(WindowHeight(), shrunk);  // the frame list shows
    EXPECT_EQ(panel.GetMode(), 1);

    struct Case {
        LPCWSTR time, count;
        bool starts;
        int interval;
        int badField;  // the field a refusal names
    };
    const Case cases[] = {
        {L"0.7", L"4", true, 70, 0},   {L"2.5", L"3", true, 250, 0},  {L"0", L"4", false, 0, IDC_CONTINUE_TIME},
        {L"5", L"0", false, 0, IDC_CONTINUE_COUNT}, {L"-2", L"3", false, 0, IDC_CONTINUE_TIME},
        {L"5", L"-1", false, 0, IDC_CONTINUE_COUNT}, {L"5", L"2.5", false, 0, IDC_CONTINUE_COUNT},
    };
    for (const Case& c : cases) {
        owner.calls.clear();
        boxes.texts.clear();
        Type(IDC_CONTINUE_TIME, c.time);
        Type(IDC_CONTINUE_COUNT, c.count);
        Click(IDC_CONTINUE_START);
        if (!c.starts) {
            EXPECT_TRUE(owner.calls.empty()) << c.time << " " << c.count;
            EXPECT_FALSE(panel.IsSeriesRunning());
            // Told why, in Korean.
            ASSERT_EQ(boxes.texts.size(), 1u) << c.time << " " << c.count;
            EXPECT_EQ(boxes.texts[0], c.badField == IDC_CONTINUE_TIME
                                          ? L"시간을 0보다 큰 숫자로 입력하세요. (1초는 10입니다)"
                                          : L"캡쳐갯수를 1 이상의 정수로 입력하세요.");
            continue;
        }
        ASSERT_EQ(owner.calls.size(), 1u) << c.time;
        EXPECT_EQ(owner.calls[0], std::make_tuple(_wtoi(c.count), c.interval, 1)) << c.time;
        EXPECT_TRUE(panel.IsSeriesRunning());
        EXPECT_FALSE(Enabled(IDC_CONTINUE_START));
        EXPECT_TRUE(Enabled(IDC_CONTINUE_STOP));
        // The edits are read once: a later bad value does not matter to the running series.
        Type(IDC_CONTINUE_TIME, L"abc");
        const int count = _wtoi(c.count);
        panel.UpdateCaptureCount(count - 1);
        EXPECT_FALSE(Enabled(IDC_CONTINUE_START));
        panel.UpdateCaptureCount(count);
        EXPECT_TRUE(Enabled(IDC_CONTINUE_START));
        CString done;
        done.Format(L"캡쳐 완료:%d", count);
        EXPECT_TRUE(Text(IDC_CONTINUE_DONE) == done);
    }

    // A time that is not a number is reported once, in Korean, and starts nothing.
    owner.calls.clear();
    boxes.texts.clear();
    Type(IDC_CONTINUE_TIME, L"abc");
    Type(IDC_CONTINUE_COUNT, L"3");
    Click(IDC_CONTINUE_START);
    EXPECT_TRUE(owner.calls.empty());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], L"시간을 0보다 큰 숫자로 입력하세요. (1초는 10입니다)");

    // Stop clears the running flag; reset shrinks the panel and empties the fields.
    Click(IDC_CONTINUE_STOP);
    EXPECT_FALSE(panel.IsSeriesRunning());
    Click(IDC_CONTINUE_RESET);
    EXPECT_EQ(WindowHeight(), shrunk);
    EXPECT_EQ(panel.GetMode(), 0);
    EXPECT_EQ(panel.IsDlgButtonChecked(IDC_CONTINUE_MODE_CAPTURE), BST_CHECKED);
}

TEST_F(PanelTest, FinishedSeriesBecomeFramesThatCanBeEdited) {
    const CString folder = MakeScratchFolder(L"series");
    Click(IDC_CONTINUE_MODE_FILES);
    Type(IDC_CONTINUE_TIME, L"2.5");
    Type(IDC_CONTINUE_COUNT, L"3");
    Click(IDC_CONTINUE_START);
    CapturedFileList = {WriteBmp(folder, L"a_0.bmp", 200, 100, RGB(255, 0, 0)),
                        WriteBmp(folder, L"a_1.bmp", 200, 100, RGB(0, 255, 0)), folder + L"\\missing.png"};
    // The capture engine's series completion reaches the open panel.
    CContinueWnd::OnCaptureSeriesComplete();
    CContinueListBoxWnd& list = panel.GetFrameList();
    EXPECT_TRUE(CapturedFileList.empty());
    ASSERT_EQ(list.GetCount(), 3);
    const ContinueFrame* first = list.GetFrame(0);
    EXPECT_TRUE(first->name == folder + L"\\a_0.bmp");
    EXPECT_EQ(first->width, 200);
    EXPECT_EQ(first->height, 100);
    EXPECT_FLOAT_EQ(first->time, 2.5f);
    // A file that could not be read is a frame without a picture.
    EXPECT_EQ(list.GetFrame(2)->bitmap, nullptr);

    // Selecting a frame shows its time and size; keep-ratio edits follow it.
    Select(0);
    EXPECT_TRUE(Text(IDC_CONTINUE_WIDTH) == L"200");
    EXPECT_TRUE(Text(IDC_CONTINUE_HEIGHT) == L"100");
    Type(IDC_CONTINUE_WIDTH, L"50");
    EXPECT_TRUE(Text(IDC_CONTINUE_HEIGHT) == L"25");
    Type(IDC_CONTINUE_HEIGHT, L"33");
    EXPECT_TRUE(Text(IDC_CONTINUE_WIDTH) == L"66");

    // Frame times: the selected one, then all of them.
    Type(IDC_CONTINUE_FRAME_TIME, L"7");
    Click(IDC_CONTINUE_SET_TIME);
    EXPECT_FLOAT_EQ(list.GetFrame(0)->time, 7.0f);
    EXPECT_FLOAT_EQ(list.GetFrame(1)->time, 2.5f);
    Type(IDC_CONTINUE_FRAME_TIME, L"0.5");
    Click(IDC_CONTINUE_SET_ALL_TIMES);
    for (int i = 0; i < list.GetCount(); ++i)
        EXPECT_FLOAT_EQ(list.GetFrame(i)->time, 0.5f);

    // Resize all frames that have a picture.
    Type(IDC_CONTINUE_WIDTH, L"20");
    Type(IDC_CONTINUE_HEIGHT, L"10");
    Click(IDC_CONTINUE_RESIZE_ALL);
    BITMAP info = {};
    GetObjectW(list.GetFrame(1)->bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth * 100 + info.bmHeight, 20 * 100 + 10);

    // Delete with nothing selected does nothing; in file mode the selected frame's file goes too.
    list.SetCurSel(-1);
    Click(IDC_CONTINUE_DELETE);
    EXPECT_EQ(list.GetCount(), 3);
    Select(1);
    Click(IDC_CONTINUE_DELETE);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_FALSE(FileExists(folder + L"\\a_1.bmp"));
    EXPECT_TRUE(FileExists(folder + L"\\a_0.bmp"));
    // A frame held only in memory deletes no file, not even the one its label names in the working folder.
    Select(list.AddBitmapFrame(nullptr, 1.0f));
    const CString label = WriteBmp(L".", list.GetSelectedFrame()->name, 8, 8, RGB(1, 2, 3));
    Click(IDC_CONTINUE_DELETE);
    EXPECT_TRUE(FileExists(label) && DeleteFileW(label));

    // A mode change empties the list and keeps the files.
    Click(IDC_CONTINUE_MODE_DC);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(FileExists(folder + L"\\a_0.bmp"));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(PanelTest, BitmapSeriesFramesAreNamedInOrderAndOwnTheirCopies) {
    Click(IDC_CONTINUE_MODE_DC);
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 0, 255)})
        CapturedBitmapList.push_back({MakeSolidBitmap(30, 20, colour), 30, 20});
    panel.LoadCapturedBitmaps();
    EXPECT_TRUE(CapturedBitmapList.empty());
    CContinueListBoxWnd& list = panel.GetFrameList();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_TRUE(list.GetFrame(0)->name == L"VeskDC_0.bmp");
    EXPECT_TRUE(list.GetFrame(1)->name == L"VeskDC_1.bmp");
    EXPECT_NE(GetObjectType(list.GetFrame(1)->bitmap), 0u);

    // Deleting in bitmap mode removes only the frame; the list draws its cards.
    Select(0);
    Click(IDC_CONTINUE_DELETE);
    EXPECT_EQ(list.GetCount(), 1);
    wt::Settle(panel.m_hWnd);
    EXPECT_EQ(wt::WindowPixel(list.m_hWnd, 3, 3), RGB(128, 128, 128));  // unselected item background
}

TEST_F(PanelTest, GifBuildReportsStartProgressAndEndAsDistinctMessages) {
    const CString folder = MakeScratchFolder(L"gif");
    Click(IDC_CONTINUE_MODE_DC);
    CContinueListBoxWnd& list = panel.GetFrameList();
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}) {
        HBITMAP bitmap = MakeSolidBitmap(40, 30, colour);
        list.AddBitmapFrame(bitmap, 5.0f);
        DeleteObject(bitmap);
    }
    list.AddFileFrame(folder + L"\\missing.bmp", 5.0f);  // no picture: skipped

    const CString path = folder + L"\\out.gif";
    ASSERT_TRUE(panel.MakeGif(path));
    EXPECT_FALSE(Enabled(IDC_CONTINUE_MAKE_GIF));
    // Closing while the thread reads the frames is refused.
    panel.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(::IsWindow(panel.m_hWnd));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(list.GetCount(), 4);

    const auto seen = PumpBuild();
    const std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> expected = {
        {WM_GIF_PROGRESS, {0, 0}}, {WM_GIF_PROGRESS, {3, 0}}, {WM_GIF_PROGRESS, {3, 1}},
        {WM_GIF_PROGRESS, {3, 2}}, {WM_GIF_DONE, {0, 1}}};
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(Enabled(IDC_CONTINUE_MAKE_GIF));
    EXPECT_EQ(panel.GetProgressPercent(), 0);
    EXPECT_FALSE(panel.IsCompressing());
    EXPECT_EQ(list.GetBuildResult().framesWritten, 3);
    CDibImage written(path, CDibImage::kFormatGif);
    EXPECT_TRUE(written.IsValid());
    EXPECT_EQ(written.GetWidth(), 40u);
    EXPECT_EQ(boxes.texts.size(), 1u);  // success tells nothing
}

TEST_F(PanelTest, GifBuildsWithoutFramesOrWithoutAFileAreRefusedInKorean) {
    const CString folder = MakeScratchFolder(L"refused");
    Click(IDC_CONTINUE_MODE_DC);
    CContinueListBoxWnd& list = panel.GetFrameList();

    // An empty list, then a list whose only frame has no picture.
    EXPECT_FALSE(panel.MakeGif(folder + L"\\empty.gif"));
    list.AddFileFrame(folder + L"\\missing.bmp", 5.0f);
    EXPECT_FALSE(panel.MakeGif(folder + L"\\empty.gif"));
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0], L"GIF로 만들 이미지가 없습니다.");
    EXPECT_TRUE(Enabled(IDC_CONTINUE_MAKE_GIF));
    EXPECT_TRUE(Enabled(IDC_CONTINUE_START));
    EXPECT_FALSE(FileExists(folder + L"\\empty.gif"));

    // A folder that does not exist: the build ends as a failure, said so, controls usable.
    HBITMAP bitmap = MakeSolidBitmap(8, 8, RGB(1, 2, 3));
    list.AddBitmapFrame(bitmap, 1.0f);
    DeleteObject(bitmap);
    ASSERT_TRUE(panel.MakeGif(folder + L"\\no such folder\\x.gif"));
    PumpBuild();
    EXPECT_EQ(list.GetBuildResult().status, GifBuildStatus::kWriteFailed);
    ASSERT_EQ(boxes.texts.size(), 3u);
    EXPECT_NE(boxes.texts[2].find(L"저장하지 못했습니다"), std::wstring::npos);
    EXPECT_TRUE(Enabled(IDC_CONTINUE_MAKE_GIF));
    panel.SendMessage(WM_GIF_PROGRESS, 10, 3);
    EXPECT_EQ(panel.GetProgressPercent(), 30);
}

TEST(FrameListInit, EmptiesBothSeriesListsAndFreesTheirBitmaps) {
    CContinueWnd panel(nullptr);
    CapturedFileList = {L"a", L"b"};
    HBITMAP leftover = MakeSolidBitmap(4, 4, RGB(9, 9, 9));
    CapturedBitmapList = {{leftover, 4, 4}};
    ASSERT_TRUE(panel.Create(IDD_CONTINUE));
    EXPECT_TRUE(CapturedFileList.empty());
    EXPECT_TRUE(CapturedBitmapList.empty());
    EXPECT_EQ(GetObjectType(leftover), 0u);  // deleted
    // Closing the panel clears the running flag and frees the frames.
    HBITMAP bitmap = MakeSolidBitmap(4, 4, RGB(9, 9, 9));
    panel.GetFrameList().AddBitmapFrame(bitmap, 1.0f);
    DeleteObject(bitmap);
    HBITMAP copy = panel.GetFrameList().GetFrame(0)->bitmap;
    EXPECT_EQ(CContinueWnd::GetOpenPanel(), &panel);
    panel.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(GetObjectType(copy), 0u);
    EXPECT_FALSE(panel.IsSeriesRunning());
    panel.DestroyWindow();
    EXPECT_EQ(CContinueWnd::GetOpenPanel(), nullptr);
}
