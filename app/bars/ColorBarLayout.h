// Where the colour bar puts its controls, and the texts it shows for a colour.
// Plain arithmetic: no window is touched here.
#pragma once

#include <string>

namespace colorbar {

// A control's place as the bar keeps it: origin and size.
struct Place {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The bar's window rectangle in its own client coordinates.
struct Edges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Sizes the layout keeps from the controls as they are.
struct ControlSizes {
    Place picked;       // the picked-colours combo: its size is kept
    Place zoomList;     // the zoom combo: its size is kept
    int eyedropperWidth = 0;
    int copyWidth = 0;
    int buttonHeight = 0;
    int textHeight = 0;  // the three lines of the colour text in its font; the swatch's height when less
};

struct Layout {
    Place zoom, swatch, text, picked, zoomList, eyedropper, copy;
};

constexpr int kSwatchSize = 40;
// The zoom view's bottom as the first layout counts it, below the bar's top.
constexpr int kZoomBottom = 107;

// The layout at creation.
Layout InitialLayout(const Edges& bar, const ControlSizes& sizes);

// The layout after a resize, dW and dH being the docked size less the size at
// creation. False (nothing moves) when the bar is smaller both ways.
bool ResizedLayout(const Edges& bar, const ControlSizes& sizes, int dW, int dH, bool dockedVertically,
                   Layout& out);

// "RGB: r, g, b\nHtml: #RRGGBB\nHexa: 0x00RRGGBB\n"
std::wstring ColorText(int red, int green, int blue);
// "#RRGGBB", what the copy button puts on the clipboard.
std::wstring HtmlColor(int red, int green, int blue);

}  // namespace colorbar
