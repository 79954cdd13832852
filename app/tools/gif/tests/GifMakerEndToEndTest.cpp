// The GIF maker of vesk.exe as a user meets it: command 32808 opens it over the
// main dialog, the open dialog takes three files at once, each frame gets its
// delay, the save dialog names the GIF, the single-play preview runs to its end
// and the maker closes. Every wait is bounded (the driver's patience).
#include "GifMakerPictures.h"
#include "resources/resource.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace gif_maker_test;
using namespace vesk_test;

constexpr const wchar_t* kMakerTitle = L"애니메이션 GIF 만들기";

std::wstring Text(HWND hWnd) {
    wchar_t text[512] = {};
    SendMessageW(hWnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

class GifMakerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run_.PrepareQuiet());
        main_ = run_.Start();
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override { run_.Kill(); }

    HWND Item(int id) const { return GetDlgItem(maker_, id); }
    // Clicks as the mouse would: the button's handler runs in the program's own time.
    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void ClickNow(int id) const {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        run_.WaitUntilIdle(maker_);
    }
    // The common file dialog the maker opened, once it shows.
    HWND WaitForFileDialog() const {
        HWND dialog = nullptr;
        WaitFor([&] {
            dialog = run_.FindWindowIf([&](HWND hWnd) {
                return IsWindowVisible(hWnd) && GetWindow(hWnd, GW_OWNER) == maker_;
            });
            return dialog != nullptr;
        });
        return dialog;
    }
    void SetDelay(int index, const wchar_t* text) const {
        SendMessageW(Item(IDC_GIF_FRAMES), LB_SETCURSEL, index, 0);
        SendMessageW(maker_, WM_COMMAND, MAKEWPARAM(IDC_GIF_FRAMES, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IDC_GIF_FRAMES)));
        SendMessageW(Item(IDC_GIF_DELAY), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        ClickNow(IDC_GIF_SET_DELAY);
    }

    VeskRun run_{L"gifmaker"};
    HWND main_ = nullptr;
    HWND maker_ = nullptr;
};

TEST_F(GifMakerEndToEnd, BuildsAGifFromThreeChosenFilesAndPlaysIt) {
    for (const Picture& picture : kThree)
        ASSERT_TRUE(WritePicture((run_.folder() + L"\\" + picture.name).c_str(), picture, 32, 24));

    PostMessageW(main_, WM_COMMAND, ID_TB_GIF, 0);
    ASSERT_TRUE(WaitFor([&] { return (maker_ = run_.FindOwnWindow(kMakerTitle)) && IsWindowVisible(maker_); })) << "no GIF maker window";
    EXPECT_FALSE(IsWindowEnabled(main_)) << "the maker is modal";

    Click(IDC_GIF_ADD);
    HWND open = WaitForFileDialog();
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(AnswerFileDialog(open, run_.folder(), L"\"red.bmp\" \"green.png\" \"blue.jpg\""));
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(Item(IDC_GIF_FRAMES), LB_GETCOUNT, 0, 0) == 3; }))
        << SendMessageW(Item(IDC_GIF_FRAMES), LB_GETCOUNT, 0, 0) << " frames listed";

    SetDelay(0, L"5");
    SetDelay(1, L"10");
    SetDelay(2, L"2.5");

    const std::wstring gif = run_.folder() + L"\\made.gif";
    Click(IDC_GIF_MAKE);
    HWND save = WaitForFileDialog();
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(AnswerFileDialog(save, run_.folder(), gif));
    ASSERT_TRUE(WaitFor([&] { return Text(Item(IDC_GIF_STATUS)).find(L"made.gif") != std::wstring::npos; }))
        << "the status reads " << Text(Item(IDC_GIF_STATUS));
    CDibImage made(gif.c_str(), CDibImage::kFormatGif);
    ASSERT_TRUE(made.IsValid()) << made.GetLastError();
    EXPECT_EQ(made.GetNumFrames(), 3);
    EXPECT_EQ(made.GetWidth(), 32u);

    // Single play: the preview's last frame stops it through the stop button's command.
    ClickNow(IDC_GIF_LOOP);
    ClickNow(IDC_GIF_PLAY);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_GIF_STOP)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_GIF_PLAY)));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_GIF_PLAY)) && !IsWindowEnabled(Item(IDC_GIF_STOP)); })) << "still playing";

    PostMessageW(maker_, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(maker_); })) << "the maker stayed";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main_) != FALSE; })) << "the main dialog stayed disabled";
    EXPECT_EQ(run_.Exit(main_), 0u);
}

}  // namespace
