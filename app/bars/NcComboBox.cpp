#include "app/bars/NcComboBox.h"

#include "app/bars/ColorBarLayout.h"

namespace {

constexpr COLORREF kSelectedFill = RGB(204, 218, 241);
constexpr COLORREF kSelectedFrame = RGB(61, 149, 255);

CString HtmlText(COLORREF color) {
    return CString(colorbar::HtmlColor(GetRValue(color), GetGValue(color), GetBValue(color)).c_str());
}

// A framed swatch: the frame in the DC's current pen and brush, then the colour.
void DrawSwatch(CDC& dc, const CRect& swatch, COLORREF color) {
    dc.Rectangle(swatch.left - 1, swatch.top - 1, swatch.right + 1, swatch.bottom + 1);
    dc.FillSolidRect(&swatch, color);
}

}  // namespace

int CNcComboBox::AddColor(COLORREF color) {
    // Without CBS_HASSTRINGS the "string" is the item data itself.
    const int index = static_cast<int>(SendMessage(CB_ADDSTRING, 0, static_cast<LPARAM>(color)));
    if (index >= 0)
        SetItemData(index, color);
    return index;
}

CString CNcComboBox::GetSelectedColorText() const {
    const int selected = GetCurSel();
    if (selected == CB_ERR)
        return CString();
    return HtmlText(static_cast<COLORREF>(GetItemData(selected)));
}

void CNcComboBox::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    lpMeasureItemStruct->itemHeight = kItemHeight;
}

void CNcComboBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (static_cast<int>(lpDrawItemStruct->itemID) < 0)
        return;  // an empty list's edit field
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    if (!pDC)
        return;
    CDC& dc = *pDC;
    const CRect item(lpDrawItemStruct->rcItem);
    const COLORREF color = static_cast<COLORREF>(lpDrawItemStruct->itemData);
    const CRect swatch(item.left + 3, item.top + 3, item.left + 17, item.top + 15);
    const UINT action = lpDrawItemStruct->itemAction;
    const bool selected = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0;

    if (action & ODA_DRAWENTIRE)
        DrawSwatch(dc, swatch, color);
    if (selected && (action & (ODA_DRAWENTIRE | ODA_SELECT))) {
        dc.FillSolidRect(&item, kSelectedFill);
        CBrush frame;
        frame.CreateSolidBrush(kSelectedFrame);
        dc.FrameRect(&item, &frame);
        DrawSwatch(dc, swatch, color);
    } else if (!selected && (action & ODA_SELECT)) {
        const COLORREF background = dc.GetBkColor();
        dc.FillSolidRect(&item, background);
        CBrush frame;
        frame.CreateSolidBrush(background);
        dc.FrameRect(&item, &frame);
        DrawSwatch(dc, swatch, color);
    }

    CRect textRect(item);
    textRect.left += 20;
    const COLORREF oldText = dc.SetTextColor(RGB(0, 0, 0));
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    dc.DrawText(HtmlText(color), &textRect, DT_SINGLELINE | DT_VCENTER);
    dc.SetBkMode(oldMode);
    dc.SetTextColor(oldText);
}
