// The watermark page in a property sheet run modally on this thread, driven
// from a second thread as a user would: combos, sliders, typing, moves and
// clicks of the real X pointer (after SendInput, Wine's cursor was seen to jump
// back to the X pointer between a press and its release), the system's font and
// colour dialogs answered, Apply. The preview is compared with the compositor's.
#include "WidgetTestUtil.h"
#include "app/capture/GdiplusFlat.h"
#include "app/capture/Watermark.h"
#include "app/settings/OpWatermarkPreviewWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "app/settings/QuickBarHook.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace vesk_test;

namespace {

constexpr int kMarkWidth = 40, kMarkHeight = 24;
// The sampled screen: a one-colour backdrop below the sheet and the preview
// beside it, with the pointer at its centre.
constexpr RECT kBackdrop = {560, 380, 1270, 1010};
constexpr POINT kSample = {915, 695};

HWND g_ui = nullptr;
std::vector<std::wstring> g_boxes;

LRESULT CALLBACK UiProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}
// Runs fn on the sheet's thread.
void OnUi(const std::function<void()>& fn) { ::SendMessageW(g_ui, WM_APP, 0, reinterpret_cast<LPARAM>(&fn)); }
template <class T>
T Read(const std::function<T()>& fn) {
    T value{};
    OnUi([&] { value = fn(); });
    return value;
}

struct QuickBarSpy : IQuickBarHook {
    std::vector<int> watermark;
    void SetSwitch(QuickSwitch which, int value) override {
        if (which == QuickSwitch::WaterMark)
            watermark.push_back(value);
    }
};

enum class Turn { None, Mirror, Flip };

// The test watermark, lopsided so that any shift, turn or mirror shows.
HBITMAP MarkBitmap(Turn turn) {
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kMarkWidth, -kMarkHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    for (int y = 0; y < kMarkHeight; ++y)
        for (int x = 0; x < kMarkWidth; ++x) {
            const int sx = turn == Turn::Mirror ? kMarkWidth - 1 - x : x;
            const int sy = turn == Turn::Flip ? kMarkHeight - 1 - y : y;
            static_cast<DWORD*>(bits)[y * kMarkWidth + x] = 0xFF000000u | (40 + sx * 5) << 16 | (20 + sy * 9) << 8 | 9;
        }
    return bitmap;
}

