#include "CaptureTestSupport.h"

#include "app/capture/CaptureJob.h"
#include "app/capture/PaneItemCommands.h"
#include "image/DibImage.h"
#include "workarea/FormViewWnd.h"

#include <gtest/gtest.h>

using namespace capture_test;

namespace {
class FakeHost : public IPaneItemHost {
public:
    void AddSavedFile(LPCWSTR path) override { added.push_back(path); }
    void RemoveSavedFile(int index) override { removedFiles.push_back(index); }
    void RemoveSavedDc(int index) override { removedDcs.push_back(index); }
    bool ConfirmOverwrite(LPCWSTR, bool) override {
        ++questions;
        return overwrite;
    }
    void ReportFailure(LPCWSTR message) override { failures.push_back(message); }

    bool overwrite = true;
    int questions = 0;
    std::vector<std::wstring> added, failures;
    std::vector<int> removedFiles, removedDcs;
};

DWORD Green(int, int) { return 0x0000C000; }

class PaneItemCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(L"pane");
        picture.Create(8, 6, 24, 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                picture.SetPixelColor(x, y, RGBQUAD{0, 0xC0, 0, 0});
        MemorySource source = MakeSource(8, 6, Green);
        DeleteDC(source.dc);
        dcBitmap = source.bitmap;
    }
    void TearDown() override { DeleteObject(dcBitmap); }

    PaneItemContext FileContext(const CString& path) {
        PaneItemContext context;
        context.target = 0;
        context.currentKind = WorkTabSavedFile;
        context.currentTitle = CFormViewWnd::TitleOf(path);
        context.currentImage = &picture;
        context.selectedPath = path;
        context.selectedFileIndex = 3;
        return context;
    }
    PaneItemContext DcContext() {
        PaneItemContext context;
        context.target = 1;
        context.currentKind = WorkTabSavedDc;
        context.currentTitle = L"veskdc_4.bmp";
        context.currentImage = &picture;
        context.selectedLabel = L"예약된 이름\\veskdc_4.bmp";
        context.selectedBitmap = dcBitmap;
        context.selectedDcIndex = 2;
        return context;
    }

    CString folder;
    CDibImage picture;
    HBITMAP dcBitmap = nullptr;
    FakeHost host;
};

bool Exists(const CString& path) { return GetFileAttributesW(path.GetString()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

TEST_F(PaneItemCommandsTest, CommandsActOnlyWhenTheCurrentTabShowsTheSelection) {
    const CString path = folder + L"\\a.png";
    struct Case {
        const char* what;
        void (*change)(PaneItemContext&);
    };
    const Case cases[] = {
        {"web page tab", [](PaneItemContext& c) { c.currentKind = WorkTabWebPage; }},
        {"tool list", [](PaneItemContext& c) { c.currentKind = WorkTabToolList; }},
        {"another file's tab", [](PaneItemContext& c) { c.currentTitle = L"other.png"; }},
        {"nothing selected", [](PaneItemContext& c) { c.selectedFileIndex = -1; }},
        {"saved-DC tab for a file", [](PaneItemContext& c) { c.currentKind = WorkTabSavedDc; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaneItemContext context = FileContext(path);
        c.change(context);
        EXPECT_EQ(SaveSelectedItem(context, folder, host), PaneCommandResult::NotApplicable);
        EXPECT_EQ(SaveSelectedItemAs(context, folder + L"\\b.png", host), PaneCommandResult::NotApplicable);
        EXPECT_EQ(DeleteSelectedItem(context, host), PaneCommandResult::NotApplicable);
        EXPECT_FALSE(Exists(path));
    }
    EXPECT_TRUE(host.added.empty() && host.removedFiles.empty());
}

TEST_F(PaneItemCommandsTest, SaveAskSaveAsAndDeleteOfAFile) {
    const CString path = folder + L"\\a.png";
    EXPECT_EQ(SaveSelectedItem(FileContext(path), folder, host), PaneCommandResult::Done);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(host.questions, 0);

    host.overwrite = false;
    EXPECT_EQ(SaveSelectedItem(FileContext(path), folder, host), PaneCommandResult::Cancelled);
    EXPECT_EQ(host.questions, 1);

    // Save-as under its own path adds nothing; under a new GIF name it adds that.
    EXPECT_EQ(SaveSelectedItemAs(FileContext(path), path, host), PaneCommandResult::Done);
    EXPECT_TRUE(host.added.empty());
    const CString gif = folder + L"\\copy.GIF";
    EXPECT_EQ(SaveSelectedItemAs(FileContext(path), gif, host), PaneCommandResult::Done);
    ASSERT_EQ(host.added.size(), 1u);
    CDibImage loaded;
    ASSERT_TRUE(loaded.Load(gif.GetString(), 0));
    EXPECT_EQ(loaded.GetBpp(), 8);

    // Unwritable target, a file a reader holds and unknown type: reported (the first two in the system's
    // words), pane unchanged.
    const HANDLE reader = CreateFileW(gif, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    for (const auto& [to, error] :
         {std::pair{folder + L"\\missing\\x.png", ERROR_PATH_NOT_FOUND}, {gif, ERROR_ACCESS_DENIED}}) {
        EXPECT_EQ(SaveSelectedItemAs(FileContext(path), to, host), PaneCommandResult::Failed);
        const std::wstring& said = host.failures.back();
        EXPECT_NE(said.find(L"(" + SystemReason(error, to).str() + L")"), std::wstring::npos) << said;
    }
    CloseHandle(reader);
    EXPECT_EQ(SaveSelectedItemAs(FileContext(path), folder + L"\\x.xyz", host), PaneCommandResult::Failed);
    EXPECT_EQ(host.failures.size(), 3u);
    EXPECT_EQ(host.added.size(), 1u);

    EXPECT_EQ(DeleteSelectedItem(FileContext(path), host), PaneCommandResult::Done);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(host.removedFiles, std::vector<int>{3});
}

TEST_F(PaneItemCommandsTest, SavedDcEntriesMoveIntoTheFolder) {
    const CString missing = folder + L"\\새 폴더\\저장";  // made on the way
    EXPECT_EQ(SaveSelectedItem(DcContext(), missing, host), PaneCommandResult::Done);
    const CString moved = missing + L"\\veskdc_4.bmp";
    EXPECT_TRUE(Exists(moved));
    ASSERT_EQ(host.added.size(), 1u);
    EXPECT_EQ(host.added[0], moved.str());
    EXPECT_EQ(host.removedDcs, std::vector<int>{2});

    const CString jpg = folder + L"\\dc.jpg";
    EXPECT_EQ(SaveSelectedItemAs(DcContext(), jpg, host), PaneCommandResult::Done);
    CDibImage loaded;
    ASSERT_TRUE(loaded.Load(jpg.GetString(), 0));
    EXPECT_EQ(loaded.GetWidth(), 8u);
    EXPECT_EQ(host.added.size(), 2u);
    EXPECT_EQ(host.removedDcs.size(), 2u);

    EXPECT_EQ(DeleteSelectedItem(DcContext(), host), PaneCommandResult::Done);
    EXPECT_EQ(host.removedDcs.size(), 3u);
    EXPECT_TRUE(host.failures.empty());
}
