#include "app/bars/ColorBarLayout.h"

#include <algorithm>
#include <cwchar>

namespace colorbar {

namespace {

Place Keep(const Place& size, int x, int y) {
    return {x, y, size.width, size.height};
}

// The two buttons stand side by side on the zoom list's row.
void PlaceButtons(Layout& out, const ControlSizes& sizes, int x) {
    out.eyedropper = {x, out.zoomList.y, sizes.eyedropperWidth, sizes.buttonHeight};
    out.copy = {x + sizes.eyedropperWidth, out.zoomList.y, sizes.copyWidth, sizes.buttonHeight};
}

// The colour text's height: the swatch's, or its three lines where a larger
// font (150 % and up) needs more; what stands below moves down by the rest.
int TextHeight(const ControlSizes& sizes) {
    return std::max(kSwatchSize, sizes.textHeight);
}

}  // namespace

Layout InitialLayout(const Edges& bar, const ControlSizes& sizes) {
    Layout out;
    const int zoomBottom = bar.top + kZoomBottom;
    const int text = TextHeight(sizes);
    out.zoom = {bar.left + 10, bar.top + 14, bar.right - 20, bar.top + kZoomBottom};
    out.swatch = {bar.left + 10, zoomBottom + 17, kSwatchSize, kSwatchSize};
    out.text = {kSwatchSize + 13, zoomBottom + 17, bar.right - 10, text};
    out.picked = Keep(sizes.picked, bar.left + 10, zoomBottom + text + 20);
    out.zoomList = Keep(sizes.zoomList, bar.left + 10, zoomBottom + text + sizes.picked.height + 23);
    PlaceButtons(out, sizes, sizes.zoomList.width + 25);
    return out;
}

bool ResizedLayout(const Edges& bar, const ControlSizes& sizes, int dW, int dH, bool dockedVertically,
                   Layout& out) {
    if (dW < 0 && dH < 0)
        return false;
    const int text = TextHeight(sizes);
    if (dockedVertically) {
        // The view runs down the bar; the rest stands in a column to its right.
        const int top = bar.top + 10;
        out.zoom = {bar.left + 14, top, bar.left + dH + 150, bar.bottom - 20};
        const int column = out.zoom.width + 17;
        out.swatch = {column, top, kSwatchSize, kSwatchSize};
        out.text = {column, top + 50, 200, text};
        out.picked = Keep(sizes.picked, column, top + kSwatchSize + text + 20);
        out.zoomList = Keep(sizes.zoomList, column, top + sizes.picked.height + kSwatchSize + text + 23);
        PlaceButtons(out, sizes, sizes.zoomList.width + out.zoom.width + 42);
        return true;
    }
    const int zoomBottom = bar.top + kZoomBottom;
    out.zoom = {bar.left + 10, bar.top + 14, bar.right - 20, bar.top + dH + kZoomBottom};
    out.swatch = {bar.left + 10, zoomBottom + dH + 17, kSwatchSize, kSwatchSize};
    out.text = {kSwatchSize + 13, out.swatch.y, bar.right - 10, text};
    out.picked = Keep(sizes.picked, bar.left + 10, zoomBottom + text + dH + 20);
    out.zoomList = Keep(sizes.zoomList, bar.left + 10, zoomBottom + text + sizes.picked.height + dH + 23);
    PlaceButtons(out, sizes, sizes.zoomList.width + 25);
    return true;
}

std::wstring ColorText(int red, int green, int blue) {
    wchar_t text[128];
    std::swprintf(text, 128, L"RGB: %d, %d, %d\nHtml: #%02X%02X%02X\nHexa: 0x00%02X%02X%02X\n", red, green, blue,
                  red, green, blue, red, green, blue);
    return text;
}

std::wstring HtmlColor(int red, int green, int blue) {
    wchar_t text[16];
    std::swprintf(text, 16, L"#%02X%02X%02X", red & 0xFF, green & 0xFF, blue & 0xFF);
    return text;
}

}  // namespace colorbar
