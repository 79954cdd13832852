// The preview static's modes drawn onto a DIB through its erase handler, its
// text bitmap, the margins it hands its owner, and frame animation. Where a
// picture goes is FrameFit's (FrameMathTest); here, that it is drawn there.
#include "ContinueTestSupport.h"
#include "WidgetTestUtil.h"
#include "app/continuous/DrawStaticWnd.h"
#include "app/continuous/FrameRecord.h"

#include <gtest/gtest.h>

#include <memory>

using namespace continuous_test;

namespace {

constexpr COLORREF kCanvas = RGB(1, 2, 3);
constexpr COLORREF kEmpty = RGB(152, 151, 126);

class DrawStaticTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &DrawStaticTest::ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VeskDrawStaticTestParent";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent, nullptr,
                                     wc.hInstance, nullptr);
        ASSERT_TRUE(control.SubclassWindow(child));
        s_commands.clear();
    }
    void TearDown() override {
        control.DestroyWindow();
        DestroyWindow(parent);
        for (FrameRecord* r : records) {
            DeleteObject(r->bitmap);
            delete r;
        }
    }
    // What the static draws while erasing, on a fresh 300 x 200 canvas.
    std::unique_ptr<wt::DibCanvas> Painted() {
        auto canvas = std::make_unique<wt::DibCanvas>(300, 200, kCanvas);
        control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas->dc()));
        return canvas;
    }

    static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND)
            s_commands.push_back(LOWORD(wParam));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND parent = nullptr;
    CDrawStaticWnd control;
    std::vector<FrameRecord*> records;
    static std::vector<int> s_commands;
};
std::vector<int> DrawStaticTest::s_commands;

struct Owner : ICentringMarginsOwner {
    FrameMargins first, second;
    void SetCentringMargins(const FrameMargins& a, const FrameMargins& b) override {
        first = a;
        second = b;
    }
};

}  // namespace

TEST_F(DrawStaticTest, PictureModeCopiesSmallPicturesAndShrinksLargeOnes) {
    struct Case {
        int w, h;
        COLORREF colour;
        POINT in, before, after;  // a pixel of the picture, and pixels just beside it
    } const cases[] = {
        {0, 0, 0, {}, {5, 5}, {294, 194}},  // nothing to show: the neutral fill
        {100, 50, RGB(255, 0, 0), {100, 75}, {99, 75}, {200, 75}},
        {580, 190, RGB(0, 0, 255), {5, 53}, {5, 52}, {293, 53}},
    };
    control.m_nMode = CDrawStaticWnd::kPicture;
    for (const Case& c : cases) {
        HBITMAP picture = c.w ? MakeSolidBitmap(c.w, c.h, c.colour) : nullptr;
        control.m_hPicture = picture;
        control.m_nPictureWidth = c.w;
        control.m_nPictureHeight = c.h;
        const auto canvas = Painted();
        if (picture) {
            EXPECT_EQ(canvas->Pixel(c.in.x, c.in.y), c.colour) << c.w;
        }
        EXPECT_EQ(canvas->Pixel(c.before.x, c.before.y), kEmpty) << c.w;
        EXPECT_EQ(canvas->Pixel(c.after.x, c.after.y), kEmpty) << c.w;
        control.m_hPicture = nullptr;
        DeleteObject(picture);
    }
}

