// The work area's first tab: one button for each capture and tool command.
// A click posts WM_COMMAND with the button's id (5000 to 5010) to the main
// dialog, whose message loop turns it into the command itself; a BN_CLICKED
// notification is sent, not posted, and would never pass that loop.
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

protected:
    void LayoutButtons();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnToolButton(UINT nID);
    DECLARE_MESSAGE_MAP()

private:
    std::array<CButton, kButtonCount> m_buttons;
    CToolTipCtrl m_wndToolTip;
};