// A bitmap's pixels, top-down, without the alpha byte.
std::vector<DWORD> PixelsOf(HBITMAP bitmap, int& width, int& height) {
    BITMAP info = {};
    ::GetObjectW(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = std::abs(info.bmHeight);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    for (DWORD& p : pixels)
        p &= 0x00FFFFFF;
    return pixels;
}

// What the compositor makes of a uniform sample.
std::vector<DWORD> Expected(int width, int height, COLORREF backdrop, Turn turn, const WatermarkParams& params) {
    wt::DibCanvas sample(width, height, backdrop);
    HBITMAP mark = MarkBitmap(turn);
    gdip::ScopedBitmap target;
    gdip::GdipCreateBitmapFromHBITMAP(sample.bitmap(), nullptr, target.Out());
    ApplyWatermark(target.Get(), params, mark, kMarkWidth, kMarkHeight, true, false, RECT{0, 0, width, height});
    HBITMAP composed = nullptr;
    gdip::GdipCreateHBITMAPFromBitmap(target.Get(), &composed, 0xFF000000);
    std::vector<DWORD> pixels = PixelsOf(composed, width, height);
    ::DeleteObject(composed);
    ::DeleteObject(mark);
    return pixels;
}

class WatermarkPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&s_gdiplus, &input, nullptr);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = UiProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WatermarkPageTestUi";
        ::RegisterClassW(&wc);
        g_ui = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"WatermarkPageTestBackdrop";
        ::RegisterClassW(&wc);
        AfxSetMessageBoxHook([](HWND, LPCWSTR text, LPCWSTR, UINT) {
            g_boxes.push_back(text);
            return IDOK;
        });
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_gdiplus); }

    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-watermark-page-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        ini_ = folder_ + L"\\vesk.ini";
        mark_ = folder_ + L"\\mark.bmp";
        ::DeleteFileW(ini_.c_str());
        ASSERT_TRUE(profile::WriteDefaults(ini_.c_str(), CString(folder_.c_str())));
        HBITMAP mark = MarkBitmap(Turn::None);
        CDibImage image;
        ASSERT_TRUE(image.CreateFromHBITMAP(mark) && image.Save(mark_.c_str(), CDibImage::kFormatBmp));
        ::DeleteObject(mark);
        page_.LoadOptions(ini_.c_str());
        page_.WaterMark = 1;
        page_.Choice = 0;
        page_.ImageDir = mark_.c_str();
        g_boxes.clear();
        SetQuickBarHook(&spy_);
    }
    void TearDown() override {
        SetQuickBarHook(nullptr);
        if (backdrop_)
            ::DestroyWindow(backdrop_);
        ::DeleteFileW(ini_.c_str());
        ::DeleteFileW(mark_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
        XMove(::GetSystemMetrics(SM_CXSCREEN) - 5, ::GetSystemMetrics(SM_CYSCREEN) - 5);
    }

    void ShowBackdrop(COLORREF colour) {
        backdrop_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"WatermarkPageTestBackdrop", L"", WS_POPUP,
                                      kBackdrop.left, kBackdrop.top, kBackdrop.right - kBackdrop.left,
                                      kBackdrop.bottom - kBackdrop.top, nullptr, nullptr, nullptr, nullptr);
        brush_.DeleteObject();
        brush_.CreateSolidBrush(colour);
        ::SetClassLongPtrW(backdrop_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(static_cast<HBRUSH>(brush_)));
        ::ShowWindow(backdrop_, SW_SHOWNOACTIVATE);
        wt::Settle(backdrop_);
    }

    // Runs the sheet with the page while `script` drives it from another
    // thread; the sheet is cancelled afterwards unless the script closed it.
    INT_PTR Run(const std::function<void()>& script) {
        CPropertySheet sheet(L"Options");
        sheet.AddPage(&page_);
        sheet_ = &sheet;
        std::atomic<bool> done{false};
        std::thread driver([&] {
            const bool shown = WaitFor([&] {
                return Read<bool>([&] { return page_.PreviewWnd && ::IsWindowVisible(sheet.m_hWnd); });
            });
            EXPECT_TRUE(shown) << "no sheet on show";
            if (shown) {
                OnUi([&] { ::SetWindowPos(sheet.m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER); });
                script();
            }
            OnUi([&] { ::PostMessageW(sheet.m_hWnd, WM_COMMAND, IDCANCEL, 0); });
            done = true;
        });
        const INT_PTR result = sheet.DoModal();
        for (; !done; ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT))
            wt::PumpMessages();  // the driver may still ask this thread for something
        driver.join();
        return result;
    }

    HWND Item(UINT id) const { return ::GetDlgItem(page_.m_hWnd, id); }
    void Notify(UINT message, WPARAM wParam, UINT id) {
        ::SendMessageW(page_.m_hWnd, message, wParam, reinterpret_cast<LPARAM>(Item(id)));
    }
    void Command(UINT id, UINT code) { Notify(WM_COMMAND, MAKEWPARAM(id, code), id); }
    void SelectCombo(UINT id, int index) {
        ::SendMessageW(Item(id), CB_SETCURSEL, index, 0);
        Command(id, CBN_SELCHANGE);
    }
    void MoveSlider(UINT id, int position) {
        ::SendMessageW(Item(id), TBM_SETPOS, TRUE, position);
        Notify(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), id);
    }
    LRESULT Checked(UINT id) { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0); }

    COpWatermarkPropertyPage page_;
    CPropertySheet* sheet_ = nullptr;
    QuickBarSpy spy_;
    std::wstring folder_, ini_, mark_;
    HWND backdrop_ = nullptr;
    CBrush brush_;
    static inline ULONG_PTR s_gdiplus = 0;
};

