// The colour bar's placement of its controls and its colour texts.
#include "app/bars/ColorBarLayout.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using colorbar::Layout;
using colorbar::Place;

const colorbar::Edges kBar = {0, 0, 300, 240};

// The combos as the template put them: only their sizes count.
// The text: three lines of the 144-dpi font (the 96-dpi one needs less than the swatch's 40).
colorbar::ControlSizes Sizes() { return {{500, 600, 93, 22}, {500, 650, 51, 20}, 24, 24, 21, 60}; }

int Right(const Place& p) { return p.x + p.width; }
int Bottom(const Place& p) { return p.y + p.height; }

bool Overlap(const Place& a, const Place& b) {
    return a.x < Right(b) && b.x < Right(a) && a.y < Bottom(b) && b.y < Bottom(a);
}

// What every layout keeps: the buttons side by side on the zoom list's row
// right of it, the lists under each other, nothing over the zoom view.
void ExpectSound(const Layout& l, const char* name) {
    SCOPED_TRACE(name);
    EXPECT_EQ(l.zoomList.y, l.eyedropper.y);
    EXPECT_EQ(l.zoomList.y, l.copy.y);
    EXPECT_GT(l.eyedropper.x, Right(l.zoomList));
    EXPECT_EQ(Right(l.eyedropper), l.copy.x);
    EXPECT_GT(l.zoomList.y, Bottom(l.picked));
    for (const Place* p : {&l.swatch, &l.picked, &l.zoomList, &l.eyedropper, &l.copy})
        EXPECT_FALSE(Overlap(l.zoom, *p) || Overlap(l.text, *p));
    EXPECT_EQ(l.text.height, 60);
}

TEST(ColorBarLayout, StacksUnderTheViewOrBesideItAndLeavesASmallerBarAlone) {
    const Layout first = colorbar::InitialLayout(kBar, Sizes());
    ExpectSound(first, "initial");
    EXPECT_EQ(280, first.zoom.width);
    EXPECT_GT(first.text.x, Right(first.swatch));
    EXPECT_GT(first.picked.y, Bottom(first.swatch));

    Layout l;
    EXPECT_FALSE(colorbar::ResizedLayout(kBar, Sizes(), -1, -5, false, l));
    EXPECT_FALSE(colorbar::ResizedLayout(kBar, Sizes(), -30, -1, true, l));

    // Docked on a side: the view runs down the bar, the rest stands right of it.
    ASSERT_TRUE(colorbar::ResizedLayout({0, 0, 320, 400}, Sizes(), 0, 0, true, l));
    ExpectSound(l, "vertical");
    EXPECT_EQ(380, l.zoom.height);
    for (const Place* p : {&l.swatch, &l.text, &l.picked, &l.zoomList})
        EXPECT_GT(p->x, Right(l.zoom));
    EXPECT_LE(Right(l.copy), 320);

    // Along the top or bottom: the first stack, moved down by the growth.
    ASSERT_TRUE(colorbar::ResizedLayout(kBar, Sizes(), -10, 25, false, l));
    ExpectSound(l, "horizontal");
    for (auto [now, was] : {std::pair{l.swatch.y, first.swatch.y}, {l.picked.y, first.picked.y},
                            {l.zoomList.y, first.zoomList.y}, {l.zoom.height, first.zoom.height}})
        EXPECT_EQ(was + 25, now);
}

TEST(ColorBarLayout, ColourTexts) {
    const struct {
        int r, g, b;
        const wchar_t* text;
        const wchar_t* html;
    } cases[] = {
        {255, 0, 0, L"RGB: 255, 0, 0\nHtml: #FF0000\nHexa: 0x00FF0000\n", L"#FF0000"},
        {18, 52, 86, L"RGB: 18, 52, 86\nHtml: #123456\nHexa: 0x00123456\n", L"#123456"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, colorbar::ColorText(c.r, c.g, c.b));
        EXPECT_EQ(c.html, colorbar::HtmlColor(c.r, c.g, c.b));
    }
}

}  // namespace
