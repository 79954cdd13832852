#include "widgets/ResizableLayout.h"

#include <cstdint>
#include <vector>

const UINT WMU_RESIZESUPPORT = ::RegisterWindowMessageW(L"WMU_RESIZESUPPORT");

namespace {

// percent of extent, truncated toward zero; 64-bit so odd anchors cannot overflow.
int AnchorOffset(int extent, int percent) {
    return static_cast<int>(static_cast<int64_t>(extent) * percent / 100);
}

CRect ChildRectInHost(HWND hChild, HWND hHost) {
    CRect rect;
    if (!::GetWindowRect(hChild, &rect))
        return CRect();
    ::MapWindowPoints(nullptr, hHost, reinterpret_cast<LPPOINT>(&rect), 2);
    // Mapping into a right-to-left host swaps the horizontal edges.
    rect.NormalizeRect();
    return rect;
}

// A class background brush may be a system colour index plus one.
HBRUSH RealBrush(HBRUSH hBrush) {
    auto value = reinterpret_cast<UINT_PTR>(hBrush);
    if (value != 0 && value <= COLOR_MENUBAR + 1)
        return ::GetSysColorBrush(static_cast<int>(value) - 1);
    return hBrush;
}

struct PendingMove {
    HWND hWnd;
    CRect rect;
    UINT uFlags;
};

}  // namespace

BOOL CResizableLayout::AddAnchor(HWND hWnd, SIZE sizeTypeTL, SIZE sizeTypeBR) {
    if (!::IsWindow(hWnd))
        return FALSE;
    CWnd* pHost = GetLayoutWindow();

    LayoutInfo layout;
    layout.hWnd = hWnd;
    WCHAR szClass[MAX_PATH] = {};
    ::GetClassNameW(hWnd, szClass, MAX_PATH);
    layout.sWndClass = szClass;

    CRect rectClient;
    GetLayoutClientRect(&rectClient);
    CRect rectChild = ChildRectInHost(hWnd, pHost->GetSafeHwnd());
    rectChild.OffsetRect(-rectClient.left, -rectClient.top);

    if (sizeTypeBR.cx == ANCHOR_NONE.cx && sizeTypeBR.cy == ANCHOR_NONE.cy)
        sizeTypeBR = sizeTypeTL;

    const int cx = rectClient.Width();
    const int cy = rectClient.Height();
    layout.sizeTypeTL = sizeTypeTL;
    layout.sizeMarginTL = {rectChild.left - AnchorOffset(cx, sizeTypeTL.cx),
                           rectChild.top - AnchorOffset(cy, sizeTypeTL.cy)};
    layout.sizeTypeBR = sizeTypeBR;
    layout.sizeMarginBR = {rectChild.right - AnchorOffset(cx, sizeTypeBR.cx),
                           rectChild.bottom - AnchorOffset(cy, sizeTypeBR.cy)};

    InitChildProperties(layout);
    m_listLayout.push_back(layout);
    // A second registration of the same child adds an entry; the map keeps the newest.
    m_mapLayout[hWnd] = std::prev(m_listLayout.end());
    return TRUE;
}

BOOL CResizableLayout::AddAnchor(UINT nID, SIZE sizeTypeTL, SIZE sizeTypeBR) {
    CWnd* pHost = GetLayoutWindow();
    HWND hChild = pHost && pHost->m_hWnd ? ::GetDlgItem(pHost->m_hWnd, static_cast<int>(nID)) : nullptr;
    return AddAnchor(hChild, sizeTypeTL, sizeTypeBR);
}

BOOL CResizableLayout::RemoveAnchor(HWND hWnd) {
    auto it = m_mapLayout.find(hWnd);
    if (it == m_mapLayout.end())
        return FALSE;
    m_listLayout.erase(it->second);
    m_mapLayout.erase(it);
    return TRUE;
}

void CResizableLayout::RemoveAllAnchors() {
    m_mapLayout.clear();
    m_listLayout.clear();
}

void CResizableLayout::InitChildProperties(LayoutInfo& layout) {
    ChildResizeProperties answer = layout.properties;
    if (::SendMessageW(layout.hWnd, WMU_RESIZESUPPORT, RSZSUP_QUERYPROPERTIES, reinterpret_cast<LPARAM>(&answer))) {
        layout.bMsgSupport = TRUE;
        layout.properties = answer;
        return;
    }
    layout.bMsgSupport = FALSE;
    layout.properties.bAskClipping = FALSE;
    layout.properties.bCachedLikesClip = ChildLikesClipping(layout);
    layout.properties.bAskRefresh = TRUE;
}

