// What both region capture windows share: the copy handed to the capture
// engine, the close box images and the conversions to the window-free geometry.
#pragma once

#include "Afx.h"
#include "app/regions/RegionCaptureHost.h"
#include "app/regions/RegionSelection.h"

constexpr COLORREF kRegionKeyColor = 0xE3EEEF;
constexpr DWORD kCaptureBltRop = SRCCOPY | CAPTUREBLT;
// A window just hidden stays on the screen until the compositor has redrawn
// what lay under it; a copy of the screen waits that long.
constexpr DWORD kHiddenSettleMs = 120;

inline GeoRect ToGeo(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
inline RECT ToRect(const GeoRect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline GeoPoint ToGeo(POINT p) { return {p.x, p.y}; }

// Copies rect of hSource (its own coordinates) into a new memory DC and bitmap
// made like the display's and hands both to the host, which deletes them, with
// the release that chose the region. False when nothing could be made; the
// host then gets nothing.
bool HandRegionToHost(IRegionCaptureHost* pHost, HDC hSource, const RECT& rect, DWORD dwRop, POINT releasedAt);

// The plus and the cross of the close box, 24 x 24 each; only the cross is drawn.
BOOL LoadCloseBoxImages(CImageList& images);
void DrawCloseBox(CImageList& images, CDC* pDC, const GeoRect& closeBox);

// A worker that posts `message` to a window every few milliseconds until it is
// stopped, so that what the message prompts (painting, following the pointer)
// stays on the UI thread, also inside the tracker's own loop.
class CTickPoster {
public:
    CTickPoster() = default;
    ~CTickPoster() { Stop(); }
    CTickPoster(const CTickPoster&) = delete;
    CTickPoster& operator=(const CTickPoster&) = delete;

    // Starts `pfnEntry`(pParam) on a worker; the entry runs Run() of this
    // poster. With bCursorPos the lParam is the pointer's screen position at
    // the tick, and a tick without one posts nothing.
    void Start(AFX_THREADPROC pfnEntry, LPVOID pParam, HWND hWnd, UINT message, DWORD intervalMs, bool bCursorPos);
    // The worker's loop; returns 0 once stopped.
    UINT Run();
    // Stops the worker and waits for it; does nothing when it is not running.
    void Stop();
    bool IsRunning() const { return m_pThread != nullptr; }

private:
    CWinThread* m_pThread = nullptr;
    // Written by the UI thread, read by the worker.
    volatile LONG m_nStop = 0;
    // Fixed before the worker starts; it reads nothing else of this object.
    HWND m_hWnd = nullptr;
    UINT m_message = 0;
    DWORD m_intervalMs = 0;
    bool m_bCursorPos = false;
};
