#include "RectTracker.h"

#include "Gdi.h"
#include "Wnd.h"

namespace {

// Pens and brushes every tracker shares; made on first use, from any thread.
HGDIOBJ DottedPen() {
    static CPen pen(PS_DOT, 0, RGB(0, 0, 0));
    return pen.m_hObject;
}

HBRUSH HatchBrush() {
    static CBrush brush(HS_BDIAGONAL, RGB(0, 0, 0));
    return static_cast<HBRUSH>(brush.m_hObject);
}

// Filled with the pattern inverted: the hatched band around the rectangle.
constexpr DWORD kPatternNot = 0x000F0001;

bool IsMouseMessage(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_MOUSEHOVER ||
           message == WM_MOUSELEAVE || message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE;
}

// Position of a mouse message in hWnd's client coordinates. Messages for other
// windows of the thread carry their own client coordinates.
CPoint MessagePoint(const MSG& msg, HWND hWnd) {
    POINT p;
    if (!msg.hwnd) {
        ::GetCursorPos(&p);
        ::ScreenToClient(hWnd, &p);
        return CPoint(p);
    }
    p = CPoint(msg.lParam);
    if (msg.hwnd != hWnd)
        ::MapWindowPoints(msg.hwnd, hWnd, &p, 1);
    return CPoint(p);
}

// Limits drawing on hWnd's DC to the client area of the clip window.
void ClipToWindow(HDC dc, HWND hWnd, CWnd* pWndClipTo) {
    if (!dc || !pWndClipTo || !::IsWindow(pWndClipTo->m_hWnd))
        return;
    RECT clip;
    ::GetClientRect(pWndClipTo->m_hWnd, &clip);
    ::MapWindowPoints(pWndClipTo->m_hWnd, hWnd, reinterpret_cast<LPPOINT>(&clip), 2);
    ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
}

}  // namespace

CRectTracker::CRectTracker(LPCRECT lpSrcRect, UINT nStyle) : m_nStyle(nStyle), m_rect(lpSrcRect) {}

void CRectTracker::Draw(CDC* pDC) const { DrawTracker(pDC, RGB(0, 0, 0)); }

void CRectTracker::DrawTracker(CDC* pDC, COLORREF handleColor) const {
    const HDC dc = pDC ? pDC->GetSafeHdc() : nullptr;
    if (!dc)
        return;
    const int saved = ::SaveDC(dc);
    ::SetMapMode(dc, MM_TEXT);
    ::SetViewportOrgEx(dc, 0, 0, nullptr);
    ::SetWindowOrgEx(dc, 0, 0, nullptr);

    CRect rect = m_rect;
    rect.NormalizeRect();

    if (m_nStyle & (solidLine | dottedLine)) {
        const HGDIOBJ pen = (m_nStyle & solidLine) ? ::GetStockObject(BLACK_PEN) : DottedPen();
        CScopedSelectObject selectPen(dc, pen);
        CScopedSelectObject selectBrush(dc, ::GetStockObject(NULL_BRUSH));
        const int oldRop = ::SetROP2(dc, R2_COPYPEN);
        ::Rectangle(dc, rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1);
        ::SetROP2(dc, oldRop);
    }
    if (m_nStyle & (hatchInside | hatchedBorder))
        ::UnrealizeObject(HatchBrush());
    if (m_nStyle & hatchInside) {
        CScopedSelectObject selectPen(dc, ::GetStockObject(NULL_PEN));
        CScopedSelectObject selectBrush(dc, HatchBrush());
        ::SetBkMode(dc, TRANSPARENT);
        const int oldRop = ::SetROP2(dc, R2_MASKNOTPEN);
        ::Rectangle(dc, rect.left + 1, rect.top + 1, rect.right, rect.bottom);
        ::SetROP2(dc, oldRop);
    }
    if (m_nStyle & hatchedBorder) {
        CScopedSelectObject selectBrush(dc, HatchBrush());
        ::SetBkMode(dc, OPAQUE);
        CRect outer;
        GetTrueRect(&outer);
        ::PatBlt(dc, outer.left, outer.top, outer.Width(), rect.top - outer.top, kPatternNot);
        ::PatBlt(dc, outer.left, rect.bottom, outer.Width(), outer.bottom - rect.bottom, kPatternNot);
        ::PatBlt(dc, outer.left, rect.top, rect.left - outer.left, rect.Height(), kPatternNot);
        ::PatBlt(dc, rect.right, rect.top, outer.right - rect.right, rect.Height(), kPatternNot);
    }
    if (m_nStyle & (resizeInside | resizeOutside)) {
        const UINT mask = GetHandleMask();
        const COLORREF oldBk = ::SetBkColor(dc, handleColor);
        for (int handle = hitTopLeft; handle <= hitLeft; ++handle) {
            if (!(mask & (1u << handle)))
                continue;
            CRect box;
            GetHandleRect(handle, &box);
            // Filling by an opaque empty text draws with no brush to make.
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
        }
        ::SetBkColor(dc, oldBk);
    }
    ::RestoreDC(dc, saved);
}

