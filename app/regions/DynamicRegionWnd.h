// CDynamicRegionWnd: region capture over the live screen. A full-screen window
// made see-through by a colour key, on which only the rubber band, the
// cross-hair or the tracker with its close box show; the pointer window above
// it catches the mouse and feeds it the pointer. The chosen rectangle is copied
// from the display and handed to the capture engine.
#pragma once

#include "Afx.h"
#include "app/regions/NcTracker.h"
#include "app/regions/RegionCaptureHost.h"
#include "app/regions/RegionOwner.h"
#include "app/regions/ScreenZoom.h"
#include "widgets/SkinDialog.h"

#include <memory>

class CMagnifierWnd;
class CRegionPointerWnd;
class CRegionViewWnd;

class CDynamicRegionWnd : public CSkinDialog, public IRegionOwner {
public:
    // Opens a capture window in drag or tracker mode and shows it; null when it
    // could not be made. The window deletes itself when it is destroyed.
    static CDynamicRegionWnd* Open(IRegionCaptureHost* pHost, bool bTrackerMode);

    // Ends the window and its auxiliary windows.
    void EndCapture();

    HWND GetRegionWindow() const override { return m_hWnd; }
    bool IsTrackerMode() const override { return m_bTrackerMode; }
    RECT GetRegion() const override { return m_region; }
    COLORREF GetColorAt(POINT screenPoint) const override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    CDynamicRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode);
    ~CDynamicRegionWnd() override;

    void OnOK() override {}
    void OnCancel() override { EndCapture(); }
    void PostNcDestroy() override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg void OnDestroy();

private:
    void OpenAuxiliaryWindows(const RegionCaptureOptions& options);
    // Frees the auxiliary windows, the poller and the tracker; every destroy path runs it.
    void TearDown();
    void DragTo(CPoint point, const RegionCaptureOptions& options);
    // Repaints the key colour over the rubber band and the cross-hair.
    void WipeOverlays();
    void CaptureSelection(const RECT& selection, const RegionCaptureOptions& options);
    void PlaceCloseBox();
    // True when one of them was visible before.
    bool ShowHelpers(int nCmdShow);

    IRegionCaptureHost* m_pHost;
    CrossHairState m_crossHair;
    CPoint m_start;
    CPoint m_current;
    CPoint m_previous;
    bool m_bFrameDrawn = false;  // a frame through start and previous is on the screen
    bool m_bDrawing = false;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    bool m_bCaptureReleased = false;
    CImageList m_buttons;
    RECT m_closeBox = {};
    std::unique_ptr<CRegionViewWnd> m_pViewWnd;
    std::unique_ptr<CRegionPointerWnd> m_pPointerWnd;
    std::unique_ptr<CMagnifierWnd> m_pMagnifierWnd;
    RECT m_region = {};
    bool m_bTrackerMode;
    std::unique_ptr<CNcTracker> m_pTracker;

    bool m_bSelfDeleting = false;
    bool m_bEnding = false;
    // Track runs its own loop: what arrives meanwhile must not free the tracker or this object.
    bool m_bInTrack = false;
    bool m_bEndAfterTrack = false;
    bool m_bDeleteAfterTrack = false;

    DECLARE_MESSAGE_MAP()
};