BOOL CResizableLayout::ChildLikesClipping(const LayoutInfo& layout) {
    if (layout.bMsgSupport) {
        BOOL bLikes = FALSE;
        if (::SendMessageW(layout.hWnd, WMU_RESIZESUPPORT, RSZSUP_LIKESCLIPPING, reinterpret_cast<LPARAM>(&bLikes)))
            return bLikes;
    }
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(layout.hWnd, GWL_STYLE));
    const CString& cls = layout.sWndClass;

    if (cls == L"ToolbarWindow32")
        return (style & TBSTYLE_TRANSPARENT) ? FALSE : TRUE;

    if (cls == L"Button") {
        switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            return FALSE;
        case BS_OWNERDRAW: {
            // An owner-drawn button that lets clicks through wants the parent's background.
            CRect rect;
            ::GetWindowRect(layout.hWnd, &rect);
            LRESULT hit = ::SendMessageW(layout.hWnd, WM_NCHITTEST, 0, MAKELPARAM(rect.left, rect.top));
            return hit == HTTRANSPARENT ? FALSE : TRUE;
        }
        default:
            return TRUE;
        }
    }

    if (cls == L"Static") {
        const DWORD type = style & SS_TYPEMASK;
        if (type > 17)  // etched frame and everything after it
            return FALSE;
        switch (type) {
        case SS_ICON:
        case SS_ENHMETAFILE:
            return (style & SS_CENTERIMAGE) ? FALSE : TRUE;
        case SS_BLACKFRAME:
        case SS_GRAYFRAME:
        case SS_WHITEFRAME:
        case SS_USERITEM:
        case SS_OWNERDRAW:
            return FALSE;
        default:
            return TRUE;
        }
    }
    return TRUE;
}

BOOL CResizableLayout::ChildNeedsRefresh(const LayoutInfo& layout, const CRect& rectOld, const CRect& rectNew) {
    if (layout.bMsgSupport) {
        RefreshQuery query = {TRUE, rectOld, rectNew};
        if (::SendMessageW(layout.hWnd, WMU_RESIZESUPPORT, RSZSUP_NEEDSREFRESH, reinterpret_cast<LPARAM>(&query)))
            return query.bNeedsRefresh;
    }
    const int dW = rectNew.Width() - rectOld.Width();
    const int dH = rectNew.Height() - rectOld.Height();
    if (dW == 0 && dH == 0)
        return FALSE;

    const DWORD style = static_cast<DWORD>(::GetWindowLongW(layout.hWnd, GWL_STYLE));
    const CString& cls = layout.sWndClass;
    BOOL bRefresh = FALSE;

    if (cls == L"Static") {
        const DWORD type = style & SS_TYPEMASK;
        bool bText = false;
        switch (type) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
            bText = true;
            bRefresh = dW != 0;
            break;
        case SS_LEFTNOWORDWRAP:
            bText = true;
            if (style & SS_ELLIPSISMASK)
                bRefresh = dW != 0;
            break;
        case SS_ICON:
        case SS_BLACKFRAME:
        case SS_GRAYFRAME:
        case SS_WHITEFRAME:
        case SS_BITMAP:
        case SS_ENHMETAFILE:
        case SS_ETCHEDFRAME:
            bRefresh = TRUE;
            break;
        default:
            break;
        }
        if (bText && (style & SS_CENTERIMAGE) && (bRefresh || dH != 0))
            bRefresh = TRUE;
    }

    if (cls == L"ListBox" && dW > 0) {
        // Widening a list box scrolled to its horizontal end shifts its contents.
        SCROLLINFO si = {};
        si.cbSize = sizeof(si);
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        if (!::GetScrollInfo(layout.hWnd, SB_HORZ, &si)) {
            si = {};
            si.cbSize = sizeof(si);
        }
        const int limit = static_cast<int>(static_cast<uint32_t>(si.nMax) - (static_cast<uint32_t>(si.nPage) - 1u));
        if (limit > 0 && static_cast<int64_t>(si.nPos) + dW > limit)
            bRefresh = TRUE;
    }
    return bRefresh;
}

void CResizableLayout::GetLayoutClientRect(LPRECT lpRect) {
    CWnd* pHost = GetLayoutWindow();
    if (!pHost || !pHost->m_hWnd || !::GetClientRect(pHost->m_hWnd, lpRect))
        ::SetRectEmpty(lpRect);
}

