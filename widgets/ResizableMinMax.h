// CResizableMinMax: the minimum tracking size a resizable window keeps.
#pragma once

#include "Afx.h"

class CResizableMinMax {
public:
    CResizableMinMax() = default;
    virtual ~CResizableMinMax() = default;

    void SetMinTrackSize(const CSize& size);
    BOOL HasMinTrackSize() const { return m_bUseMinTrack; }
    CSize GetMinTrackSize() const { return CSize(m_ptMinTrackSize.x, m_ptMinTrackSize.y); }

protected:
    // Applies the minimum to a WM_GETMINMAXINFO record; nothing else changes.
    void MinMaxInfo(LPMINMAXINFO lpMMI) const;

    BOOL m_bUseMinTrack = FALSE;
    POINT m_ptMinTrackSize = {};
};
