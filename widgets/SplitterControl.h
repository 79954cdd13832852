// CSplitterControl: a thin bar the user drags to share space between two panes.
//
// While the left button is held an inverted double line follows the mouse
// across the screen; on release the bar moves there and tells its parent by
// WM_NOTIFY (code SPN_SIZED, an SPC_NMHDR with the distance moved). Every bar
// has control id 1004: owners with two bars tell them apart by hwndFrom.
#pragma once

#include "Afx.h"

constexpr UINT SPN_SIZED = WM_USER + 1;

struct SPC_NMHDR {
    NMHDR hdr;
    int delta;  // pixels the bar moved: right or down is positive
};

class CSplitterControl : public CStatic {
public:
    enum Orientation {
        SPS_VERTICAL = 1,    // moves left and right
        SPS_HORIZONTAL = 2,  // moves up and down
    };
    // Which edge ChangeWidth and ChangeHeight move.
    enum Align {
        CW_LEFTALIGN = 1,    // keep the left edge, move the right one
        CW_RIGHTALIGN = 2,   // keep the right edge, move the left one
        CW_TOPALIGN = 3,     // keep the top edge, move the bottom one
        CW_BOTTOMALIGN = 4,  // keep the bottom edge, move the top one
    };
    static constexpr UINT kControlId = 1004;
    static constexpr int kThickness = 5;

    CSplitterControl() = default;

    // rect in the parent's client coordinates: taller than wide gives a
    // vertical bar, anything else a horizontal one, 5 pixels thick.
    BOOL Create(const RECT& rect, CWnd* pParentWnd);
    // Where the bar's centre may be dragged, in the parent's client coordinates.
    void SetRange(int nMin, int nMax);
    int GetOrientation() const { return m_nType; }

    static void ChangeWidth(CWnd* pWnd, int dx, DWORD dwFlag = CW_LEFTALIGN);
    static void ChangeHeight(CWnd* pWnd, int dy, DWORD dwFlag = CW_TOPALIGN);

protected:
    // Draws (or, drawn twice, erases) the drag line at a screen position.
    virtual void DrawLine(CDC* pDC, int x, int y);

    afx_msg void OnPaint();
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);

    DECLARE_MESSAGE_MAP()

    BOOL m_bIsPressed = FALSE;
    int m_nType = SPS_HORIZONTAL;
    int m_nX = 0;
    int m_nY = 0;
    int m_nMin = 0;
    int m_nMax = 0;
    int m_nSavePos = 0;

    static HCURSOR s_hcurSizeWE;
    static HCURSOR s_hcurSizeNS;

private:
    int BarCentre(const CRect& rect) const;
    void EndDrag();
};
