// CDrawStaticCheckWnd: one switch of the quick options bar. An owner-painted
// static with a 16 x 16 icon, a text and a tooltip; every click toggles it and
// performs its role: an option switch is stored in its option object and
// written to the settings file at once, a link opens the home page, the tray
// switch sends the main window to the notification area.
#pragma once

#include "Afx.h"

#include <memory>

class COpContinuePage;
class COpFilePropertyPage;
class COpWatermarkPropertyPage;

// The option objects and the settings file the switches write into; a switch
// whose object is missing only changes its look.
struct QuickOptionTargets {
    COpFilePropertyPage* file = nullptr;
    COpWatermarkPropertyPage* watermark = nullptr;
    COpContinuePage* misc = nullptr;
    CString settingsPath;
};

class CDrawStaticCheckWnd : public CStatic {
public:
    enum Role {
        kMouseCursor = 0,     // MISC MouseCursor
        kEditAfterCapture,    // FILE EditedChecked
        kWatermark,           // WATERMARK WaterMark
        kKeepEffect,          // MISC KeepEffect
        kHomePage,
        kVersionCheck,
        kToTray,
    };
    static constexpr COLORREF kOffTextColor = RGB(0, 128, 255);
    static constexpr COLORREF kOnTextColor = RGB(0, 0, 255);

    CDrawStaticCheckWnd() = default;
    ~CDrawStaticCheckWnd() override;

    void SetTargets(const QuickOptionTargets* pTargets) { m_pTargets = pTargets; }
    // Turns the static into a switch: icons from the resources, the parent's
    // font (underlined or not), a tooltip with the text.
    void Init(int nRole, const CString& strText, UINT nOffIcon, UINT nOnIcon, BOOL bUnderline);
    // Sets the state and performs the role's action, then repaints.
    void ApplyRole(BOOL bState);
    // Only the look: the tray switch is cleared this way when the window comes back.
    void SetLook(BOOL bState);
    BOOL IsOn() const { return m_bOn; }
    int GetRole() const { return m_nRole; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnMouseLeave();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    void WriteSwitch(const wchar_t* section, const wchar_t* key, int& field, int value);
    static void OpenAddress(const CString& address);

    HICON m_hOffIcon = nullptr;
    HICON m_hOnIcon = nullptr;
    CFont m_font;
    BOOL m_bOn = FALSE;
    BOOL m_bMouseOver = FALSE;
    CString m_strText;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    int m_nRole = kMouseCursor;
    const QuickOptionTargets* m_pTargets = nullptr;
};
