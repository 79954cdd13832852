// The watermark page in a property sheet run modally on this thread, driven
// from a second thread the way a user meets it: combo and slider changes,
// typing, real mouse moves and clicks over the preview window, the system's
// font and colour dialogs answered, Apply. The live preview is compared with
// the compositor's own result on the same screen sample.
#include "WidgetTestUtil.h"
#include "app/capture/GdiplusFlat.h"
#include "app/capture/Watermark.h"
#include "app/settings/OpWatermarkPreviewWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "app/settings/QuickBarHook.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 10000;  // a hang guard, not a measurement
constexpr UINT kRunOnUi = WM_APP + 1;
constexpr int kMarkWidth = 40;
constexpr int kMarkHeight = 24;
// Where the sampled screen is: a backdrop of one colour below the sheet and
// the preview window beside it, with the pointer at its centre.
constexpr RECT kBackdrop = {560, 380, 1270, 1010};
constexpr POINT kSamplePoint = {915, 695};

HWND g_ui = nullptr;

LRESULT CALLBACK UiProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOnUi) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

// Runs fn on the sheet's thread and waits for it.
void OnUi(const std::function<void()>& fn) { ::SendMessageW(g_ui, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn)); }

bool WaitFor(const std::function<bool()>& pred) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > kPatienceMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

std::vector<std::wstring> g_boxes;
int RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

struct QuickBarSpy : IQuickBarHook {
    std::vector<std::pair<QuickSwitch, int>> calls;
    void SetSwitch(QuickSwitch which, int value) override { calls.emplace_back(which, value); }
};

// The test watermark: unique, lopsided colours so that any shift, turn or
// mirror shows. Pixel (x, y) as it appears on screen.
COLORREF MarkPixel(int x, int y) { return RGB(40 + x * 5, 20 + y * 9, 230 - x * 3 - y * 2); }

