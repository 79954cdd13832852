// CDynamicRegionWnd: region capture over the live screen. A full-screen window
// made see-through by a colour key, on which only the rubber band, the
// cross-hair or the tracker with its close box show; the pointer window above
// it catches the mouse and feeds it the pointer. The chosen rectangle is copied
// from the display and handed to the capture engine.
#pragma once

#include "Afx.h"
#include "app/regions/RegionCaptureWnd.h"
#include "app/regions/ScreenZoom.h"
#include "widgets/SkinDialog.h"

#include <memory>

class CRegionPointerWnd;

class CDynamicRegionWnd : public CRegionCaptureWnd<CSkinDialog> {
public:
    // Opens a capture window in drag or tracker mode and shows it; null when it
    // could not be made. The window deletes itself when it is destroyed.
    static CDynamicRegionWnd* Open(IRegionCaptureHost* pHost, bool bTrackerMode);

    COLORREF GetColorAt(POINT screenPoint) const override;

    BOOL OnInitDialog() override;

protected:
    CDynamicRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode);
    ~CDynamicRegionWnd() override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);

    void TearDown() override;
    GeoRect TrackerSelection() const override;
    RECT RegionOfTracker() const override;
    GeoRect EndDrag(CPoint point, const RegionCaptureOptions& options) override;
    void CaptureSelection(const RECT& selection, POINT release, const RegionCaptureOptions& options) override;
    void KeepOnlyMouseHold() override;

private:
    void OpenAuxiliaryWindows(const RegionCaptureOptions& options);
    void DragTo(CPoint point, const RegionCaptureOptions& options);
    // Repaints the key colour over the rubber band and the cross-hair.
    void WipeOverlays();
    // Shows or hides the info window and the magnifier.
    void ShowHelpers(int nCmdShow);
    // Stops the right button's timer that keeps the pointer window at the cursor.
    void EndFollowing();

    CrossHairState m_crossHair;
    CPoint m_start;
    CPoint m_current;
    CPoint m_previous;
    bool m_bFrameDrawn = false;  // a frame through start and previous is on the screen
    bool m_bDrawing = false;
    bool m_bCaptureReleased = false;
    bool m_bFollowing = false;  // the right button's timer runs
    std::unique_ptr<CRegionPointerWnd> m_pPointerWnd;

    DECLARE_MESSAGE_MAP()
};