TEST_F(WatermarkPageTest, PreviewComposesLikeTheCompositorForEveryPlacementTurnAndOpacity) {
    constexpr COLORREF kBackdropColour = RGB(40, 120, 200);
    ShowBackdrop(kBackdropColour);
    Run([&] {
        // Before any Preview there is no bitmap to turn over; the choice still counts.
        SelectCombo(IDC_WATERMARK_ROTATE, 4);
        EXPECT_TRUE(Read<bool>([&] { return page_.Modified && !page_.PreviewBitmap && page_.RotateAngle == 0; }));
        SelectCombo(IDC_WATERMARK_ROTATE, 0);
        Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
        XMove(kSample.x, kSample.y);

        auto location = [&](int i) { return [=] { SelectCombo(IDC_WATERMARK_LOCATION, i); }; };
        auto rotate = [&](int i) { return [=] { SelectCombo(IDC_WATERMARK_ROTATE, i); }; };
        const struct {
            const char* what;
            std::function<void()> action;
            int location, angle, alpha;
            Turn turn;
        } cases[] = {
            {"top left", [] {}, 0, 0, 100, Turn::None},
            {"top centre", location(1), 1, 0, 100, Turn::None},
            {"top right", location(2), 2, 0, 100, Turn::None},
            {"middle left", location(3), 3, 0, 100, Turn::None},
            {"centre", location(4), 4, 0, 100, Turn::None},
            {"middle right", location(5), 5, 0, 100, Turn::None},
            {"bottom left", location(6), 6, 0, 100, Turn::None},
            {"bottom centre", location(7), 7, 0, 100, Turn::None},
            {"bottom right", location(8), 8, 0, 100, Turn::None},
            // Each choice gives its own turn, whatever was chosen before.
            {"90 clockwise", rotate(2), 8, 90, 100, Turn::None},
            {"then 180", rotate(1), 8, 180, 100, Turn::None},
            {"then 90 counter-clockwise", rotate(3), 8, -90, 100, Turn::None},
            {"then none", rotate(0), 8, 0, 100, Turn::None},
            {"mirror", rotate(4), 8, 0, 100, Turn::Mirror},
            {"mirror again", rotate(4), 8, 0, 100, Turn::Mirror},
            {"flip", rotate(5), 8, 0, 100, Turn::Flip},
            {"Preview with flip chosen", [&] { Command(IDC_WATERMARK_PREVIEW, BN_CLICKED); }, 8, 0, 100, Turn::Flip},
            {"slider 30 degrees", [&] { MoveSlider(IDC_WATERMARK_ROTATION, 30); }, 8, 30, 100, Turn::Flip},
            {"opacity 40", [&] { MoveSlider(IDC_WATERMARK_ALPHA, 40); }, 8, 30, 40, Turn::Flip},
            {"opacity 0", [&] { MoveSlider(IDC_WATERMARK_ALPHA, 0); }, 8, 30, 0, Turn::Flip},
        };
        for (const auto& c : cases) {
            c.action();
            int width = 0, height = 0;
            std::vector<DWORD> shown;
            OnUi([&] {
                page_.PreviewWnd->m_preview.UpdatePreview();
                shown = PixelsOf(page_.PreviewWnd->m_preview.GetPicture(), width, height);
            });
            ASSERT_GT(width, 100) << c.what;
            WatermarkParams params;
            params.location = c.location;
            params.angle = c.angle;
            params.alpha = c.alpha;
            EXPECT_TRUE(shown == Expected(width, height, kBackdropColour, c.turn, params)) << c.what;
        }
    });
}

