#include "CaptureTestSupport.h"

#include "app/capture/CursorCapture.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "image/DibImage.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace capture_test;

namespace {
constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Four quadrants of distinct colours and one odd pixel, so a flipped, shifted
// or channel-swapped picture cannot pass.
DWORD Quadrants(int x, int y) {
    if (x == 5 && y == 7)
        return 0x00FFFF00;
    if (y < kHeight / 2)
        return x < kWidth / 2 ? 0x00FF0000 : 0x0000FF00;
    return x < kWidth / 2 ? 0x000000FF : 0x00FFFFFF;
}

struct Options {
    COpFilePropertyPage file;
    COpWatermarkPropertyPage watermark;
    COpContinuePage misc;
};

class CaptureEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(L"engine");
        options.file.Directory = folder;
        options.file.FileName = L"Vesk";
        options.file.FileType = L"bmp";
        options.file.FileCount = 0;
        engine.Attach(done.Get(), &sink);
    }
    void TearDown() override { engine.JoinAll(); }

    bool CaptureSource(DWORD (*pixel)(int, int) = Quadrants, int width = kWidth, int height = kHeight) {
        MemorySource source = MakeSource(width, height, pixel);
        const RECT rect = {100, 200, 100 + width, 200 + height};
        return engine.StartCapture(source.dc, rect, FALSE, false, 0, source.bitmap);
    }
    CString NumberedPath(int number, LPCWSTR type) const {
        CString path;
        path.Format(L"%s\\Vesk_%d.%s", folder.GetString(), number, type);
        return path;
    }

    CString folder;
    Options options;
    RecordingSink sink;
    CCaptureEngine engine{options.file, options.watermark, options.misc};
    DoneWindow done{engine};
};

bool FileExists(const CString& path) { return GetFileAttributesW(path.GetString()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const CString& path) {
    HANDLE file = CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
}

// A window of ours under the pointer, so the system shows its arrow cursor there.
class PointerOverOwnWindow {
public:
    explicit PointerOverOwnWindow(POINT at) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"VeskCaptureTestPointer";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, at.x - 50, at.y - 50,
                                 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(m_hwnd);
        SetCursorPos(at.x, at.y);
        for (int round = 0; round < 50 && !CursorShowing(); ++round) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            SetCursorPos(at.x, at.y);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    ~PointerOverOwnWindow() { DestroyWindow(m_hwnd); }
    static bool CursorShowing() {
        CURSORINFO info = {};
        info.cbSize = sizeof(info);
        return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) && info.hCursor;
    }

private:
    HWND m_hwnd = nullptr;
};

int ChannelDistance(DWORD a, DWORD b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}
}  // namespace

TEST_F(CaptureEngineTest, EveryFormatLoadsBackWithTheCapturedPixels) {
    struct Case {
        LPCWSTR type;
        int tolerance;  // per channel
        WORD bpp;       // expected depth when loaded back; 0 = any
    };
    const Case cases[] = {
        {L"bmp", 0, 24}, {L"png", 0, 24}, {L"tif", 0, 24}, {L"gif", 8, 8},
        {L"jpg", 48, 0}, {L"ico", 0, 0},  {L"cur", 0, 0},  {L"GIF", 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.type));
        options.file.FileType = c.type;
        const int number = options.file.FileCount;
        ASSERT_TRUE(CaptureSource());
        ASSERT_TRUE(done.WaitForAll());
        const CString path = NumberedPath(number, c.type);
        CDibImage image;
        ASSERT_TRUE(image.Load(path.GetString(), 0)) << image.GetLastError();
        ASSERT_EQ(image.GetWidth(), static_cast<DWORD>(kWidth));
        ASSERT_EQ(image.GetHeight(), static_cast<DWORD>(kHeight));
        if (c.bpp) {
            EXPECT_EQ(image.GetBpp(), c.bpp);
        }
        if (c.bpp == 8) {
            EXPECT_EQ(image.GetNumColors(), 256u);
        }
        const POINT probes[] = {{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {20, 30}};
        for (const POINT& p : probes)
            EXPECT_LE(ChannelDistance(PixelAt(image, p.x, p.y), Quadrants(p.x, p.y)), c.tolerance)
                << "at " << p.x << "," << p.y;
        if (c.tolerance == 0) {
            EXPECT_EQ(PixelAt(image, 5, 7), Quadrants(5, 7));
        }
    }
    EXPECT_EQ(sink.Files().size(), std::size(cases));
    for (const std::wstring& failure : sink.Failures())
        ADD_FAILURE() << Utf8(failure);
}

