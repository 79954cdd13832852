// CStaticRegionWnd: region capture over a frozen copy of the screen. The
// screen is copied when the window opens; the window shows that copy full
// screen, draws the rubber band or the tracker over it and hands the chosen
// rectangle of the copy to the capture engine, so nothing that changes on the
// screen afterwards, and none of our own lines, reaches the picture.
#pragma once

#include "Afx.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionCaptureWnd.h"

class CStaticRegionWnd : public CRegionCaptureWnd<CDialog> {
public:
    // Freezes the screen and opens a capture window over it in drag or tracker
    // mode; null when it could not be made. The window deletes itself when it
    // is destroyed.
    static CStaticRegionWnd* Open(IRegionCaptureHost* pHost, bool bTrackerMode);

    COLORREF GetColorAt(POINT screenPoint) const override;

    BOOL OnInitDialog() override;
    // The refresh thread's entry, parameter the window.
    static UINT RefreshThreadProc(LPVOID pParam);

protected:
    CStaticRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode);
    ~CStaticRegionWnd() override;

    void PostNcDestroy() override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg LRESULT OnTrackerRefresh(WPARAM, LPARAM);

    void TearDown() override;
    GeoRect TrackerSelection() const override;
    RECT RegionOfTracker() const override;
    GeoRect EndDrag(CPoint point, const RegionCaptureOptions& options) override;
    void CaptureSelection(const RECT& selection, POINT release, const RegionCaptureOptions& options) override;
    void KeepOnlyMouseHold() override;

private:
    void Freeze(DWORD dwRop);
    void FreeFrozen();
    // The frozen picture, the tracker and the close box, straight onto pDC.
    void PaintTracker(CDC* pDC);

    CDC m_frozenDC;
    CBitmap m_frozenBitmap;
    HGDIOBJ m_hOldFrozenBitmap = nullptr;
    bool m_bDrawing = false;  // a rubber band is being dragged
    CTickPoster m_refresher;

    DECLARE_MESSAGE_MAP()
};
