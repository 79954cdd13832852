#include "app/regions/ScreenZoom.h"

#include "app/capture/ScopedGdi.h"
#include "app/regions/RegionGeometry.h"

#include <algorithm>
#include <memory>

namespace {

// Mix mode and pen for one drawing; both are put back on the way out.
class ScopedLinePen {
public:
    ScopedLinePen(HDC dc, int rop, COLORREF color) : m_dc(dc), m_pen(::CreatePen(PS_SOLID, 2, color)) {
        m_oldRop = ::SetROP2(dc, rop);
        m_old = m_pen ? ::SelectObject(dc, m_pen) : nullptr;
    }
    ~ScopedLinePen() {
        if (m_old)
            ::SelectObject(m_dc, m_old);
        if (m_pen)
            ::DeleteObject(m_pen);
        if (m_oldRop)
            ::SetROP2(m_dc, m_oldRop);
    }
    ScopedLinePen(const ScopedLinePen&) = delete;
    ScopedLinePen& operator=(const ScopedLinePen&) = delete;

private:
    HDC m_dc;
    HPEN m_pen;
    HGDIOBJ m_old = nullptr;
    int m_oldRop = 0;
};

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    const POINT points[2] = {{x0, y0}, {x1, y1}};
    ::Polyline(dc, points, 2);
}

// A 2-pixel line through y covers rows y - 1 and y: row y is flipped, so that
// the line is dark above and light below on any picture (likewise the columns
// of a vertical line through x). Nothing beyond the line's own pixels changes:
// those around the pointer may belong to the region being chosen.
void SplitCrossLines(HDC dc, POINT p, int left, int top, int right, int bottom) {
    const int x0 = std::min(left, right), x1 = std::max(left, right);
    const int y0 = std::min(top, bottom), y1 = std::max(top, bottom);
    FlipTopBits(dc, {x0, p.y, x1, p.y + 1});
    FlipTopBits(dc, {p.x, y0, p.x + 1, y1});
}

// The current cursor into dc, whose origin shows the screen point (originX, originY).
void DrawCursorInto(HDC dc, int originX, int originY) {
    CURSORINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor)
        return;
    ScopedIcon copy(::CopyIcon(info.hCursor));
    ScopedIconInfo iconInfo(copy.Get());
    if (!iconInfo.IsValid())
        return;
    ::DrawIcon(dc, info.ptScreenPos.x - static_cast<int>(iconInfo.Get().xHotspot) - originX,
               info.ptScreenPos.y - static_cast<int>(iconInfo.Get().yHotspot) - originY, copy.Get());
}

}  // namespace

HBITMAP DrawZoomedScreen(CrossHairState* pState, const RECT* pRect, CDC* pDC, int nFactor, bool bCrossHair,
                         bool bCursor, bool bKeepBitmap) {
    if (!pRect || !pDC || !pDC->m_hDC)
        return nullptr;
    const int w = pRect->right - pRect->left;
    const int h = pRect->bottom - pRect->top;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    const ZoomSource source = ZoomSourceFor({cursor.x, cursor.y}, w, h, nFactor);
    if (source.IsEmpty())
        return nullptr;

    ScopedDc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.Get())
        return nullptr;
    ScopedMemoryDc memory(display.Get());
    ScopedBitmapHandle copy(::CreateCompatibleBitmap(display.Get(), w, h));
    if (!memory.Get() || !copy.Get())
        return nullptr;
    {
        ScopedSelect selected(memory.Get(), copy.Get());
        ::SetStretchBltMode(memory.Get(), COLORONCOLOR);
        ::BitBlt(memory.Get(), 0, 0, source.width, source.height, display.Get(), source.x, source.y,
                 SRCCOPY | CAPTUREBLT);
        if (bCursor)
            DrawCursorInto(memory.Get(), source.x, source.y);
        if (bCrossHair && pState) {
            // The memory DC's own pen: a plain black cross through the centre.
            pState->SetExtent(w, h, 0, 0);
            pState->ClearPoints();
            CDC memoryDc;
            memoryDc.m_hDC = memoryDc.m_hAttribDC = memory.Get();
            DrawMovingCrossHair(pState, &memoryDc, true, static_cast<short>(source.halfWidth),
                                static_cast<short>(source.halfHeight));
            memoryDc.m_hDC = memoryDc.m_hAttribDC = nullptr;
        }
        const int oldMode = ::SetStretchBltMode(pDC->m_hDC, COLORONCOLOR);
        ::StretchBlt(pDC->m_hDC, 0, 0, w, h, memory.Get(), 0, 0, source.width, source.height, SRCCOPY);
        if (oldMode)
            ::SetStretchBltMode(pDC->m_hDC, oldMode);
    }
    return bKeepBitmap ? copy.Release() : nullptr;
}