TEST_F(CaptureEngineTest, NamingTakesTheFirstFreeNumber) {
    Touch(NumberedPath(0, L"bmp"));
    Touch(NumberedPath(1, L"bmp"));
    ASSERT_TRUE(CaptureSource());
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(options.file.FileCount, 3);
    EXPECT_TRUE(FileExists(NumberedPath(2, L"bmp")));
    ASSERT_EQ(sink.Files().size(), 1u);
    EXPECT_EQ(sink.Files()[0], NumberedPath(2, L"bmp").str());

    // A folder that cannot be made (a file in its place): the first probed
    // name is taken, and the failure is reported instead of reaching the pane.
    options.file.Directory = NumberedPath(0, L"bmp") + L"\\missing";
    options.file.FileCount = 0;
    ASSERT_TRUE(CaptureSource());
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(options.file.FileCount, 1);
    EXPECT_EQ(sink.Files().size(), 1u);
    ASSERT_EQ(sink.Failures().size(), 1u);
    EXPECT_NE(sink.Failures()[0].find(L"Vesk_0.bmp\\missing"), std::wstring::npos);

    // 90 syllables, over the file system's 255 bytes here, which cuts every
    // number to one name: both captures refused, nothing listed or left.
    options.file.Directory = folder;
    options.file.FileName = std::wstring(90, L'각').c_str();
    for (int capture = 0; capture < 2; ++capture)
        CaptureSource(), done.WaitForAll();
    EXPECT_EQ(sink.Files().size(), 1u);
    ASSERT_EQ(sink.Failures().size(), 3u);
    EXPECT_NE(sink.Failures()[2].find(L"이 이름 그대로는"), std::wstring::npos);
    EXPECT_FALSE(FileExists(folder + L"\\" + options.file.FileName + L"_0.bmp"));  // nor its cut name
    // Its cut name already on disk: refused at once, no search.
    Touch(folder + L"\\" + options.file.FileName + L"_0.bmp");
    options.file.FileCount = 0;
    EXPECT_FALSE(CaptureSource());
    EXPECT_EQ(options.file.FileCount, 0);
    ASSERT_EQ(sink.Failures().size(), 4u);
    // 82 syllables fit (246 of the 255 bytes): saved under that name.
    options.file.FileName = std::wstring(82, L'각').c_str();
    options.file.FileCount = 0;
    ASSERT_TRUE(CaptureSource() && done.WaitForAll());
    EXPECT_EQ(sink.Files().back(), (folder + L"\\" + options.file.FileName + L"_0.bmp").str());
    // The file system ignores case: "case_0.bmp" holds the first number. The
    // name is held from the start, so another copy of the program cannot take it.
    Touch(folder + L"\\case_0.bmp");
    options.file.FileName = L"Case";
    options.file.FileCount = 0;
    ASSERT_TRUE(CaptureSource());
    EXPECT_TRUE(FileExists(folder + L"\\Case_1.bmp")) << "the name is free until the file is written";
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(sink.Files().back(), (folder + L"\\Case_1.bmp").str());
}

TEST_F(CaptureEngineTest, EmptyOrHugeRectanglesAreReportedNotCaptured) {
    const RECT rects[] = {{10, 10, 10, 50}, {10, 10, 50, 10}, {50, 50, 10, 10}, {0, 0, 100000, 100000}};
    for (const RECT& rect : rects) {
        MemorySource source = MakeSource(4, 4, Quadrants);
        ASSERT_TRUE(engine.StartCapture(source.dc, rect, FALSE, false, 0, source.bitmap));
    }
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(sink.Failures().size(), std::size(rects));
    EXPECT_TRUE(sink.Files().empty());
}