TEST_F(DrawStaticTest, HeaderSwatchAndTextModes) {
    control.SetWindowText(L"");
    control.m_nMode = CDrawStaticWnd::kHeader;
    {
        const auto canvas = Painted();
        EXPECT_EQ(canvas->Pixel(299, 100), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
        EXPECT_EQ(canvas->Pixel(299, 101), GetSysColor(COLOR_BTNHIGHLIGHT) & 0xFFFFFF);
    }
    control.m_nMode = CDrawStaticWnd::kSwatch;
    control.m_crSwatch = RGB(10, 20, 30);
    {
        const auto canvas = Painted();
        EXPECT_EQ(canvas->Pixel(1, 1), RGB(10, 20, 30));
        EXPECT_EQ(canvas->Pixel(298, 198), RGB(10, 20, 30));
        EXPECT_EQ(canvas->Pixel(299, 199), kCanvas);
    }

    control.m_nMode = CDrawStaticWnd::kText;
    SIZE size = {};
    HBITMAP bitmap = nullptr;
    control.TakeTextBitmap(size, bitmap);  // nothing rendered yet
    EXPECT_EQ(bitmap, nullptr);

    CFont font;
    ASSERT_TRUE(font.CreatePointFont(200, L"Tahoma"));
    control.SetText(L"WWWW", &font, RGB(255, 255, 255), RGB(0, 0, 0));
    const auto canvas = Painted();
    EXPECT_EQ(canvas->Pixel(1, 1), GetSysColor(COLOR_3DFACE) & 0xFFFFFF);  // cleared as a static erases itself
    int dark = 0, light = 0;
    for (int x = 100; x < 200; ++x) {
        const COLORREF c = canvas->Pixel(x, 99);
        dark += c == RGB(0, 0, 0);
        light += c == RGB(255, 255, 255);
    }
    EXPECT_GT(dark, 0);
    EXPECT_GT(light, 0);

    control.TakeTextBitmap(size, bitmap);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_GT(size.cx, 20);
    EXPECT_GT(size.cy, 10);
    HBITMAP again = nullptr;
    control.TakeTextBitmap(size, again);  // the rendering was handed out already
    EXPECT_EQ(again, nullptr);
    DeleteObject(bitmap);
}

TEST_F(DrawStaticTest, OverlayModeBlendsTheOverlayAndHandsMarginsToItsOwner) {
    control.m_nMode = CDrawStaticWnd::kOverlay;
    EXPECT_EQ(Painted()->Pixel(150, 100), kEmpty);
    HBITMAP base = MakeSolidBitmap(400, 200, RGB(0, 0, 255));
    HBITMAP overlay = MakeSolidBitmap(100, 50, RGB(255, 0, 0));
    control.FitImage(base, 400, 200, overlay, 100, 50);
    control.m_bOwnKey = 1;
    const auto canvas = Painted();
    // The 290 x 145 base sits in the middle of the 290 x 190 inset; black above it.
    EXPECT_EQ(canvas->Pixel(10, 10), RGB(0, 0, 0));
    EXPECT_EQ(canvas->Pixel(10, 100), RGB(0, 0, 255));
    const COLORREF centre = canvas->Pixel(150, 100);  // red at alpha 150 over blue
    EXPECT_GT(GetRValue(centre), 100);
    EXPECT_GT(GetBValue(centre), 50);

    Owner owner;
    control.SetMarginsOwner(&owner);
    control.SetCenter(true);
    EXPECT_EQ(owner.first.left, 150);
    EXPECT_EQ(owner.first.top, 75);
    EXPECT_EQ(owner.second.right, 150);
    EXPECT_EQ(owner.second.bottom, 75);
    control.m_bCentre = 1;
    control.SetCenter(false);
    EXPECT_EQ(owner.first.left, 0);
    EXPECT_EQ(owner.second.bottom, 0);
    control.m_hBase = control.m_hOverlay = nullptr;
    DeleteObject(base);
    DeleteObject(overlay);
}

TEST_F(DrawStaticTest, AnimationPlaysEveryFrameThenTellsTheParentOnce) {
    CListBox list;
    ASSERT_TRUE(list.Create(WS_CHILD | LBS_NOTIFY, {0, 0, 50, 50}, CWnd::FromHandle(parent), 77));
    control.m_nMode = CDrawStaticWnd::kPicture;

    control.PlayFrames(&list);  // empty: nothing starts
    EXPECT_FALSE(control.IsPlaying());

    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}) {
        auto* record = new GifFrameItem;
        record->bitmap = MakeSolidBitmap(20, 10, colour);
        record->width = 20;
        record->height = 10;
        record->time = 0.5f;
        records.push_back(record);
        list.SetItemData(list.AddString(L""), FrameToItemData(record));
    }
    std::vector<HBITMAP> shown;
    control.PlayFrames(&list);
    control.PlayFrames(&list);  // already playing: changes nothing
    EXPECT_TRUE(wt::PumpUntil([&] {
        if (shown.empty() || shown.back() != control.m_hPicture)
            shown.push_back(control.m_hPicture);
        return !s_commands.empty();
    }, 100));
    EXPECT_EQ(s_commands, std::vector<int>{CDrawStaticWnd::kAnimationEndCommand});
    EXPECT_FALSE(control.IsPlaying());
    const std::vector<HBITMAP> expected = {nullptr, records[0]->bitmap, records[1]->bitmap, records[2]->bitmap};
    EXPECT_EQ(shown, expected);

    // A list emptied under a looping animation stops it quietly.
    s_commands.clear();
    control.m_bLoop = 1;
    control.PlayFrames(&list);
    list.ResetContent();
    EXPECT_TRUE(wt::PumpUntil([&] { return !control.IsPlaying(); }, 100));
    EXPECT_TRUE(s_commands.empty());
    list.DestroyWindow();
}
