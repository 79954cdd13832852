#include "workarea/ToolListWnd.h"

#include "resources/resource.h"

#include <algorithm>

namespace {

constexpr int kButtonWidth = 170;  // where there is room
constexpr int kButtonHeight = 30;
constexpr int kGap = 8;
// Room each side of a label: the button's edge and focus frame take about 4
// pixels (as drawn under Wine), the rest keeps the label clear of them.
constexpr int kLabelMargin = 10;
constexpr int kLineStep = kButtonHeight + kGap;

// Where the buttons go in a list `width` wide.
struct Grid {
    int perRow = 1;
    int buttonWidth = kButtonWidth;
    int width = 0;   // of the whole grid, gaps included
    int height = 0;
};

Grid GridFor(int width, int narrowest, int count) {
    Grid grid;
    grid.perRow = std::max(1, (width - kGap) / (kButtonWidth + kGap));
    // One column narrows its buttons to the list, never below the widest label.
    if (grid.perRow == 1)
        grid.buttonWidth = std::clamp(width - 2 * kGap, std::min(narrowest, kButtonWidth), kButtonWidth);
    const int rows = (count + grid.perRow - 1) / grid.perRow;
    grid.width = kGap + grid.perRow * (grid.buttonWidth + kGap);
    grid.height = kGap + rows * (kButtonHeight + kGap);
    return grid;
}

// A button's string is "label\ntooltip".
void SplitButtonText(UINT nID, CString& label, CString& tip) {
    CString text;
    text.LoadString(nID);
    const int newline = text.Find(L'\n');
    label = newline < 0 ? text : text.Left(newline);
    tip = newline < 0 ? text : text.Mid(newline + 1);
}

}  // namespace

