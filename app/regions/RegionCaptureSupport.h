// What both region capture windows share: the copy handed to the capture
// engine, the close box images and the conversions to the window-free geometry.
#pragma once

#include "Afx.h"
#include "app/regions/RegionCaptureHost.h"
#include "app/regions/RegionSelection.h"

constexpr COLORREF kRegionKeyColor = 0xE3EEEF;
constexpr DWORD kCaptureBltRop = SRCCOPY | CAPTUREBLT;

inline GeoRect ToGeo(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
inline RECT ToRect(const GeoRect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline GeoPoint ToGeo(POINT p) { return {p.x, p.y}; }

// Copies rect of hSource (its own coordinates) into a new memory DC and bitmap
// made like the display's and hands both to the host, which deletes them.
// False when nothing could be made; the host then gets nothing.
bool HandRegionToHost(IRegionCaptureHost* pHost, HDC hSource, const RECT& rect, DWORD dwRop);

// The plus and the cross of the close box, 24 x 24 each; only the cross is drawn.
BOOL LoadCloseBoxImages(CImageList& images);
void DrawCloseBox(CImageList& images, CDC* pDC, const GeoRect& closeBox);
