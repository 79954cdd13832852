// CNcComboBox: the colour bar's list of picked colours. Owner-drawn with a
// fixed item height; each item's data is a COLORREF, shown as a small swatch
// and its "#RRGGBB" text.
#pragma once

#include "Afx.h"

class CNcComboBox : public CComboBox {
public:
    static constexpr int kItemHeight = 18;

    // Adds a colour at the end and returns its index (CB_ERR on failure).
    int AddColor(COLORREF color);
    // "#RRGGBB" of the selected colour; empty when nothing is selected.
    CString GetSelectedColorText() const;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;
};