void WriteMarkBmp(const std::wstring& path) {
    const int stride = (kMarkWidth * 3 + 3) & ~3;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * kMarkHeight);
    for (int y = 0; y < kMarkHeight; ++y)
        for (int x = 0; x < kMarkWidth; ++x) {
            BYTE* p = &rows[static_cast<size_t>(kMarkHeight - 1 - y) * stride + x * 3];
            const COLORREF c = MarkPixel(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    BITMAPFILEHEADER file = {0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER info = {sizeof info, kMarkWidth, kMarkHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f);
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info, sizeof info, 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    std::fclose(f);
}

enum class Turn { None, Mirror, Flip };

// The watermark as a 32-bit DIB section, mirrored or flipped by the test itself.
HBITMAP MarkBitmap(Turn turn) {
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kMarkWidth, -kMarkHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* out = static_cast<DWORD*>(bits);
    for (int y = 0; y < kMarkHeight; ++y)
        for (int x = 0; x < kMarkWidth; ++x) {
            const int sx = turn == Turn::Mirror ? kMarkWidth - 1 - x : x;
            const int sy = turn == Turn::Flip ? kMarkHeight - 1 - y : y;
            const COLORREF c = MarkPixel(sx, sy);
            out[y * kMarkWidth + x] = 0xFF000000u | GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        }
    return bitmap;
}

// The pixels of a bitmap, top-down, without the alpha byte.
std::vector<DWORD> PixelsOf(HBITMAP bitmap, int& width, int& height) {
    BITMAP info = {};
    ::GetObjectW(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
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

// What the compositor makes of a uniform sample of this size.
std::vector<DWORD> Expected(int width, int height, COLORREF backdrop, Turn turn, const WatermarkParams& params) {
    wt::DibCanvas sample(width, height, backdrop);
    HBITMAP mark = MarkBitmap(turn);
    gdip::ScopedBitmap target;
    gdip::GdipCreateBitmapFromHBITMAP(sample.bitmap(), nullptr, target.Out());
    ApplyWatermark(target.Get(), params, mark, kMarkWidth, kMarkHeight, true, false, RECT{0, 0, width, height});
    HBITMAP composed = nullptr;
    gdip::GdipCreateHBITMAPFromBitmap(target.Get(), &composed, 0xFF000000);
    ::DeleteObject(mark);
    int w = 0, h = 0;
    std::vector<DWORD> pixels = PixelsOf(composed, w, h);
    ::DeleteObject(composed);
    return pixels;
}

LRESULT CALLBACK BackdropProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
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
        wc.lpfnWndProc = BackdropProc;
        wc.lpszClassName = L"WatermarkPageTestBackdrop";
        ::RegisterClassW(&wc);
        AfxSetMessageBoxHook(RecordBox);
    }
    static void TearDownTestSuite() {
        AfxSetMessageBoxHook(nullptr);
        ::DestroyWindow(g_ui);
        Gdiplus::GdiplusShutdown(s_gdiplus);
    }

    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-watermark-page-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        ini_ = folder_ + L"\\vesk.ini";
        mark_ = folder_ + L"\\mark.bmp";
        ::DeleteFileW(ini_.c_str());
        ASSERT_TRUE(profile::WriteDefaults(ini_.c_str(), CString(folder_.c_str())));
        WriteMarkBmp(mark_);
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
        wt::MouseAway();
    }

    void ShowBackdrop(COLORREF colour) {
        brush_.reset(new CBrush(colour));
        backdrop_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"WatermarkPageTestBackdrop", L"", WS_POPUP,
                                      kBackdrop.left, kBackdrop.top, kBackdrop.right - kBackdrop.left,
                                      kBackdrop.bottom - kBackdrop.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                      nullptr);
        ::SetClassLongPtrW(backdrop_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(static_cast<HBRUSH>(*brush_)));
        ::ShowWindow(backdrop_, SW_SHOWNOACTIVATE);
        wt::Settle(backdrop_);
    }

    // Runs the sheet with the page; `script` drives it from another thread,
    // then the sheet is cancelled unless the script closed it.
    INT_PTR Run(const std::function<void()>& script) {
        CPropertySheet sheet(L"Options");
        sheet.AddPage(&page_);
        sheet_ = &sheet;
        std::atomic<bool> done{false};
        std::thread driver([&] {
            const bool shown = WaitFor([&] {
                bool up = false;
                OnUi([&] { up = page_.m_hWnd && ::IsWindowVisible(sheet.m_hWnd) && page_.PreviewWnd; });
                return up;
            });
            EXPECT_TRUE(shown);
            if (shown) {
                // The preview window shows up beside it, above the backdrop.
                OnUi([&] { ::SetWindowPos(sheet.m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER); });
                script();
            }
            OnUi([&] {
                if (sheet.m_hWnd)
                    ::PostMessageW(sheet.m_hWnd, WM_COMMAND, IDCANCEL, 0);
            });
            done = true;
        });
        const INT_PTR result = sheet.DoModal();
        // The driver may still ask this thread for something.
        while (!done) {
            wt::PumpMessages();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        driver.join();
        sheet_ = nullptr;
        return result;
    }

    HWND Item(UINT id) const { return ::GetDlgItem(page_.m_hWnd, id); }
    void Command(UINT id, UINT code) {
        ::SendMessageW(page_.m_hWnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
    void SelectCombo(UINT id, int index) {
        ::SendMessageW(Item(id), CB_SETCURSEL, index, 0);
        Command(id, CBN_SELCHANGE);
    }
    void MoveSlider(UINT id, int position) {
        ::SendMessageW(Item(id), TBM_SETPOS, TRUE, position);
        ::SendMessageW(page_.m_hWnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    void Type(UINT id, const wchar_t* text) { ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }
    template <class T>
    T Read(const std::function<T()>& fn) {
        T value{};
        OnUi([&] { value = fn(); });
        return value;
    }
    POINT ScreenCentreOf(HWND hWnd) {
        RECT r = {};
        ::GetWindowRect(hWnd, &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void ClickAt(POINT p) {
        wt::MouseMove(p.x, p.y);
        wt::MouseDown();
        wt::MouseUp();
    }

    COpWatermarkPropertyPage page_;
    CPropertySheet* sheet_ = nullptr;
    QuickBarSpy spy_;
    std::wstring folder_, ini_, mark_;
    HWND backdrop_ = nullptr;
    std::unique_ptr<CBrush> brush_;
    static ULONG_PTR s_gdiplus;
};
ULONG_PTR WatermarkPageTest::s_gdiplus = 0;

TEST_F(WatermarkPageTest, PreviewComposesLikeTheCompositorForEveryPlacementTurnAndOpacity) {
    constexpr COLORREF kBackdropColour = RGB(40, 120, 200);
    ShowBackdrop(kBackdropColour);
    Run([&] {
        // Before any Preview there is no bitmap to turn over; the choice still counts.
        SelectCombo(IDC_WATERMARK_ROTATE, 4);
        EXPECT_TRUE(Read<bool>([&] { return page_.Modified && !page_.PreviewBitmap && page_.RotateAngle == 0; }));
        SelectCombo(IDC_WATERMARK_ROTATE, 0);

        Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
        ASSERT_TRUE(Read<bool>([&] { return page_.PreviewWnd->IsWindowVisible() != FALSE; }));
        wt::MouseMove(kSamplePoint.x, kSamplePoint.y);

        struct Case {
            const char* what;
            std::function<void()> action;
            int location, angle, alpha;
            Turn turn;
        };
        const std::vector<Case> cases = {
            {"top left", [] {}, 0, 0, 100, Turn::None},
            {"top centre", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 1); }, 1, 0, 100, Turn::None},
            {"top right", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 2); }, 2, 0, 100, Turn::None},
            {"middle left", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 3); }, 3, 0, 100, Turn::None},
            {"centre", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 4); }, 4, 0, 100, Turn::None},
            {"middle right", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 5); }, 5, 0, 100, Turn::None},
            {"bottom left", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 6); }, 6, 0, 100, Turn::None},
            {"bottom centre", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 7); }, 7, 0, 100, Turn::None},
            {"bottom right", [&] { SelectCombo(IDC_WATERMARK_LOCATION, 8); }, 8, 0, 100, Turn::None},
            // Angles add up until the next Preview.
            {"90 clockwise", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 2); }, 8, 90, 100, Turn::None},
            {"then 180", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 1); }, 8, 270, 100, Turn::None},
            {"then 90 counter-clockwise", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 3); }, 8, 180, 100, Turn::None},
            {"mirror", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 4); }, 8, 0, 100, Turn::Mirror},
            {"mirror again", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 4); }, 8, 0, 100, Turn::None},
            {"flip", [&] { SelectCombo(IDC_WATERMARK_ROTATE, 5); }, 8, 0, 100, Turn::Flip},
            {"Preview with flip chosen", [&] { Command(IDC_WATERMARK_PREVIEW, BN_CLICKED); }, 8, 0, 100, Turn::Flip},
            {"slider 30 degrees", [&] { MoveSlider(IDC_WATERMARK_ROTATION, 30); }, 8, 30, 100, Turn::Flip},
            {"opacity 40", [&] { MoveSlider(IDC_WATERMARK_ALPHA, 40); }, 8, 30, 40, Turn::Flip},
            {"opacity 0", [&] { MoveSlider(IDC_WATERMARK_ALPHA, 0); }, 8, 30, 0, Turn::Flip},
            {"centre, 90 clockwise, opacity 70",
             [&] {
                 SelectCombo(IDC_WATERMARK_LOCATION, 4);
                 SelectCombo(IDC_WATERMARK_ROTATE, 2);
                 Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
                 MoveSlider(IDC_WATERMARK_ROTATION, 0);
                 MoveSlider(IDC_WATERMARK_ALPHA, 70);
             },
             4, 90, 70, Turn::None},
        };
        for (const Case& c : cases) {
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
            const std::vector<DWORD> expected = Expected(width, height, kBackdropColour, c.turn, params);
            int wrong = 0;
            for (size_t i = 0; i < shown.size(); ++i)
                wrong += shown[i] != expected[i];
            EXPECT_EQ(wrong, 0) << c.what;
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
        // A still picture of the white backdrop: the refresh would otherwise
        // copy the preview window into itself while the pointer is over it.
        Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
        HWND preview = Read<HWND>([&] {
            ::KillTimer(page_.PreviewWnd->m_hWnd, COpWatermarkPreviewWnd::kRefreshTimer);
            return page_.PreviewWnd->m_hWnd;
        });
        wt::MouseMove(kSamplePoint.x, kSamplePoint.y);
        OnUi([&] {
            page_.PreviewWnd->m_preview.UpdatePreview();
            page_.PreviewWnd->m_preview.UpdateWindow();
        });
        const POINT over = ScreenCentreOf(Read<HWND>([&] { return page_.PreviewWnd->m_preview.m_hWnd; }));
        auto colour = [&] { return Read<COLORREF>([&] { return RGB(page_.Red, page_.Green, page_.Blue); }); };
        auto cursorIs = [](HCURSOR expected) {
            return WaitFor([&] {
                CURSORINFO info = {};
                info.cbSize = sizeof info;
                return ::GetCursorInfo(&info) && info.hCursor == expected;
            });
        };

        // Off: the arrow, and moving changes nothing.
        wt::MouseMove(over.x, over.y);
        wt::MouseMove(over.x + 3, over.y + 2);
        EXPECT_TRUE(cursorIs(::LoadCursorW(nullptr, IDC_ARROW)));
        EXPECT_EQ(colour(), RGB(10, 20, 30));

        // On: "특정 색상 삭제" is cleared, the eyedropper shows, white is picked.
        ClickAt(ScreenCentreOf(Item(IDC_WATERMARK_PICK)));
        ASSERT_TRUE(WaitFor([&] { return Read<int>([&] { return page_.PickColor; }) == 1; }));
        EXPECT_EQ(::SendMessageW(Item(IDC_WATERMARK_HIDE_COLOR), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        wt::MouseMove(over.x, over.y);
        wt::MouseMove(over.x + 3, over.y + 2);
        EXPECT_TRUE(WaitFor([&] { return colour() == RGB(255, 255, 255); }));
        EXPECT_TRUE(cursorIs(::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_SPOIDE_CURSOR))));
        EXPECT_EQ(::SendMessageW(Item(IDC_WATERMARK_RED_SLIDER), TBM_GETPOS, 0, 0), 255);
        WCHAR text[16] = {};
        ::GetWindowTextW(Item(IDC_WATERMARK_BLUE), text, 16);
        EXPECT_STREQ(text, L"255");

        // A click ends the picking and checks "특정 색상 삭제".
        wt::MouseDown();
        wt::MouseUp();
        EXPECT_TRUE(WaitFor([&] { return ::SendMessageW(Item(IDC_WATERMARK_HIDE_COLOR), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
        EXPECT_TRUE(Read<bool>([&] { return page_.PickColor == 0 && page_.HideColor == 1 && page_.Modified; }));
        EXPECT_EQ(::SendMessageW(Item(IDC_WATERMARK_PICK), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        ::ShowWindow(preview, SW_HIDE);
    });
}

// The system's font dialog: a face other than the current one, bold italic,
// 20 points, underlined. Returns the face chosen.
std::wstring AnswerFontDialog(HWND dialog) {
    HWND face = ::GetDlgItem(dialog, 0x470);
    HWND style = ::GetDlgItem(dialog, 0x471);
    HWND size = ::GetDlgItem(dialog, 0x472);
    auto changed = [&](HWND control) {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(control));
    };
    const int faces = static_cast<int>(::SendMessageW(face, CB_GETCOUNT, 0, 0));
    const int current = static_cast<int>(::SendMessageW(face, CB_GETCURSEL, 0, 0));
    const int pick = current == 0 && faces > 1 ? 1 : 0;
    WCHAR name[LF_FACESIZE] = {};
    ::SendMessageW(face, CB_GETLBTEXT, pick, reinterpret_cast<LPARAM>(name));
    ::SendMessageW(face, CB_SETCURSEL, pick, 0);
    changed(face);
    // The style list ends with bold italic.
    ::SendMessageW(style, CB_SETCURSEL, ::SendMessageW(style, CB_GETCOUNT, 0, 0) - 1, 0);
    ::CheckDlgButton(dialog, 0x411, BST_CHECKED);
    ::SendMessageW(size, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"20"));
    changed(style);
    changed(size);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return name;
}

void AnswerColourDialog(HWND dialog, COLORREF colour) {
    const int values[] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    for (int i = 0; i < 3; ++i)
        ::SetDlgItemInt(dialog, 706 + i, values[i], FALSE);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(WatermarkPageTest, TextEditorResultsReachThePageOnlyAfterOk) {
    Run([&] {
        auto editorWindow = [&](HWND& found) {
            return WaitFor([&] {
                found = ::FindWindowW(nullptr, L"워터마크 텍스트");
                return found && ::IsWindowVisible(found);
            });
        };
        // A common dialog owned by the editor.
        auto commonDialog = [&](HWND editor, HWND& found) {
            return WaitFor([&] {
                found = nullptr;
                for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT))
                    if (::GetWindow(w, GW_OWNER) == editor && ::IsWindowVisible(w))
                        found = w;
                return found != nullptr;
            });
        };
        auto click = [](HWND editor, UINT id) {
            ::PostMessageW(editor, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(editor, id)));
        };

        // Cancel: nothing the editor chose is read.
        ::PostMessageW(page_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_EDIT_TEXT, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(IDC_WATERMARK_EDIT_TEXT)));
        HWND editor = nullptr, common = nullptr;
        ASSERT_TRUE(editorWindow(editor));
        ::SetDlgItemTextW(editor, IDC_WMTEXT_TEXT, L"버려질 글");
        click(editor, IDC_WMTEXT_BACK);
        ASSERT_TRUE(commonDialog(editor, common));
        AnswerColourDialog(common, RGB(1, 2, 3));
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(common); }));
        ::PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }));
        EXPECT_TRUE(Read<bool>([&] {
            return page_.Text == L"Vesk Capture V0.6" && page_.TextBkR == 0 && page_.TextBkG == 115 &&
                   page_.TextBkB == 183 && page_.FontFace == L"Airal" && page_.FontSize == 32 && !page_.Modified;
        }));

        // OK: the text, the font, the text colour and the background colour.
        ::PostMessageW(page_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_EDIT_TEXT, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(IDC_WATERMARK_EDIT_TEXT)));
        ASSERT_TRUE(editorWindow(editor));
        ::SetDlgItemTextW(editor, IDC_WMTEXT_TEXT, L"Vesk 워터마크");
        click(editor, IDC_WMTEXT_FONT);
        ASSERT_TRUE(commonDialog(editor, common));
        const std::wstring face = AnswerFontDialog(common);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(common); }));
        click(editor, IDC_WMTEXT_COLOR);
        ASSERT_TRUE(commonDialog(editor, common));
        AnswerColourDialog(common, RGB(250, 128, 7));
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(common); }));
        click(editor, IDC_WMTEXT_BACK);
        ASSERT_TRUE(commonDialog(editor, common));
        AnswerColourDialog(common, RGB(12, 34, 56));
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(common); }));
        ::PostMessageW(editor, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }));

        HDC screen = ::GetDC(nullptr);
        const int pointHeight = -::MulDiv(20, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
        ::ReleaseDC(nullptr, screen);
        OnUi([&] {
            EXPECT_EQ(page_.Text, CString(L"Vesk 워터마크"));
            EXPECT_EQ(page_.FontFace, CString(face.c_str()));
            EXPECT_EQ(page_.FontSize, pointHeight);
            EXPECT_TRUE(page_.FontBold);
            EXPECT_TRUE(page_.FontItalic);
            EXPECT_TRUE(page_.FontUnderline);
            EXPECT_EQ(RGB(page_.TextColorR, page_.TextColorG, page_.TextColorB), RGB(250, 128, 7));
            EXPECT_EQ(RGB(page_.TextBkR, page_.TextBkG, page_.TextBkB), RGB(12, 34, 56));
            EXPECT_TRUE(page_.Modified);
            LOGFONTW sample = {};
            page_.SampleFont.GetLogFont(&sample);
            EXPECT_EQ(sample.lfWeight, FW_BOLD);
            EXPECT_EQ(std::wstring(sample.lfFaceName), face);
        });
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
            {IDC_WATERMARK_HMARGIN, L"-1", &page_.LeftRightMargin, -1},
            {IDC_WATERMARK_HMARGIN, L"-12", &page_.LeftRightMargin, -12},
            {IDC_WATERMARK_VMARGIN, L"7", &page_.TopBottomMargin, 7},
            {IDC_WATERMARK_RED, L"300", &page_.Red, 255},
            {IDC_WATERMARK_GREEN, L"-4", &page_.Green, 0},
            {IDC_WATERMARK_BLUE, L"", &page_.Blue, 255},
        };
        for (const auto& t : typing) {
            Type(t.edit, t.text);
            EXPECT_EQ(Read<int>([&] { return *t.field; }), t.expected) << t.edit << " '" << t.text << "'";
        }
        EXPECT_TRUE(g_boxes.empty());
        EXPECT_EQ(::SendMessageW(Item(IDC_WATERMARK_RED_SLIDER), TBM_GETPOS, 0, 0), 255);  // typing leaves it

        // Applying checks them: a non-number keeps the sheet open with the message.
        Type(IDC_WATERMARK_BLUE, L"12x");
        OnUi([&] { sheet_->PressButton(PSBTN_APPLYNOW); });
        EXPECT_TRUE(WaitFor([&] { return Read<size_t>([&] { return g_boxes.size(); }) == 1; }));
        EXPECT_TRUE(spy_.calls.empty());
        Type(IDC_WATERMARK_BLUE, L"9");
        Type(IDC_WATERMARK_GREEN, L"0");
        OnUi([&] { sheet_->PressButton(PSBTN_OK); });
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(g_boxes.size(), 1u);
    ASSERT_EQ(spy_.calls.size(), 1u);
    EXPECT_EQ(spy_.calls[0].first, QuickSwitch::WaterMark);
    EXPECT_EQ(spy_.calls[0].second, 1);
    EXPECT_FALSE(page_.Modified);

    // The section's keys in the order of the defaults table, with the values applied.
    std::vector<WCHAR> buffer(32768);
    const DWORD length = ::GetPrivateProfileSectionW(profile::kWatermarkSection, buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), ini_.c_str());
    std::vector<std::wstring> lines;
    for (const WCHAR* p = buffer.data(); p < buffer.data() + length && *p; p += wcslen(p) + 1)
        lines.emplace_back(p);
    ASSERT_EQ(lines.size(), 27u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, lines[i].find(L'=')), profile::kWatermarkDefaults[i].key);
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"LeftRightMargin", ini_.c_str()), CString(L"-12"));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"Red", ini_.c_str()), CString(L"255"));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"Blue", ini_.c_str()), CString(L"9"));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"ImageDir", ini_.c_str()), CString(mark_.c_str()));
}

