// CResizableLayout: keeps a window's children anchored while the window is resized.
//
// Each registered child has a top-left and a bottom-right anchor, in percent
// of the host's client size, plus fixed pixel margins from those points. The
// class is a mix-in: the host window derives from it and returns itself from
// GetLayoutWindow.
#pragma once

#include "Afx.h"

#include <list>
#include <unordered_map>

// Registered at start-up; the layout asks children about clipping and
// repainting with it. wParam is one of the RSZSUP_ codes.
extern const UINT WMU_RESIZESUPPORT;

// What a child that answers WMU_RESIZESUPPORT fills in (code RSZSUP_QUERYPROPERTIES).
struct ChildResizeProperties {
    BOOL bAskClipping;       // ask each time whether the child may be clipped
    BOOL bAskRefresh;        // ask each time whether the child needs a full repaint
    BOOL bCachedLikesClip;   // the answer when not asked
    BOOL bCachedNeedsRefresh;
};

// lParam of code RSZSUP_NEEDSREFRESH.
struct RefreshQuery {
    BOOL bNeedsRefresh;  // preset TRUE
    RECT rcOld;          // host client coordinates
    RECT rcNew;
};

constexpr WPARAM RSZSUP_QUERYPROPERTIES = 101;  // lParam: ChildResizeProperties*
constexpr WPARAM RSZSUP_LIKESCLIPPING = 102;    // lParam: BOOL*, preset FALSE
constexpr WPARAM RSZSUP_NEEDSREFRESH = 103;     // lParam: RefreshQuery*

// Anchor points, as size pairs in percent of the host's client size.
constexpr SIZE ANCHOR_TOP_LEFT = {0, 0};
constexpr SIZE ANCHOR_TOP_CENTER = {50, 0};
constexpr SIZE ANCHOR_TOP_RIGHT = {100, 0};
constexpr SIZE ANCHOR_MIDDLE_LEFT = {0, 50};
constexpr SIZE ANCHOR_MIDDLE_CENTER = {50, 50};
constexpr SIZE ANCHOR_MIDDLE_RIGHT = {100, 50};
constexpr SIZE ANCHOR_BOTTOM_LEFT = {0, 100};
constexpr SIZE ANCHOR_BOTTOM_CENTER = {50, 100};
constexpr SIZE ANCHOR_BOTTOM_RIGHT = {100, 100};
// As a bottom-right anchor: the same as the top-left one (the child keeps its size).
constexpr SIZE ANCHOR_NONE = {-1, -1};

class CResizableLayout {
public:
    struct LayoutInfo {
        HWND hWnd = nullptr;
        CString sWndClass;
        SIZE sizeTypeTL = {};    // top-left anchor, percent
        SIZE sizeMarginTL = {};  // pixels from that anchor point
        SIZE sizeTypeBR = {};
        SIZE sizeMarginBR = {};
        BOOL bMsgSupport = FALSE;  // the child answered RSZSUP_QUERYPROPERTIES
        ChildResizeProperties properties = {TRUE, TRUE, FALSE, FALSE};
    };

    CResizableLayout() = default;
    CResizableLayout(const CResizableLayout&) = delete;
    CResizableLayout& operator=(const CResizableLayout&) = delete;
    virtual ~CResizableLayout() = default;

    // Registers a child where it sits now. FALSE for a handle that is not a window.
    BOOL AddAnchor(HWND hWnd, SIZE sizeTypeTL, SIZE sizeTypeBR = ANCHOR_NONE);
    BOOL AddAnchor(UINT nID, SIZE sizeTypeTL, SIZE sizeTypeBR = ANCHOR_NONE);
    // Forgets the newest entry of a child; FALSE when it has none.
    BOOL RemoveAnchor(HWND hWnd);
    void RemoveAllAnchors();
    int GetAnchorCount() const { return static_cast<int>(m_listLayout.size()); }

    // Moves and sizes every registered child for the current client size.
    void ArrangeChildren();
    // Fills the host's background except under the children that may be clipped.
    void EraseBackgroundClipped(CDC* pDC);
    // The region EraseBackgroundClipped fills; pRegion must hold no region yet.
    void BuildClipRegion(CRgn* pRegion);

protected:
    virtual void InitChildProperties(LayoutInfo& layout);
    virtual BOOL ChildLikesClipping(const LayoutInfo& layout);
    virtual BOOL ChildNeedsRefresh(const LayoutInfo& layout, const CRect& rectOld, const CRect& rectNew);
    // The rectangle in which anchors resolve: the host's client area by default.
    virtual void GetLayoutClientRect(LPRECT lpRect);
    virtual CWnd* GetLayoutWindow() = 0;

    // The child's rectangle for client rectangle rectClient (and its current one),
    // with the SetWindowPos flags that get it there.
    void ComputeChildRect(const LayoutInfo& layout, const CRect& rectClient, CRect& rectNew, CRect& rectOld,
                          UINT& uFlags);

private:
    using LayoutList = std::list<LayoutInfo>;
    std::unordered_map<HWND, LayoutList::iterator> m_mapLayout;
    LayoutList m_listLayout;
};
