// The work area's first tab: one button for each capture and tool command.
// A click posts WM_COMMAND with the button's id (5000 to 5010) to the main
// dialog, whose message loop turns it into the command itself; a BN_CLICKED
// notification is sent, not posted, and would never pass that loop.
// Where the buttons do not fit, the list scrolls, so every one stays in reach.
#pragma once

#include "Afx.h"

#include <array>

class CToolListWnd : public CWnd {
public:
    static constexpr int kButtonCount = 11;

    CToolListWnd() = default;
    ~CToolListWnd() override;

    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);
    CButton* GetButton(UINT nID);
    // The tooltip text of a button (after the "\n" of its string).
    CString GetToolTipText(UINT nID) const;
    // The narrowest width that shows every label whole beside a vertical
    // scroll bar; narrower, the list also scrolls sideways.
    int GetMinimumWidth() const;

protected:
    void LayoutButtons();
    void ScrollTo(int nBar, int pos);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
    afx_msg void OnToolButton(UINT nID);
    DECLARE_MESSAGE_MAP()

private:
    std::array<CButton, kButtonCount> m_buttons;
    CToolTipCtrl m_wndToolTip;
    int m_nNarrowest = 0;  // button width that still shows the widest label
    CPoint m_scroll;       // how far the buttons are scrolled
    bool m_bLayingOut = false;
};