BEGIN_MESSAGE_MAP(CToolListWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_VSCROLL()
    ON_WM_HSCROLL()
    ON_MESSAGE(WM_MOUSEWHEEL, OnMouseWheel)
    ON_COMMAND_RANGE(IDC_TOOL_FIRST, IDC_TOOL_LAST, OnToolButton)
END_MESSAGE_MAP()

static_assert(IDC_TOOL_LAST - IDC_TOOL_FIRST + 1 == CToolListWnd::kButtonCount, "one button per tool id");

CToolListWnd::~CToolListWnd() {
    if (m_hWnd)
        DestroyWindow();
}

BOOL CToolListWnd::Create(CWnd* pParentWnd, const RECT& rect, UINT nID) {
    LPCWSTR cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    if (!CWnd::Create(cls, L"", WS_CHILD | WS_CLIPCHILDREN, rect, pParentWnd, nID))
        return FALSE;
    auto* font = CFont::FromHandle(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    const bool tips = m_wndToolTip.Create(this) != FALSE;
    CClientDC dc(this);
    CScopedSelectObject selectFont(dc.m_hDC, font->m_hObject);
    for (int i = 0; i < kButtonCount; ++i) {
        const UINT id = IDC_TOOL_FIRST + i;
        CString label, tip;
        SplitButtonText(id, label, tip);
        if (!m_buttons[i].Create(label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, CRect(0, 0, 0, 0), this,
                                 id))
            return FALSE;
        m_buttons[i].SetFont(font, FALSE);
        m_nNarrowest = std::max(m_nNarrowest, static_cast<int>(dc.GetTextExtent(label).cx) + 2 * kLabelMargin);
        if (tips) {
            // The tooltip watches the button itself: no message loop has to relay to it.
            TOOLINFOW ti = {};
            ti.cbSize = TTTOOLINFOW_V2_SIZE;
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = m_hWnd;
            ti.uId = reinterpret_cast<UINT_PTR>(m_buttons[i].m_hWnd);
            ti.lpszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(tip));
            m_wndToolTip.SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
    LayoutButtons();
    return TRUE;
}

CButton* CToolListWnd::GetButton(UINT nID) {
    if (nID < IDC_TOOL_FIRST || nID > IDC_TOOL_LAST)
        return nullptr;
    CButton& button = m_buttons[nID - IDC_TOOL_FIRST];
    return button.m_hWnd ? &button : nullptr;
}

CString CToolListWnd::GetToolTipText(UINT nID) const {
    CString text;
    if (nID < IDC_TOOL_FIRST || nID > IDC_TOOL_LAST || !m_wndToolTip.m_hWnd)
        return text;
    wchar_t buffer[256] = {};
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_buttons[nID - IDC_TOOL_FIRST].m_hWnd);
    ti.lpszText = buffer;
    m_wndToolTip.SendMessage(TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&ti));
    text = buffer;
    return text;
}

int CToolListWnd::GetMinimumWidth() const {
    return 2 * kGap + std::min(m_nNarrowest, kButtonWidth) + ::GetSystemMetrics(SM_CXVSCROLL);
}

// Buttons fill rows left to right, as many per row as the width allows; a
// scroll bar comes where the rows are taller or wider than the list.
void CToolListWnd::LayoutButtons() {
    if (m_bLayingOut)
        return;
    m_bLayingOut = true;
    // The whole window: the scroll bars take their room out of it.
    CRect window;
    GetWindowRect(&window);
    const int scrollWidth = ::GetSystemMetrics(SM_CXVSCROLL), scrollHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    bool vertical = false, horizontal = false;
    Grid grid;
    // A bar that comes takes room from the other direction; a few rounds settle it.
    // A bar comes only for buttons cut off, not for the gap after the last one.
    for (int round = 0; round < 3; ++round) {
        grid = GridFor(window.Width() - (vertical ? scrollWidth : 0), m_nNarrowest, kButtonCount);
        vertical = grid.height - kGap > window.Height() - (horizontal ? scrollHeight : 0);
        horizontal = grid.width - kGap > window.Width() - (vertical ? scrollWidth : 0);
    }
    const int width = std::max(0, window.Width() - (vertical ? scrollWidth : 0));
    const int height = std::max(0, window.Height() - (horizontal ? scrollHeight : 0));
    grid = GridFor(width, m_nNarrowest, kButtonCount);
    m_scroll.x = horizontal ? std::clamp(static_cast<int>(m_scroll.x), 0, std::max(0, grid.width - width)) : 0;
    m_scroll.y = vertical ? std::clamp(static_cast<int>(m_scroll.y), 0, std::max(0, grid.height - height)) : 0;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = grid.height - 1;
    info.nPage = static_cast<UINT>(vertical ? height : grid.height);
    info.nPos = m_scroll.y;
    SetScrollInfo(SB_VERT, &info, TRUE);
    info.nMax = grid.width - 1;
    info.nPage = static_cast<UINT>(horizontal ? width : grid.width);
    info.nPos = m_scroll.x;
    SetScrollInfo(SB_HORZ, &info, TRUE);

    for (int i = 0; i < kButtonCount; ++i) {
        if (!m_buttons[i].m_hWnd)
            continue;
        const int x = kGap + (i % grid.perRow) * (grid.buttonWidth + kGap) - m_scroll.x;
        const int y = kGap + (i / grid.perRow) * (kButtonHeight + kGap) - m_scroll.y;
        m_buttons[i].MoveWindow(x, y, grid.buttonWidth, kButtonHeight, FALSE);
    }
    // The buttons were moved without a repaint: they paint at their new places too.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    m_bLayingOut = false;
}

void CToolListWnd::ScrollTo(int nBar, int pos) {
    (nBar == SB_VERT ? m_scroll.y : m_scroll.x) = pos;
    LayoutButtons();  // clamps the position and moves the buttons
}

void CToolListWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    LayoutButtons();
}

// The position a scroll-bar action asks for, before clamping.
static int ScrollTarget(HWND hWnd, int nBar, UINT nSBCode) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(hWnd, nBar, &info);
    switch (nSBCode) {
    case SB_LINEUP: return info.nPos - kLineStep;
    case SB_LINEDOWN: return info.nPos + kLineStep;
    case SB_PAGEUP: return info.nPos - static_cast<int>(info.nPage);
    case SB_PAGEDOWN: return info.nPos + static_cast<int>(info.nPage);
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return info.nTrackPos;
    case SB_TOP: return info.nMin;
    case SB_BOTTOM: return info.nMax;
    default: return info.nPos;
    }
}

void CToolListWnd::OnVScroll(UINT nSBCode, UINT, CScrollBar*) {
    ScrollTo(SB_VERT, ScrollTarget(m_hWnd, SB_VERT, nSBCode));
}

void CToolListWnd::OnHScroll(UINT nSBCode, UINT, CScrollBar*) {
    ScrollTo(SB_HORZ, ScrollTarget(m_hWnd, SB_HORZ, nSBCode));
}

LRESULT CToolListWnd::OnMouseWheel(WPARAM wParam, LPARAM) {
    // One row per notch, up for a push away.
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    ScrollTo(SB_VERT, m_scroll.y - notches * kLineStep);
    return 0;
}

void CToolListWnd::OnToolButton(UINT nID) {
    // Posted with nothing but the id, as the main dialog's loop expects it.
    if (CWnd* target = GetTopLevelParent())
        target->PostMessage(WM_COMMAND, nID, 0);
}