TEST_F(CaptureEngineTest, SavedDcTargetDeliversBitmapsWithCountingLabels) {
    engine.SetSaveTarget(kTargetSavedDc);
    options.file.EditedChecked = 1;
    options.file.EditedTool = L"C:\\no\\such\\editor.exe";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(CaptureSource());
    ASSERT_TRUE(done.WaitForAll());
    auto labels = sink.Labels();
    std::sort(labels.begin(), labels.end());
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0], L"예약된 이름\\veskdc_0.bmp");
    EXPECT_EQ(labels[2], L"예약된 이름\\veskdc_2.bmp");
    EXPECT_EQ(engine.GetSavedDcCounter(), 3);
    EXPECT_TRUE(sink.Files().empty());
    EXPECT_EQ(options.file.FileCount, 0);

    CDibImage image;
    HBITMAP bitmap = sink.TakeBitmap(0);
    ASSERT_TRUE(image.CreateFromHBITMAP(bitmap));
    DeleteObject(bitmap);
    EXPECT_EQ(PixelAt(image, 5, 7), Quadrants(5, 7));
    EXPECT_EQ(PixelAt(image, kWidth - 1, kHeight - 1), Quadrants(kWidth - 1, kHeight - 1));
}

// The system's own answer, not a stand-in: with the address space taken
// up to its last 16 MB block, a capture into memory is refused before anything
// is used up; with room for the program's reserve again, it is kept.
TEST_F(CaptureEngineTest, CapturesIntoMemoryStopWhenTheAddressSpaceIsTaken) {
    engine.SetSaveTarget(kTargetSavedDc);
    constexpr SIZE_T kBlock = 16 << 20;
    std::vector<void*> taken;
    while (void* block = VirtualAlloc(nullptr, kBlock, MEM_RESERVE, PAGE_NOACCESS))
        taken.push_back(block);
    const bool startedWhenFull = CaptureSource();
    const size_t room = CCaptureEngine::kAddressReserve / kBlock + 4;
    for (size_t i = 0; i < room && !taken.empty(); ++i) {
        VirtualFree(taken.back(), 0, MEM_RELEASE);
        taken.pop_back();
    }
    const bool startedWithRoom = CaptureSource();
    for (void* block : taken)
        VirtualFree(block, 0, MEM_RELEASE);

    EXPECT_FALSE(startedWhenFull);
    EXPECT_TRUE(startedWithRoom);
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(sink.Labels().size(), 1u);
    ASSERT_EQ(sink.Failures().size(), 1u);
    EXPECT_NE(sink.Failures()[0].find(L"가득 찼습니다"), std::wstring::npos);
}

TEST_F(CaptureEngineTest, SeriesNamesAreListedAndCompletionIsReportedOnce) {
    CapturedFileList.clear();
    for (int i = 0; i < 3; ++i) {
        MemorySource source = MakeSource(kWidth, kHeight, Quadrants);
        ASSERT_TRUE(engine.StartCapture(source.dc, RECT{0, 0, kWidth, kHeight}, TRUE, true, 3, source.bitmap));
    }
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(CapturedFileList.size(), 3u);
    EXPECT_EQ(sink.SeriesCompletions(), 1);
    EXPECT_FALSE(engine.IsSeries());
    EXPECT_TRUE(sink.Files().empty());  // series files reach the continuous panel, not the pane
    CapturedFileList.clear();
}

TEST_F(CaptureEngineTest, SlotZeroIsReusedAfter1024CapturesWithoutDeadlock) {
    engine.SetSaveTarget(kTargetSavedDc);
    sink.keepBitmaps = false;
    const auto tiny = [](int, int) -> DWORD { return 0x00102030; };
    for (int i = 0; i <= CCaptureEngine::kSlotCount; ++i)
        ASSERT_TRUE(CaptureSource(tiny, 4, 4)) << i;
    EXPECT_EQ(engine.GetNextSlot(), 1);
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(sink.Labels().size(), static_cast<size_t>(CCaptureEngine::kSlotCount + 1));
    EXPECT_TRUE(sink.Failures().empty());
    // The stale completion of slot 0's first worker must not end the next one early.
    ASSERT_TRUE(CaptureSource(tiny, 4, 4));
    ASSERT_TRUE(done.WaitForAll());
    EXPECT_EQ(sink.Labels().size(), static_cast<size_t>(CCaptureEngine::kSlotCount + 2));
}