TEST_F(WatermarkPageTest, PickingFollowsThePickButton) {
    page_.Red = page_.RedSlider = 10;
    page_.Green = page_.GreenSlider = 20;
    page_.Blue = page_.BlueSlider = 30;
    page_.HideColor = 1;
    ShowBackdrop(RGB(255, 255, 255));
    Run([&] {
        // A still picture of the white backdrop: the refresh would copy the
        // preview into itself while the pointer is over it.
        Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
        XMove(kSample.x, kSample.y);
        RECT view = {};
        OnUi([&] {
            ::KillTimer(page_.PreviewWnd->m_hWnd, COpWatermarkPreviewWnd::kRefreshTimer);
            page_.PreviewWnd->m_preview.UpdatePreview();
            page_.PreviewWnd->m_preview.UpdateWindow();
            page_.PreviewWnd->m_preview.GetWindowRect(&view);
        });
        const POINT over = {(view.left + view.right) / 2, (view.top + view.bottom) / 2};
        auto colour = [&] { return Read<COLORREF>([&] { return RGB(page_.Red, page_.Green, page_.Blue); }); };
        HCURSOR cursor = nullptr;
        auto cursorIs = [&](HCURSOR expected) {
            return WaitFor([&] {
                CURSORINFO info = {};
                info.cbSize = sizeof info;
                return (cursor = ::GetCursorInfo(&info) ? info.hCursor : nullptr) == expected;
            });
        };
        auto hover = [&] { XMove(over.x, over.y); XMove(over.x + 3, over.y + 2); };

        hover();  // off: the arrow, and nothing changes
        EXPECT_TRUE(cursorIs(::LoadCursorW(nullptr, IDC_ARROW))) << "cursor " << cursor;
        EXPECT_EQ(colour(), RGB(10, 20, 30));

        // On: "특정 색상 삭제" is cleared, the eyedropper shows, white is picked.
        RECT button = {};
        ::GetWindowRect(Item(IDC_WATERMARK_PICK), &button);
        XMove((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        XClick();
        int pick = 0;
        ASSERT_TRUE(WaitFor([&] { return (pick = Read<int>([&] { return page_.PickColor; })) == 1; })) << pick;
        EXPECT_EQ(Checked(IDC_WATERMARK_HIDE_COLOR), BST_UNCHECKED);
        hover();
        COLORREF picked = 0;
        EXPECT_TRUE(WaitFor([&] { return (picked = colour()) == RGB(255, 255, 255); })) << std::hex << picked;
        const HCURSOR dropper = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_SPOIDE_CURSOR));
        EXPECT_TRUE(cursorIs(dropper)) << "cursor " << cursor;
        EXPECT_EQ(::SendMessageW(Item(IDC_WATERMARK_RED_SLIDER), TBM_GETPOS, 0, 0), 255);
        EXPECT_EQ(::GetDlgItemInt(page_.m_hWnd, IDC_WATERMARK_BLUE, nullptr, FALSE), 255u);

        // A click ends the picking and checks "특정 색상 삭제".
        XClick();
        LRESULT hide = 0;
        EXPECT_TRUE(WaitFor([&] { return (hide = Checked(IDC_WATERMARK_HIDE_COLOR)) == BST_CHECKED; })) << hide;
        EXPECT_TRUE(Read<bool>([&] { return page_.PickColor == 0 && page_.HideColor == 1 && page_.Modified; }));
        EXPECT_EQ(Checked(IDC_WATERMARK_PICK), BST_UNCHECKED);
    });
}

// A common dialog that `owner` shows, or null.
HWND OwnedDialog(HWND owner) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND w = ::GetTopWindow(nullptr); w && !found; w = ::GetWindow(w, GW_HWNDNEXT))
            if (::GetWindow(w, GW_OWNER) == owner && ::IsWindowVisible(w))
                found = w;
        return found != nullptr;
    });
    return found;
}

// Opens a common dialog of the editor and answers it with OK.
void Answer(HWND editor, UINT button, const std::function<void(HWND)>& fill) {
    ::PostMessageW(editor, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(editor, button)));
    HWND dialog = OwnedDialog(editor);
    ASSERT_TRUE(dialog);
    fill(dialog);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); })) << "the dialog stayed";
}

