// CFlatButton: a flat, owner-drawn icon button.
//
// Attach it to a dialog button with DDX_Control. The face lights up with a
// raised edge under the mouse and sinks while pressed; an icon sits left of
// the caption. A check box (or auto check box, auto three-state) becomes a
// button that toggles a sunken, checked look.
#pragma once

#include "Afx.h"

class CFlatButton : public CButton {
public:
    CFlatButton();
    ~CFlatButton() override;

    enum ColorIndex {
        COLOR_BK_IN,     // background under the mouse or pressed
        COLOR_FG_IN,     // text under the mouse or pressed
        COLOR_BK_OUT,    // background idle
        COLOR_FG_OUT,    // text idle
        COLOR_BK_FOCUS,  // background with the focus
        COLOR_FG_FOCUS,  // text with the focus
        COLOR_COUNT
    };

    // Takes ownership of both icons (the out icon is the idle look; without it
    // the in icon shows in every look). Returns 0, or 1 when an icon is not
    // usable, in which case the button is left without icons.
    DWORD SetIcon(HICON hIconIn, HICON hIconOut = nullptr);
    // Loads the icons from the resources at the given size (0: the small-icon size).
    DWORD SetIcon(UINT nIconIn, UINT nIconOut = 0, int cx = 0, int cy = 0);
    // Brightens the under-the-mouse background.
    void OffsetColor();
    // Creates the tooltip on first use; a null text changes nothing.
    void SetTooltipText(LPCWSTR lpszText, BOOL bActivate = TRUE);

    BOOL GetCheck() const { return m_bChecked; }
    BOOL IsCheckBox() const { return m_bIsCheckBox; }
    BOOL IsDefault() const { return m_bIsDefault; }

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    void PreSubclassWindow() override;

    virtual void OnDrawBackground(CDC* pDC, const CRect& rcItem);
    virtual void OnDrawBorder(CDC* pDC, const CRect& rcItem);
    virtual void DrawTheIcon(CDC* pDC, BOOL bHasTitle, const CRect& rcItem, CRect& rcCaption);
    virtual void DrawTheText(CDC* pDC, const CString& sTitle, const CRect& rcCaption);

    afx_msg BOOL OnClicked();
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnMouseLeave();
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    afx_msg void OnEnable(BOOL bEnable);
    afx_msg void OnCancelMode();
    afx_msg void OnSysColorChange();
    afx_msg UINT OnGetDlgCode();
    afx_msg LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

    struct Icon {
        HICON hIcon = nullptr;
        int cx = 0;
        int cy = 0;
    };
    enum { ICON_IN, ICON_OUT };

    CPoint m_ptImageOrg{3, 3};
    CPoint m_ptPressedOffset{1, 1};
    BOOL m_bMouseOnButton = FALSE;
    BOOL m_bIsPressed = FALSE;
    BOOL m_bIsFocused = FALSE;
    BOOL m_bIsDisabled = FALSE;
    BOOL m_bIsDefault = FALSE;
    BOOL m_bIsCheckBox = FALSE;
    COLORREF m_crColors[COLOR_COUNT] = {};
    CToolTipCtrl m_ToolTip;
    BOOL m_bChecked = FALSE;
    UINT m_nTypeStyle = 0x1F;
    Icon m_icons[2];

private:
    void ResetColors();
    void CancelHover();
    void FreeIcons();
    bool m_bLostFocusToDisable = false;
};
