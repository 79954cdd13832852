#include "workarea/ToolListWnd.h"

#include "resources/resource.h"

#include <algorithm>

namespace {

constexpr int kButtonWidth = 170;
constexpr int kButtonHeight = 30;
constexpr int kGap = 8;

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
    for (int i = 0; i < kButtonCount; ++i) {
        const UINT id = IDC_TOOL_FIRST + i;
        CString label, tip;
        SplitButtonText(id, label, tip);
        if (!m_buttons[i].Create(label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, CRect(0, 0, 0, 0), this,
                                 id))
            return FALSE;
        m_buttons[i].SetFont(font, FALSE);
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

// Buttons fill rows left to right, as many per row as the width allows.
void CToolListWnd::LayoutButtons() {
    CRect client;
    GetClientRect(&client);
    const int perRow = std::max(1, static_cast<int>((client.Width() - kGap) / (kButtonWidth + kGap)));
    for (int i = 0; i < kButtonCount; ++i) {
        if (!m_buttons[i].m_hWnd)
            continue;
        const int x = kGap + (i % perRow) * (kButtonWidth + kGap);
        const int y = kGap + (i / perRow) * (kButtonHeight + kGap);
        m_buttons[i].MoveWindow(x, y, kButtonWidth, kButtonHeight, FALSE);
    }
    // The buttons were moved without a repaint: they paint at their new places too.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CToolListWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    LayoutButtons();
}

void CToolListWnd::OnToolButton(UINT nID) {
    // Posted with nothing but the id, as the main dialog's loop expects it.
    if (CWnd* target = GetTopLevelParent())
        target->PostMessage(WM_COMMAND, nID, 0);
}