void Colour(HWND dialog, COLORREF c) {
    for (int i = 0; i < 3; ++i)  // the red, green and blue edits
        ::SetDlgItemInt(dialog, 706 + i, (c >> (8 * i)) & 0xFF, FALSE);
}

TEST_F(WatermarkPageTest, TextEditorResultsReachThePageOnlyAfterOk) {
    Run([&] {
        auto openEditor = [&] {
            ::PostMessageW(page_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_EDIT_TEXT, BN_CLICKED),
                           reinterpret_cast<LPARAM>(Item(IDC_WATERMARK_EDIT_TEXT)));
            return OwnedDialog(::GetParent(page_.m_hWnd));
        };
        HWND editor = openEditor();
        ASSERT_TRUE(editor);
        ::SetDlgItemTextW(editor, IDC_WMTEXT_TEXT, L"버려질 글");
        Answer(editor, IDC_WMTEXT_BACK, [](HWND d) { Colour(d, RGB(1, 2, 3)); });
        ::PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); })) << "the editor stayed";
        EXPECT_TRUE(Read<bool>([&] {
            return page_.Text == L"Vesk Capture V0.6" && page_.TextBkB == 183 && page_.FontSize == 32 &&
                   !page_.Modified;
        }));

        editor = openEditor();
        ASSERT_TRUE(editor);
        ::SetDlgItemTextW(editor, IDC_WMTEXT_TEXT, L"Vesk 워터마크");
        WCHAR face[LF_FACESIZE] = {};
        Answer(editor, IDC_WMTEXT_FONT, [&](HWND d) {
            // Another face, the last style (bold italic), 20 points, underlined.
            HWND faces = ::GetDlgItem(d, 0x470), styles = ::GetDlgItem(d, 0x471), sizes = ::GetDlgItem(d, 0x472);
            const int pick = ::SendMessageW(faces, CB_GETCURSEL, 0, 0) == 0 ? 1 : 0;
            ::SendMessageW(faces, CB_GETLBTEXT, pick, reinterpret_cast<LPARAM>(face));
            ::SendMessageW(faces, CB_SETCURSEL, pick, 0);
            ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faces));
            ::SendMessageW(styles, CB_SETCURSEL, ::SendMessageW(styles, CB_GETCOUNT, 0, 0) - 1, 0);
            ::CheckDlgButton(d, 0x411, BST_CHECKED);
            ::SendMessageW(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"20"));
            ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
        });
        Answer(editor, IDC_WMTEXT_COLOR, [](HWND d) { Colour(d, RGB(250, 128, 7)); });
        Answer(editor, IDC_WMTEXT_BACK, [](HWND d) { Colour(d, RGB(12, 34, 56)); });
        ::PostMessageW(editor, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); })) << "the editor stayed";

        HDC screen = ::GetDC(nullptr);
        const int twentyPoints = -::MulDiv(20, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
        ::ReleaseDC(nullptr, screen);
        auto expectEdited = [&] {
            OnUi([&] {
                EXPECT_EQ(page_.Text, CString(L"Vesk 워터마크"));
                EXPECT_EQ(page_.FontFace, CString(face + (face[0] == L'@')));  // a vertical face is kept upright
                EXPECT_EQ(page_.FontSize, twentyPoints);
                EXPECT_TRUE(page_.FontBold && page_.FontItalic && page_.FontUnderline && page_.Modified);
                EXPECT_EQ(RGB(page_.TextColorR, page_.TextColorG, page_.TextColorB), RGB(250, 128, 7));
                EXPECT_EQ(RGB(page_.TextBkR, page_.TextBkG, page_.TextBkB), RGB(12, 34, 56));
            });
        };
        expectEdited();
        // The sample shows the new text alone: nothing of the old one's background is left.
        EXPECT_TRUE(WaitFor([&] {
            return Read<int>([&] {
                const HWND sample = Item(IDC_WATERMARK_TEXT_SAMPLE);
                RECT client = {};
                ::GetClientRect(sample, &client);
                wt::DibCanvas shown(client.right, client.bottom, 0);
                HDC dc = ::GetDC(sample);
                ::BitBlt(shown.dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
                ::ReleaseDC(sample, dc);
                int old = 0;
                for (int y = 0; y < client.bottom; ++y)
                    for (int x = 0; x < client.right; ++x)
                        old += shown.Pixel(x, y) == RGB(0, 115, 183);
                return old;
            }) == 0;
        })) << "the old background stays in the sample";

        // Opened again, the editor and its font dialog start at the edited mark: OK on both changes nothing.
        editor = openEditor();
        ASSERT_TRUE(editor);
        WCHAR shown[LF_FACESIZE] = {};
        Answer(editor, IDC_WMTEXT_FONT, [&](HWND d) { ::GetDlgItemTextW(d, 0x470, shown, LF_FACESIZE); });
        ::PostMessageW(editor, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); })) << "the editor stayed";
        EXPECT_STREQ(shown, face + (face[0] == L'@'));
        SCOPED_TRACE("opened again");
        expectEdited();
    });
}