TEST_F(CaptureEngineTest, GdiObjectsStayFlatAcrossManyCaptures) {
    PointerOverOwnWindow pointer({120, 220});
    ASSERT_TRUE(PointerOverOwnWindow::CursorShowing());
    options.misc.MouseCursor = 1;
    options.watermark.WaterMark = 1;
    options.watermark.Choice = 1;
    options.watermark.Text = L"vesk";
    options.watermark.FontSize = 12;
    options.watermark.FontFace = L"Tahoma";
    HDC screen = GetDC(nullptr);
    engine.BuildWatermarkBitmap(nullptr, screen);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(engine.GetWatermark().bitmap, nullptr);
    engine.SetSaveTarget(kTargetSavedDc);
    sink.keepBitmaps = false;

    // GDI handle slots are reused from a free list, so the slot of a fresh
    // object climbs only when handles leak. One capture at a time keeps the
    // peak, and so the free list, the same from round to round.
    const auto probeSlot = [] {
        HBRUSH probe = CreateSolidBrush(0);
        const auto slot = reinterpret_cast<UINT_PTR>(probe) & 0xFFFF;
        DeleteObject(probe);
        return slot;
    };
    const auto captureOne = [&] { return CaptureSource() && done.WaitForAll(); };
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(captureOne());
    const auto before = probeSlot();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(captureOne());
    const auto after = probeSlot();
    EXPECT_LE(after, before + 50) << "before " << before << " after " << after;
}

TEST_F(CaptureEngineTest, EditorGetsTheQuotedFilePath) {
    // capture_tool stands in for an editor: it writes its files into the folder it is given.
    std::wstring tool = L"Z:";
    for (char c : std::string(CAPTURE_TOOL))
        tool += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    const CString spaced = folder + L"\\with two spaces";
    ASSERT_TRUE(CreateDirectoryW(spaced.GetString(), nullptr));
    ASSERT_TRUE(OpenInEditor(tool.c_str(), spaced));
    const CString written = spaced + L"\\Vesk_0.bmp";
    for (int round = 0; round < 600 && !FileExists(written); ++round)
        Sleep(100);
    EXPECT_TRUE(FileExists(written));
    EXPECT_FALSE(OpenInEditor(L"C:\\no\\such\\editor.exe", spaced));

    // An editor that does not start (a picture, no program) is named once a
    // run, also in the system's words; the captures are saved and listed.
    options.file.EditedChecked = 1;
    options.file.EditedTool = written;
    ASSERT_TRUE(CaptureSource() && CaptureSource() && done.WaitForAll());
    EXPECT_EQ(sink.Files().size(), 2u);
    ASSERT_EQ(sink.Failures().size(), 1u);
    EXPECT_NE(sink.Failures()[0].find((L"실행하지 못했습니다.\n" + written + L"\n(Bad EXE format for " + written).str()),
              std::wstring::npos) << Utf8(sink.Failures()[0]);
}

TEST_F(CaptureEngineTest, CursorIsDrawnOnlyWhenTheOptionIsSet) {
    PointerOverOwnWindow pointer({120, 220});
    ASSERT_TRUE(PointerOverOwnWindow::CursorShowing());
    for (int drawCursor = 0; drawCursor < 2; ++drawCursor) {
        options.misc.MouseCursor = drawCursor;
        const int number = options.file.FileCount;
        ASSERT_TRUE(CaptureSource());  // rect starts at (100, 200): the pointer is at (20, 20)
        ASSERT_TRUE(done.WaitForAll());
        CDibImage image;
        ASSERT_TRUE(image.Load(NumberedPath(number, L"bmp").GetString(), 0)) << image.GetLastError();
        int changed = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                changed += PixelAt(image, x, y) != Quadrants(x, y) ? 1 : 0;
        if (drawCursor) {
            EXPECT_GT(changed, 20);
        } else {
            EXPECT_EQ(changed, 0);
        }
    }
}

TEST_F(CaptureEngineTest, CursorCaptureWritesATransparentCursorFile) {
    PointerOverOwnWindow pointer({300, 300});
    ASSERT_TRUE(PointerOverOwnWindow::CursorShowing());
    CString path, failure;
    const CString missing = folder + L"\\새 폴더\\커서";  // made on the way
    ASSERT_TRUE(CaptureCursorToFile(missing, path, failure)) << Utf8(failure.str());
    EXPECT_EQ(path, missing + L"\\Cursor.cur");
    CDibImage image;
    ASSERT_TRUE(image.Load(path.GetString(), 0)) << image.GetLastError();
    EXPECT_EQ(image.GetWidth(), 32u);
    EXPECT_EQ(image.GetHeight(), 32u);
    // The magenta background (the bottom-right corner, away from the tip) is transparent.
    ASSERT_GE(image.GetTransIndex(), 0);
    EXPECT_EQ(image.GetPixelIndex(31, 0), image.GetTransIndex());
    // The arrow's tip at the top-left stays visible.
    EXPECT_NE(image.GetPixelIndex(1, 31), image.GetTransIndex());
}
