// A dialog bar that keeps one size for when it is docked and one for when it
// floats, and stretches along its dock when the frame asks.
#pragma once

#include "Afx.h"

class CResizeableDlgBar : public CDialogBar {
public:
    CResizeableDlgBar() = default;

    CSize CalcDynamicLayout(int nLength, DWORD dwMode) override;

    CSize m_sizeDocked;
    CSize m_sizeFloating;
    // A size given to the floating bar becomes the docked size too.
    BOOL m_bChangeDockedSize = FALSE;
    BOOL m_bDockedVertically = FALSE;
    BOOL m_bDocked = FALSE;
};