TEST_F(WatermarkPageTest, TypingIsQuietAndApplyWritesTheSectionInOrder) {
    const INT_PTR result = Run([&] {
        // Half-typed numbers keep the last whole one and raise no message.
        const struct {
            UINT edit;
            const wchar_t* text;
            int* field;
            int expected;
        } typing[] = {
            {IDC_WATERMARK_HMARGIN, L"", &page_.LeftRightMargin, 0},
            {IDC_WATERMARK_HMARGIN, L"-", &page_.LeftRightMargin, 0},
            {IDC_WATERMARK_HMARGIN, L"-12", &page_.LeftRightMargin, -12},
            {IDC_WATERMARK_VMARGIN, L"7", &page_.TopBottomMargin, 7},
            {IDC_WATERMARK_RED, L"300", &page_.Red, 255},
            {IDC_WATERMARK_GREEN, L"-4", &page_.Green, 0},
        };
        for (const auto& t : typing) {
            ::SetDlgItemTextW(page_.m_hWnd, t.edit, t.text);
            EXPECT_EQ(Read<int>([&] { return *t.field; }), t.expected) << t.edit << " '" << t.text << "'";
        }
        EXPECT_TRUE(g_boxes.empty());

        // Applying checks them: a non-number keeps the sheet open with the message.
        ::SetDlgItemTextW(page_.m_hWnd, IDC_WATERMARK_BLUE, L"12x");
        OnUi([&] { sheet_->PressButton(PSBTN_APPLYNOW); });
        EXPECT_TRUE(WaitFor([&] { return Read<size_t>([&] { return g_boxes.size(); }) == 1; }))
            << Read<size_t>([&] { return g_boxes.size(); }) << " message boxes";
        ::SetDlgItemTextW(page_.m_hWnd, IDC_WATERMARK_BLUE, L"9");
        OnUi([&] { sheet_->PressButton(PSBTN_OK); });
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(spy_.watermark, std::vector<int>{1});
    EXPECT_FALSE(page_.Modified);

    std::vector<WCHAR> section(32768);
    ::GetPrivateProfileSectionW(profile::kWatermarkSection, section.data(), 32768, ini_.c_str());
    std::vector<std::wstring> keys;
    for (const WCHAR* line = section.data(); *line; line += wcslen(line) + 1)
        keys.emplace_back(line, wcscspn(line, L"="));
    ASSERT_EQ(keys.size(), 27u);
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i], profile::kWatermarkDefaults[i].key);
    const std::pair<const wchar_t*, const wchar_t*> written[] = {
        {L"LeftRightMargin", L"-12"}, {L"Red", L"255"}, {L"Green", L"0"}, {L"Blue", L"9"}, {L"WaterMark", L"1"}};
    for (const auto& [key, value] : written)
        EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, key, ini_.c_str()), CString(value)) << key;
}

