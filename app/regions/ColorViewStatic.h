// CColorViewStatic: a static that shows either the magnified screen around the
// pointer (active) or a plain colour swatch. It paints while erasing and then
// keeps the control's own painting off what it drew.
#pragma once

#include "Afx.h"
#include "app/regions/ScreenZoom.h"

class CColorViewStatic : public CStatic {
public:
    CColorViewStatic() = default;

    void SetColor(COLORREF color) { m_color = color; }
    COLORREF GetColor() const { return m_color; }
    void SetCrossHair(bool on) { m_bCrossHair = on; }
    void SetDrawCursor(bool on) { m_bCursor = on; }
    void SetPaused(bool on) { m_bPaused = on; }
    void SetActive(bool on) { m_bActive = on; }
    bool IsActive() const { return m_bActive; }
    // Factors below 1 are taken as 1 when drawing.
    void SetZoomFactor(int factor) { m_nFactor = factor; }
    int GetZoomFactor() const { return m_nFactor; }
    // The settings every zooming user sets together before invalidating.
    void SetZoom(int factor, bool crossHair, bool cursor) {
        m_nFactor = factor;
        m_bCrossHair = crossHair;
        m_bCursor = cursor;
        m_bActive = true;
        m_bPaused = false;
    }

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);

    COLORREF m_color = 0;
    CrossHairState m_crossHair;
    bool m_bCrossHair = false;
    bool m_bCursor = false;
    bool m_bPaused = false;
    bool m_bActive = false;
    int m_nFactor = 0;

    DECLARE_MESSAGE_MAP()
};
