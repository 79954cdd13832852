// CStaticRegionWnd: region capture over a frozen copy of the screen. The
// screen is copied when the window opens; the window shows that copy full
// screen, draws the rubber band or the tracker over it and hands the chosen
// rectangle of the copy to the capture engine, so nothing that changes on the
// screen afterwards, and none of our own lines, reaches the picture.
#pragma once

#include "Afx.h"
#include "app/regions/NcTracker.h"
#include "app/regions/RegionCaptureHost.h"
#include "app/regions/RegionOwner.h"

#include <memory>

class CMagnifierWnd;
class CRegionViewWnd;

class CStaticRegionWnd : public CDialog, public IRegionOwner {
public:
    // Freezes the screen and opens a capture window over it in drag or tracker
    // mode; null when it could not be made. The window deletes itself when it
    // is destroyed.
    static CStaticRegionWnd* Open(IRegionCaptureHost* pHost, bool bTrackerMode);

    void EndCapture();

    HWND GetRegionWindow() const override { return m_hWnd; }
    bool IsTrackerMode() const override { return m_bTrackerMode; }
    RECT GetRegion() const override { return m_region; }
    COLORREF GetColorAt(POINT screenPoint) const override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    static UINT RefreshThreadProc(LPVOID pParam);

protected:
    CStaticRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode);
    ~CStaticRegionWnd() override;

    void OnOK() override {}
    void OnCancel() override { EndCapture(); }
    void PostNcDestroy() override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg void OnDestroy();
    afx_msg LRESULT OnTrackerRefresh(WPARAM, LPARAM);

private:
    void Freeze(DWORD dwRop);
    void FreeFrozen();
    void OpenAuxiliaryWindows(const RegionCaptureOptions& options);
    void TearDown();
    void StopRefreshThread();
    // The frozen picture, the tracker and the close box, straight onto pDC.
    void PaintTracker(CDC* pDC);
    void PlaceCloseBox();

    IRegionCaptureHost* m_pHost;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    CDC m_frozenDC;
    CBitmap m_frozenBitmap;
    HGDIOBJ m_hOldFrozenBitmap = nullptr;
    bool m_bDrawing = false;
    CImageList m_buttons;
    RECT m_closeBox = {};
    CWinThread* m_pRefreshThread = nullptr;
    // Written by the UI thread, read by the refresh thread.
    volatile LONG m_nStop = 0;
    HWND m_hWndRefresh = nullptr;  // fixed before the refresh thread starts
    std::unique_ptr<CNcTracker> m_pTracker;
    std::unique_ptr<CRegionViewWnd> m_pViewWnd;
    std::unique_ptr<CMagnifierWnd> m_pMagnifierWnd;
    RECT m_region = {};
    bool m_bTrackerMode;

    bool m_bSelfDeleting = false;
    bool m_bEnding = false;
    bool m_bInTrack = false;
    bool m_bEndAfterTrack = false;
    bool m_bDeleteAfterTrack = false;

    DECLARE_MESSAGE_MAP()
};