TEST_F(WatermarkPageTest, PreviewStopsOnEnterAndEscAndLeavesNoGdiObject) {
    ShowBackdrop(RGB(90, 90, 90));
    // The page object outlives its windows: a second opening builds them again.
    for (int opening = 1; opening <= 2; ++opening) {
        Run([&] {
            EXPECT_EQ(Read<HWND>([&] { return page_.TextSample.m_hWnd; }), Item(IDC_WATERMARK_TEXT_SAMPLE));
            XMove(kSample.x, kSample.y);
            // A sheet in the middle of the screen leaves too little room on
            // either side: the preview still opens beside it, on the screen.
            OnUi([&] {
                CRect sheet;
                ::GetWindowRect(sheet_->m_hWnd, &sheet);
                ::SetWindowPos(sheet_->m_hWnd, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - sheet.Width()) / 2,
                               (::GetSystemMetrics(SM_CYSCREEN) - sheet.Height()) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            });
            for (UINT key : {IDOK, IDCANCEL}) {
                Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
                const HWND preview = Read<HWND>([&] { return page_.PreviewWnd->m_hWnd; });
                ASSERT_TRUE(::IsWindowVisible(preview));
                OnUi([&] {
                    CRect sheet, shown, overlap;
                    ::GetWindowRect(sheet_->m_hWnd, &sheet);
                    ::GetWindowRect(preview, &shown);
                    EXPECT_FALSE(overlap.IntersectRect(&sheet, &shown)) << shown.left << "," << shown.top;
                    EXPECT_GE(shown.left, 0);
                    EXPECT_LE(shown.right, ::GetSystemMetrics(SM_CXSCREEN));
                    EXPECT_GE(shown.top, 0);
                    EXPECT_LE(shown.bottom, ::GetSystemMetrics(SM_CYSCREEN));
                });
                ::SendMessageW(preview, WM_COMMAND, key, 0);
                EXPECT_FALSE(::IsWindowVisible(preview)) << key;
                // No refresh timer is left to kill.
                EXPECT_FALSE(Read<BOOL>([&] { return ::KillTimer(preview, COpWatermarkPreviewWnd::kRefreshTimer); }));
            }
            if (opening == 2)
                OnUi([&] {
                    CWatermarkPreviewStatic& view = page_.PreviewWnd->m_preview;
                    view.UpdatePreview();
                    const int before = wt::CountGdiObjects();
                    for (int i = 0; i < 1000; ++i)
                        view.UpdatePreview();
                    EXPECT_EQ(wt::CountGdiObjects(), before);
                });
        });
    }
}

TEST(WatermarkPreviewPlacement, BesideTheSheetWithinTheWorkArea) {
    // A 300 x 200 preview that narrows to 250 at the least, in a 1000 x 700 work area.
    const CRect work(0, 0, 1000, 700);
    const struct {
        CRect sheet;
        int shift;
        CRect preview;
    } cases[] = {
        {{100, 100, 500, 500}, 0, {500, 100, 800, 300}},    // right
        {{650, 100, 900, 500}, 0, {350, 100, 650, 300}},    // left
        {{200, 50, 850, 650}, 100, {0, 50, 300, 250}},      // the sheet moves right to make room
        {{50, 50, 950, 400}, 0, {50, 400, 350, 600}},       // below
        {{0, 50, 720, 690}, 0, {720, 50, 1000, 250}},       // narrowed to the room at the right
        {{-100, 0, 1100, 700}, 0, {750, 0, 1000, 200}},     // a sheet wider than the work area
    };
    for (const auto& c : cases) {
        const PreviewPlacement place = PreviewBesideSheet(c.sheet, CSize(300, 200), 250, work);
        EXPECT_EQ(place.sheetShift, c.shift) << c.sheet.left;
        EXPECT_TRUE(place.preview == c.preview) << c.sheet.left << ": " << place.preview.left << ","
                                                << place.preview.top << "," << place.preview.right << ","
                                                << place.preview.bottom;
    }
}

}  // namespace