void DrawMovingCrossHair(CrossHairState* s, CDC* pDC, bool bUseDcPen, short x, short y) {
    if (!s || !pDC || !pDC->m_hDC)
        return;
    const HDC dc = pDC->m_hDC;
    std::unique_ptr<ScopedLinePen> pen;
    if (!bUseDcPen)
        pen = std::make_unique<ScopedLinePen>(dc, R2_NOTXORPEN, RGB(0, 0, 0));

    if (s->hasCurrent) {
        s->previous = s->current;
        s->hasPrevious = true;
    }
    s->current = {x, y};
    s->hasCurrent = true;

    auto drawLines = [&](POINT p) {
        Line(dc, s->right, p.y, s->left, p.y);
        Line(dc, p.x, s->top, p.x, s->bottom);
        // Black alone vanishes on black; the split line shows there and comes off alike.
        if (!bUseDcPen)
            SplitCrossLines(dc, p, s->left, s->top, s->right, s->bottom);
    };
    if (s->hasPrevious)
        drawLines(s->previous);
    drawLines(s->current);
}

void DrawCrossLines(CDC* pDC, int x, int y, int nWidth, int nHeight) {
    if (!pDC || !pDC->m_hDC)
        return;
    {
        ScopedLinePen pen(pDC->m_hDC, R2_COPYPEN, RGB(0, 0, 0));
        Line(pDC->m_hDC, 0, y, nWidth, y);
        Line(pDC->m_hDC, x, 0, x, nHeight);
    }
    SplitCrossLines(pDC->m_hDC, {x, y}, 0, 0, nWidth, nHeight);
}

void FlipTopBits(HDC dc, const RECT& r) {
    if (!dc || r.right <= r.left || r.bottom <= r.top)
        return;
    ScopedBrush brush(::CreateSolidBrush(RGB(128, 128, 128)));
    ScopedSelect selected(dc, brush.Get());
    ::PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATINVERT);
}

void FlipTopBitsRing(HDC dc, const RECT& r) {
    FlipTopBits(dc, {r.left, r.top, r.right, r.top + 1});
    FlipTopBits(dc, {r.left, r.bottom - 1, r.right, r.bottom});
    FlipTopBits(dc, {r.left, r.top + 1, r.left + 1, r.bottom - 1});
    FlipTopBits(dc, {r.right - 1, r.top + 1, r.right, r.bottom - 1});
}

void DrawXorFrame(CDC* pDC, RECT r) {
    if (!pDC || !pDC->m_hDC || (r.right <= 0 && r.bottom <= 0))
        return;
    const HDC dc = pDC->m_hDC;
    {
        ScopedLinePen pen(dc, R2_NOTXORPEN, RGB(255, 0, 0));
        Line(dc, r.left, r.top, r.right, r.top);
        Line(dc, r.left, r.top, r.left, r.bottom);
        Line(dc, r.right, r.top, r.right, r.bottom);
        Line(dc, r.left, r.bottom, r.right, r.bottom);
    }
    // The red lines hardly change mid-grey: a ring just outside them flips the
    // top bit of every channel, which shows on any picture and comes off the same way.
    const int left = std::min(r.left, r.right) - 2, right = std::max(r.left, r.right) + 2;
    const int top = std::min(r.top, r.bottom) - 2, bottom = std::max(r.top, r.bottom) + 2;
    ScopedBrush brush(::CreateSolidBrush(RGB(128, 128, 128)));
    ScopedSelect selected(dc, brush.Get());
    ::PatBlt(dc, left, top, right - left, 1, PATINVERT);
    ::PatBlt(dc, left, bottom - 1, right - left, 1, PATINVERT);
    ::PatBlt(dc, left, top + 1, 1, bottom - top - 2, PATINVERT);
    ::PatBlt(dc, right - 1, top + 1, 1, bottom - top - 2, PATINVERT);
}