void CRectTracker::GetTrueRect(LPRECT lpTrueRect) const {
    if (lpTrueRect)
        *lpTrueRect = FromGeo(trackgeo::TrueRect(ToGeo(m_rect), m_nStyle, GetHandleSize()));
}

BOOL CRectTracker::SetCursor(CWnd* pWnd, UINT nHitTest) const {
    if (nHitTest != HTCLIENT || !pWnd || !pWnd->m_hWnd)
        return FALSE;
    POINT p;
    ::GetCursorPos(&p);
    ::ScreenToClient(pWnd->m_hWnd, &p);
    const int hit = NormalizeHit(HitTestHandles(p));
    if (hit < hitTopLeft || hit > hitMiddle)
        return FALSE;
    static const LPCWSTR kCursors[9] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                        IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL};
    ::SetCursor(::LoadCursorW(nullptr, kCursors[hit]));
    return TRUE;
}

int CRectTracker::HitTest(CPoint point) const { return HitTestHandles(point); }

int CRectTracker::NormalizeHit(int nHandle) const { return trackgeo::NormalizeHit(ToGeo(m_rect), nHandle); }

int CRectTracker::HitTestHandles(CPoint point) const {
    return trackgeo::HitTestHandles(ToGeo(m_rect), trackgeo::Point{point.x, point.y}, m_nStyle, GetHandleMask(),
                                    GetHandleSize());
}

void CRectTracker::GetHandleRect(int nHandle, CRect* pHandleRect) const {
    if (pHandleRect)
        *pHandleRect = FromGeo(trackgeo::HandleRect(ToGeo(m_rect), nHandle, m_nStyle, GetHandleSize()));
}

UINT CRectTracker::GetHandleMask() const { return trackgeo::DefaultHandleMask(ToGeo(m_rect), GetHandleSize()); }

int CRectTracker::GetHandleSize(LPCRECT lpRect) const {
    return trackgeo::EffectiveHandleSize(ToGeo(lpRect ? *lpRect : m_rect), m_nStyle, m_nHandleSize);
}

void CRectTracker::AdjustRect(int nHandle, LPRECT lpRect) {
    if (!lpRect)
        return;
    // A rubber band starts empty: only its direction is ruled, not its size.
    const int minWidth = m_bRubberBand || m_sizeMin.cx < 0 ? 0 : m_sizeMin.cx;
    const int minHeight = m_bRubberBand || m_sizeMin.cy < 0 ? 0 : m_sizeMin.cy;
    *lpRect = FromGeo(trackgeo::ConstrainRect(ToGeo(*lpRect), nHandle, minWidth, minHeight, m_bAllowInvert != FALSE));
}

void CRectTracker::OnChangedRect(const CRect&) {}

void CRectTracker::DrawTrackerRect(LPCRECT lpRect, CWnd*, CDC* pDC, CWnd*) {
    const HDC dc = pDC ? pDC->GetSafeHdc() : nullptr;
    if (!dc || !lpRect)
        return;
    // A two-pixel ring just outside the rectangle, four bands that never overlap.
    CRect r(lpRect);
    r.NormalizeRect();
    constexpr int t = 2;
    ::PatBlt(dc, r.left - t, r.top - t, r.Width() + 2 * t, t, DSTINVERT);
    ::PatBlt(dc, r.left - t, r.bottom, r.Width() + 2 * t, t, DSTINVERT);
    ::PatBlt(dc, r.left - t, r.top, t, r.Height(), DSTINVERT);
    ::PatBlt(dc, r.right, r.top, t, r.Height(), DSTINVERT);
}

BOOL CRectTracker::Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert, CWnd* pWndClipTo) {
    if (!pWnd || !::IsWindow(pWnd->m_hWnd))
        return FALSE;
    int nHandle = HitTestHandles(point);
    if (nHandle < 0)
        return FALSE;
    m_bAllowInvert = bAllowInvert;
    m_bRubberBand = false;
    if (!bAllowInvert) {
        // Resizing that may not invert works on the rectangle as the user sees it.
        nHandle = NormalizeHit(nHandle);
        m_rect.NormalizeRect();
    }
    return TrackHandle(nHandle, pWnd, point, pWndClipTo);
}

BOOL CRectTracker::TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert) {
    if (!pWnd || !::IsWindow(pWnd->m_hWnd))
        return FALSE;
    m_rect.SetRect(point, point);
    m_bAllowInvert = bAllowInvert;
    m_bRubberBand = true;
    const BOOL changed = TrackHandle(hitBottomRight, pWnd, point, nullptr);
    m_bRubberBand = false;
    CRect r = m_rect;
    r.NormalizeRect();
    return changed && !r.IsRectEmpty();
}

