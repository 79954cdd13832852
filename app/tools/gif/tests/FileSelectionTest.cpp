// The multi-select dialog's buffer as a list of paths, and frame times of
// frames read from animated files.
#include "app/tools/gif/FileSelection.h"

#include <gtest/gtest.h>

namespace {

using gif_maker::SplitOpenFileSelection;

struct SelectionCase {
    const char* what;
    std::wstring buffer;  // NULs inside; the final empty string included
    std::vector<std::wstring> paths;
};

TEST(FileSelectionTest, SplitsWhatTheDialogHandsBack) {
    const SelectionCase cases[] = {
        {"one file", std::wstring(L"C:\\pics\\a.png\0\0", 16), {L"C:\\pics\\a.png"}},
        {"folder and names", std::wstring(L"C:\\pics\0a.png\0b c.jpg\0\0", 24), {L"C:\\pics\\a.png", L"C:\\pics\\b c.jpg"}},
        {"drive root", std::wstring(L"C:\\\0a.bmp\0b.gif\0\0", 18), {L"C:\\a.bmp", L"C:\\b.gif"}},
        {"nothing", std::wstring(L"\0\0", 2), {}},
        {"unterminated", std::wstring(L"C:\\d\0x.png", 10), {L"C:\\d\\x.png"}},
    };
    for (const SelectionCase& c : cases) {
        EXPECT_EQ(SplitOpenFileSelection(c.buffer.data(), c.buffer.size()), c.paths) << c.what;
    }
    EXPECT_TRUE(SplitOpenFileSelection(nullptr, 10).empty());
}

TEST(FileSelectionTest, FrameTimesFromGifDelays) {
    EXPECT_FLOAT_EQ(gif_maker::FrameTimeFromCentiseconds(50, 1.0f), 5.0f);
    EXPECT_FLOAT_EQ(gif_maker::FrameTimeFromCentiseconds(25, 1.0f), 2.5f);
    EXPECT_FLOAT_EQ(gif_maker::FrameTimeFromCentiseconds(0, 7.0f), 7.0f);
}

TEST(FileSelectionTest, DelaysAreWrittenInTenths) {
    EXPECT_EQ(gif_maker::FormatDelay(5.0f), L"5");
    EXPECT_EQ(gif_maker::FormatDelay(2.5f), L"2.5");
    EXPECT_EQ(gif_maker::FormatDelay(6553.5f), L"6553.5");
    EXPECT_EQ(gif_maker::DelayLine(10.0f), L"지연시간:10");
}

}  // namespace