void CResizableLayout::ComputeChildRect(const LayoutInfo& layout, const CRect& rectClient, CRect& rectNew,
                                        CRect& rectOld, UINT& uFlags) {
    rectOld = ChildRectInHost(layout.hWnd, GetLayoutWindow()->GetSafeHwnd());

    const int cx = rectClient.Width();
    const int cy = rectClient.Height();
    rectNew.left = AnchorOffset(cx, layout.sizeTypeTL.cx) + layout.sizeMarginTL.cx;
    rectNew.top = AnchorOffset(cy, layout.sizeTypeTL.cy) + layout.sizeMarginTL.cy;
    rectNew.right = AnchorOffset(cx, layout.sizeTypeBR.cx) + layout.sizeMarginBR.cx;
    rectNew.bottom = AnchorOffset(cy, layout.sizeTypeBR.cy) + layout.sizeMarginBR.cy;
    rectNew.OffsetRect(rectClient.left, rectClient.top);

    const BOOL bRefresh = layout.properties.bAskRefresh ? ChildNeedsRefresh(layout, rectOld, rectNew)
                                                        : layout.properties.bCachedNeedsRefresh;
    uFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (bRefresh)
        uFlags |= SWP_NOCOPYBITS;
    if (rectNew.TopLeft() == rectOld.TopLeft())
        uFlags |= SWP_NOMOVE;
    if (rectNew.Size() == rectOld.Size())
        uFlags |= SWP_NOSIZE;
}

void CResizableLayout::ArrangeChildren() {
    CRect rectClient;
    GetLayoutClientRect(&rectClient);

    std::vector<PendingMove> moves;
    moves.reserve(m_listLayout.size());
    for (const LayoutInfo& layout : m_listLayout) {
        // A child destroyed behind our back would make the whole batch fail.
        if (!::IsWindow(layout.hWnd))
            continue;
        CRect rectNew;
        CRect rectOld;
        UINT uFlags = 0;
        ComputeChildRect(layout, rectClient, rectNew, rectOld, uFlags);
        if ((uFlags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE))
            continue;
        moves.push_back({layout.hWnd, rectNew, uFlags});
    }
    if (moves.empty())
        return;

    bool bBatched = false;
    if (HDWP hdwp = ::BeginDeferWindowPos(static_cast<int>(moves.size()))) {
        bBatched = true;
        for (const PendingMove& m : moves) {
            hdwp = ::DeferWindowPos(hdwp, m.hWnd, nullptr, m.rect.left, m.rect.top, m.rect.Width(), m.rect.Height(),
                                    m.uFlags);
            if (!hdwp) {
                // The system has dropped the whole batch.
                bBatched = false;
                break;
            }
        }
        if (hdwp && !::EndDeferWindowPos(hdwp))
            bBatched = false;
    }
    if (bBatched)
        return;
    for (const PendingMove& m : moves) {
        if (::IsWindow(m.hWnd))
            ::SetWindowPos(m.hWnd, nullptr, m.rect.left, m.rect.top, m.rect.Width(), m.rect.Height(), m.uFlags);
    }
}

void CResizableLayout::BuildClipRegion(CRgn* pRegion) {
    CWnd* pHost = GetLayoutWindow();
    HWND hHost = pHost->GetSafeHwnd();
    CRect rectClient;
    ::GetClientRect(hHost, &rectClient);
    if (!pRegion->CreateRectRgnIndirect(&rectClient))
        return;

    CRgn rgnChild;
    rgnChild.CreateRectRgn(0, 0, 0, 0);
    for (const LayoutInfo& layout : m_listLayout) {
        if (!::IsWindowVisible(layout.hWnd))
            continue;
        CRect rect = ChildRectInHost(layout.hWnd, hHost);
        const int type = ::GetWindowRgn(layout.hWnd, rgnChild);
        if (type == SIMPLEREGION || type == COMPLEXREGION)
            rgnChild.OffsetRgn(rect.left, rect.top);
        else
            rgnChild.SetRectRgn(&rect);
        const BOOL bClip =
            layout.properties.bAskClipping ? ChildLikesClipping(layout) : layout.properties.bCachedLikesClip;
        pRegion->CombineRgn(pRegion, &rgnChild, bClip ? RGN_DIFF : RGN_OR);
    }
    if (::GetWindowLongW(hHost, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)
        pRegion->OffsetRgn(-1, 0);
}

void CResizableLayout::EraseBackgroundClipped(CDC* pDC) {
    CWnd* pHost = GetLayoutWindow();
    HWND hHost = pHost->GetSafeHwnd();
    if (!pDC || !hHost)
        return;
    HBRUSH hBrush = nullptr;
    if ((::GetClassLongW(hHost, GCW_ATOM) & 0xFFFF) == 0x8002)  // the dialog class
        hBrush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(hHost, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(pDC->m_hDC), reinterpret_cast<LPARAM>(hHost)));
    else
        hBrush = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(::GetClassLongW(hHost, GCL_HBRBACKGROUND)));
    hBrush = RealBrush(hBrush);
    if (!hBrush)
        return;

    CRgn region;
    BuildClipRegion(&region);
    if (region.m_hObject)
        ::FillRgn(pDC->m_hDC, region, hBrush);
}