// The frame drawn inverting while the mouse moves, the cancel by Escape or
// the right button, and the end at the release.
class CRectTracker::TrackSession {
public:
    TrackSession(CRectTracker& tracker, int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo)
        : m_tracker(tracker),
          m_nHandle(nHandle),
          m_pWnd(pWnd),
          m_hWnd(pWnd->m_hWnd),
          m_pWndClipTo(pWndClipTo),
          m_start(ToGeo(tracker.m_rect)),
          m_anchor{point.x, point.y},
          m_dc(pWnd) {
        ClipToWindow(m_dc.m_hDC, m_hWnd, pWndClipTo);
        m_tracker.m_bDrawn = false;
    }
    ~TrackSession() { Erase(); }
    TrackSession(const TrackSession&) = delete;
    TrackSession& operator=(const TrackSession&) = delete;

    // Runs the loop until the release or a cancel; false when cancelled.
    bool Run() {
        for (;;) {
            if (::GetCapture() != m_hWnd)
                return false;
            MSG msg;
            const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0) {
                // WM_QUIT belongs to the loops outside this one.
                if (got == 0)
                    ::PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            if (Handle(msg))
                return !m_bCancelled;
        }
    }
    bool Changed() const { return m_bChanged; }

private:
    // Whether the loop may end: the primary button is up, or after a cancel
    // every button is, so that the right button's release of a cancel by the
    // right button reaches no other window either. A release not yet taken
    // from the queue counts as down: a quick one must end the loop here, not
    // reach the owner as a click of its own.
    bool ButtonsUp() const { return m_bCancelled ? !AfxAnyButtonStillDown() : !AfxButtonStillDown(true); }

    // True when the loop ends with this message.
    bool Handle(MSG& msg) {
        switch (msg.message) {
        case WM_LBUTTONUP:
            Follow(MessagePoint(msg, m_hWnd));
            return !m_bCancelled || ButtonsUp();
        case WM_RBUTTONUP:
            return m_bCancelled && ButtonsUp();
        case WM_MOUSEMOVE:
            Follow(MessagePoint(msg, m_hWnd));
            // Its release went to another window: end as if it came here.
            return ButtonsUp();
        case WM_RBUTTONDOWN:
            return Cancel();
        case WM_KEYDOWN:
            if (msg.wParam == VK_ESCAPE)
                return Cancel();
            break;
        default:
            // Other mouse input belongs to the drag; everything else goes on.
            if (IsMouseMessage(msg.message))
                return false;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        return false;
    }

    void Erase() {
        if (m_tracker.m_bDrawn)
            m_tracker.DrawTrackerRect(&m_tracker.m_rectLast, m_pWndClipTo, &m_dc, m_pWnd);
        m_tracker.m_bDrawn = false;
    }

    void Follow(CPoint pt) {
        // A cancelled drag only waits for its release.
        if (m_bCancelled)
            return;
        CRect r = FromGeo(trackgeo::DraggedRect(m_start, m_nHandle, m_anchor, trackgeo::Point{pt.x, pt.y}));
        m_tracker.AdjustRect(m_nHandle, &r);
        if (r == m_tracker.m_rect)
            return;
        const CRect rectOld = m_tracker.m_rect;
        Erase();
        m_tracker.m_rect = r;
        m_tracker.m_rectLast = r;
        m_tracker.DrawTrackerRect(&m_tracker.m_rectLast, m_pWndClipTo, &m_dc, m_pWnd);
        m_tracker.m_bDrawn = true;
        m_bChanged = true;
        m_tracker.OnChangedRect(rectOld);
    }

    // The frame and the change go at once; the loop goes on, swallowing the
    // mouse, while a button is still down. True when it may end now.
    bool Cancel() {
        m_bCancelled = true;
        m_tracker.m_bEndedByUser = true;
        Erase();
        m_tracker.RestoreRect(FromGeo(m_start));
        return ButtonsUp();
    }

    CRectTracker& m_tracker;
    const int m_nHandle;
    CWnd* const m_pWnd;
    const HWND m_hWnd;
    CWnd* const m_pWndClipTo;
    const trackgeo::Rect m_start;
    const trackgeo::Point m_anchor;
    CClientDC m_dc;
    bool m_bCancelled = false;
    bool m_bChanged = false;
};

void CRectTracker::RestoreRect(const CRect& rect) {
    if (m_rect == rect)
        return;
    const CRect rectOld = m_rect;
    m_rect = rect;
    OnChangedRect(rectOld);
}

BOOL CRectTracker::TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo) {
    const HWND hWnd = pWnd->m_hWnd;
    const CRect rectStart = m_rect;
    // Pending paint first, so it cannot cover the inverted frame.
    ::UpdateWindow(hWnd);
    // Taken even from another window of ours that holds the capture now (the
    // region window's pointer window does while the user works on the tracker).
    ::SetCapture(hWnd);
    m_bEndedByUser = false;
    bool completed = false;
    bool changed = false;
    {
        TrackSession session(*this, nHandle, pWnd, point, pWndClipTo);
        completed = session.Run();
        changed = session.Changed();
    }
    if (::GetCapture() == hWnd)
        ::ReleaseCapture();
    if (!completed) {
        RestoreRect(rectStart);
        return FALSE;
    }
    return changed ? TRUE : FALSE;
}
