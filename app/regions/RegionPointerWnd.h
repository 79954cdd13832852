// CRegionPointerWnd: the dynamic region capture's mouse catcher. A full-screen
// layered window at alpha 1 (invisible, yet hit by the mouse everywhere) that
// holds the mouse capture, forwards presses, releases and cursor requests to
// the region window and, from a polling thread, posts it the pointer position
// every 100 ms.
#pragma once

#include "Afx.h"
#include "app/capture/ScopedGdi.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionOwner.h"
#include "widgets/SkinDialog.h"

class CRegionPointerWnd : public CSkinDialog {
public:
    explicit CRegionPointerWnd(IRegionOwner* pOwner);
    ~CRegionPointerWnd() override;

    BOOL Create(CWnd* pParentWnd);
    BOOL OnInitDialog() override;
    // Stops the poller and waits for it; does nothing when it is not running.
    // Destroying the window stops it too.
    void StopPolling();
    bool IsPolling() const { return m_poller.IsRunning(); }
    // The poller's entry, parameter the window.
    static UINT PollThreadProc(LPVOID pParam);
    // Paints the few pixels around `hotSpot` (screen coordinates) with the
    // screen as it reads there now, so that the next read there is exact.
    void MatchScreenAround(POINT hotSpot);
    // Back over the whole screen, topmost, to catch the mouse anywhere.
    void CoverScreen();

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint pos);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnExitSizeMove(WPARAM, LPARAM);

    // Posts the release at `release` (screen) to the region window.
    void ForwardRelease(CPoint release);

    IRegionOwner* m_pOwner;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    CTickPoster m_poller;
    // The region window, fixed before the poller starts.
    HWND m_hWndTarget = nullptr;
    // The screen's pixels around the hot spot as last read, and where they are (screen).
    ScopedBitmapHandle m_patch;
    RECT m_patchRect = {};

    DECLARE_MESSAGE_MAP()
};