TEST_F(WatermarkPageTest, PreviewStopsOnEnterAndEscAndLeavesNoGdiObject) {
    ShowBackdrop(RGB(90, 90, 90));
    // The page object outlives its windows: a second opening builds them again.
    for (int opening = 1; opening <= 2; ++opening) {
        Run([&] {
            EXPECT_TRUE(Read<bool>([&] {
                return page_.TextSample.m_hWnd == Item(IDC_WATERMARK_TEXT_SAMPLE) &&
                       ::SendMessageW(Item(IDC_WATERMARK_LOCATION), CB_GETCOUNT, 0, 0) == 9;
            })) << "opening " << opening;
            wt::MouseMove(kSamplePoint.x, kSamplePoint.y);
            for (UINT key : {IDOK, IDCANCEL}) {
                Command(IDC_WATERMARK_PREVIEW, BN_CLICKED);
                const HWND preview = Read<HWND>([&] { return page_.PreviewWnd->m_hWnd; });
                ASSERT_TRUE(::IsWindowVisible(preview));
                ::SendMessageW(preview, WM_COMMAND, key, 0);
                EXPECT_FALSE(::IsWindowVisible(preview)) << key;
                // No refresh timer is left to kill.
                EXPECT_FALSE(
                    Read<bool>([&] { return ::KillTimer(preview, COpWatermarkPreviewWnd::kRefreshTimer) != 0; }))
                    << key;
            }
            if (opening == 2) {
                OnUi([&] {
                    CWatermarkPreviewStatic& view = page_.PreviewWnd->m_preview;
                    view.UpdatePreview();
                    const int before = wt::CountGdiObjects();
                    for (int i = 0; i < 1000; ++i)
                        view.UpdatePreview();
                    EXPECT_EQ(wt::CountGdiObjects(), before);
                });
            }
        });
    }
}

}  // namespace
