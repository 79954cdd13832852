#include "widgets/FlatButton.h"

#include <algorithm>

namespace {

// The icon's size from its own bitmaps (the mask is twice as high when there is
// no colour bitmap). Both bitmaps GetIconInfo hands out are deleted here.
bool IconSize(HICON hIcon, int& cx, int& cy) {
    ICONINFO info = {};
    if (!hIcon || !::GetIconInfo(hIcon, &info))
        return false;
    CBitmap mask;
    CBitmap color;
    mask.Attach(info.hbmMask);
    color.Attach(info.hbmColor);
    BITMAP bm = {};
    if (info.hbmColor && color.GetBitmap(&bm)) {
        cx = bm.bmWidth;
        cy = bm.bmHeight;
        return true;
    }
    if (info.hbmMask && mask.GetBitmap(&bm)) {
        cx = bm.bmWidth;
        cy = bm.bmHeight / 2;
        return true;
    }
    return false;
}

bool IsCheckBoxType(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CFlatButton, CButton)
    ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSELEAVE()
    ON_WM_KILLFOCUS()
    ON_WM_ACTIVATE()
    ON_WM_ENABLE()
    ON_WM_CANCELMODE()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_GETDLGCODE()
    ON_MESSAGE(BM_SETSTYLE, OnSetStyle)
    ON_MESSAGE(BM_SETCHECK, OnSetCheck)
    ON_MESSAGE(BM_GETCHECK, OnGetCheck)
END_MESSAGE_MAP()

CFlatButton::CFlatButton() {
    ResetColors();
}

CFlatButton::~CFlatButton() {
    FreeIcons();
}

void CFlatButton::ResetColors() {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    m_crColors[COLOR_BK_IN] = face;
    m_crColors[COLOR_FG_IN] = text;
    m_crColors[COLOR_BK_OUT] = face;
    m_crColors[COLOR_FG_OUT] = text;
    m_crColors[COLOR_BK_FOCUS] = face;
    m_crColors[COLOR_FG_FOCUS] = text;
}

void CFlatButton::FreeIcons() {
    for (Icon& icon : m_icons) {
        if (icon.hIcon)
            ::DestroyIcon(icon.hIcon);
        icon = Icon();
    }
}

void CFlatButton::PreSubclassWindow() {
    const UINT style = static_cast<UINT>(::GetWindowLongW(m_hWnd, GWL_STYLE));
    m_nTypeStyle = style & 0x1F;
    if (IsCheckBoxType(style & BS_TYPEMASK))
        m_bIsCheckBox = TRUE;
    if (m_nTypeStyle == BS_DEFPUSHBUTTON) {
        m_bIsDefault = TRUE;
        m_nTypeStyle = BS_PUSHBUTTON;
    }
    ModifyStyle(0x1F, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

DWORD CFlatButton::SetIcon(HICON hIconIn, HICON hIconOut) {
    // One icon given twice is still one icon, destroyed once.
    if (hIconOut == hIconIn)
        hIconOut = nullptr;
    for (Icon& icon : m_icons) {
        if (icon.hIcon && icon.hIcon != hIconIn && icon.hIcon != hIconOut)
            ::DestroyIcon(icon.hIcon);
        icon = Icon();
    }
    m_icons[ICON_IN].hIcon = hIconIn;
    m_icons[ICON_OUT].hIcon = hIconOut;
    bool ok = true;
    for (Icon& icon : m_icons) {
        if (icon.hIcon && !IconSize(icon.hIcon, icon.cx, icon.cy))
            ok = false;
    }
    if (!ok)
        FreeIcons();
    if (m_hWnd)
        Invalidate();
    return ok ? 0 : 1;
}

DWORD CFlatButton::SetIcon(UINT nIconIn, UINT nIconOut, int cx, int cy) {
    // Loaded at their natural size, multi-size icons would come out at their largest.
    if (cx <= 0)
        cx = ::GetSystemMetrics(SM_CXSMICON);
    if (cy <= 0)
        cy = ::GetSystemMetrics(SM_CYSMICON);
    auto load = [cx, cy](UINT nID) -> HICON {
        if (!nID)
            return nullptr;
        LPCWSTR name = MAKEINTRESOURCEW(nID);
        HINSTANCE hInst = AfxFindResourceHandle(name, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        return static_cast<HICON>(::LoadImageW(hInst, name, IMAGE_ICON, cx, cy, 0));
    };
    HICON hIn = load(nIconIn);
    HICON hOut = load(nIconOut);
    if ((nIconIn && !hIn) || (nIconOut && !hOut)) {
        if (hIn)
            ::DestroyIcon(hIn);
        if (hOut)
            ::DestroyIcon(hOut);
        SetIcon(static_cast<HICON>(nullptr), static_cast<HICON>(nullptr));
        return 1;
    }
    return SetIcon(hIn, hOut);
}

void CFlatButton::OffsetColor() {
    const COLORREF c = m_crColors[COLOR_BK_IN];
    const int r = GetRValue(c);
    const int g = GetGValue(c);
    const int b = GetBValue(c);
    const int offset = std::min({100, 255 - r, 255 - g, 255 - b});
    m_crColors[COLOR_BK_IN] = RGB(r + offset, g + offset, b + offset);
    if (m_hWnd)
        Invalidate();
}

void CFlatButton::SetTooltipText(LPCWSTR lpszText, BOOL bActivate) {
    if (!lpszText || !m_hWnd)
        return;
    if (!m_ToolTip.m_hWnd) {
        if (!m_ToolTip.Create(this, 0))
            return;
        m_ToolTip.Activate(FALSE);
        m_ToolTip.SetMaxTipWidth(400);
    }
    if (m_ToolTip.GetToolCount() == 0) {
        CRect rect;
        GetClientRect(&rect);
        m_ToolTip.AddTool(this, lpszText, &rect, 1);
    }
    m_ToolTip.UpdateTipText(lpszText, this, 1);
    m_ToolTip.Activate(bActivate);
}

BOOL CFlatButton::PreTranslateMessage(MSG* pMsg) {
    if (m_ToolTip.m_hWnd)
        m_ToolTip.RelayEvent(pMsg);
    // A double click acts as two clicks.
    if (pMsg->message == WM_LBUTTONDBLCLK)
        pMsg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(pMsg);
}

// ---------------------------------------------------------------------------
// Drawing

void CFlatButton::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
    if (!lpDIS || !lpDIS->hDC)
        return;
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    m_bIsPressed = (lpDIS->itemState & ODS_SELECTED) || (m_bIsCheckBox && m_bChecked);
    m_bIsFocused = (lpDIS->itemState & ODS_FOCUS) != 0;
    m_bIsDisabled = (lpDIS->itemState & ODS_DISABLED) != 0;

    const CRect rcItem(lpDIS->rcItem);
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    OnDrawBackground(pDC, rcItem);
    OnDrawBorder(pDC, rcItem);

    CString sTitle;
    GetWindowText(sTitle);
    CRect rcCaption(rcItem);
    if (m_icons[ICON_IN].hIcon)
        DrawTheIcon(pDC, !sTitle.IsEmpty(), rcItem, rcCaption);
    if (!sTitle.IsEmpty())
        DrawTheText(pDC, sTitle, rcCaption);
    pDC->SetBkMode(oldMode);
}

void CFlatButton::OnDrawBackground(CDC* pDC, const CRect& rcItem) {
    COLORREF color = m_crColors[COLOR_BK_OUT];
    if (m_bMouseOnButton || m_bIsPressed)
        color = m_crColors[COLOR_BK_IN];
    else if (m_bIsFocused)
        color = m_crColors[COLOR_BK_FOCUS];
    pDC->FillSolidRect(&rcItem, color);
}

void CFlatButton::OnDrawBorder(CDC* pDC, const CRect& rcItem) {
    if (m_bIsPressed)
        pDC->Draw3dRect(&rcItem, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHILIGHT));
    else if (m_bMouseOnButton)
        pDC->Draw3dRect(&rcItem, ::GetSysColor(COLOR_BTNHILIGHT), ::GetSysColor(COLOR_BTNSHADOW));
}

void CFlatButton::DrawTheIcon(CDC* pDC, BOOL bHasTitle, const CRect& rcItem, CRect& rcCaption) {
    const bool bIdle = m_bIsCheckBox ? !m_bIsPressed : (!m_bIsPressed && !m_bMouseOnButton);
    const Icon& icon = (m_icons[ICON_OUT].hIcon && bIdle) ? m_icons[ICON_OUT] : m_icons[ICON_IN];

    CPoint pt(rcItem.left, rcItem.top);
    if (bHasTitle) {
        pt.x += m_ptImageOrg.x;
        rcCaption.left += m_ptImageOrg.x + icon.cx;
    } else {
        pt.x += (rcItem.Width() - icon.cx) / 2;
    }
    pt.y += (rcItem.Height() - icon.cy) / 2;
    if (m_bIsPressed && !m_bIsCheckBox)
        pt.Offset(m_ptPressedOffset);
    pDC->DrawState(pt, CSize(icon.cx, icon.cy), icon.hIcon, m_bIsDisabled ? DSS_DISABLED : DSS_NORMAL,
                   static_cast<HBRUSH>(nullptr));
}

void CFlatButton::DrawTheText(CDC* pDC, const CString& sTitle, const CRect& rcCaption) {
    CRect rcText(rcCaption);
    if (m_bIsPressed && !m_bIsCheckBox)
        rcText.OffsetRect(m_ptPressedOffset);
    // Centre the wrapped text as one block.
    const CRect rcCentre(rcText);
    pDC->DrawText(sTitle, &rcText, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    rcText.OffsetRect(rcCentre.left - rcText.left + (rcCentre.Width() - rcText.Width()) / 2,
                      rcCentre.top - rcText.top + (rcCentre.Height() - rcText.Height()) / 2);

    if (!m_bIsDisabled) {
        int fg = COLOR_FG_OUT;
        int bk = COLOR_BK_OUT;
        if (m_bMouseOnButton || m_bIsPressed) {
            fg = COLOR_FG_IN;
            bk = COLOR_BK_IN;
        } else if (m_bIsFocused) {
            fg = COLOR_FG_FOCUS;
            bk = COLOR_BK_FOCUS;
        }
        pDC->SetTextColor(m_crColors[fg]);
        pDC->SetBkColor(m_crColors[bk]);
        pDC->DrawText(sTitle, &rcText, DT_WORDBREAK | DT_CENTER);
        return;
    }
    // Embossed: a light copy one pixel down and right, the shadow on top.
    rcText.OffsetRect(1, 1);
    pDC->SetTextColor(::GetSysColor(COLOR_3DHILIGHT));
    pDC->DrawText(sTitle, &rcText, DT_WORDBREAK | DT_CENTER);
    rcText.OffsetRect(-1, -1);
    pDC->SetTextColor(::GetSysColor(COLOR_3DSHADOW));
    pDC->DrawText(sTitle, &rcText, DT_WORDBREAK | DT_CENTER);
}

// ---------------------------------------------------------------------------
// Messages

BOOL CFlatButton::OnClicked() {
    SetFocus();
    if (m_bIsCheckBox) {
        m_bChecked = !m_bChecked;
        Invalidate();
    }
    return FALSE;  // the owner gets the click as well
}

HBRUSH CFlatButton::CtlColor(CDC*, UINT) {
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CFlatButton::CancelHover() {
    if (m_bMouseOnButton) {
        m_bMouseOnButton = FALSE;
        Invalidate();
    }
}

void CFlatButton::OnMouseMove(UINT nFlags, CPoint point) {
    CButton::OnMouseMove(nFlags, point);
    ClientToScreen(&point);
    const HWND hUnder = ::WindowFromPoint(point);
    // Pressing elsewhere and sliding over does not light the button.
    if ((nFlags & MK_LBUTTON) && !m_bMouseOnButton)
        return;
    if (hUnder == m_hWnd) {
        if (m_bMouseOnButton)
            return;
        m_bMouseOnButton = TRUE;
        Invalidate();
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        ::_TrackMouseEvent(&tme);
        return;
    }
    CancelHover();
}

void CFlatButton::OnMouseLeave() {
    CButton::OnMouseLeave();
    CancelHover();
}

void CFlatButton::OnKillFocus(CWnd* pNewWnd) {
    CButton::OnKillFocus(pNewWnd);
    // Disabling a window takes its focus away before WM_ENABLE arrives.
    m_bLostFocusToDisable = !pNewWnd && !::IsWindowEnabled(m_hWnd);
    CancelHover();
}

void CFlatButton::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized) {
    CButton::OnActivate(nState, pWndOther, bMinimized);
    if (nState == WA_INACTIVE)
        CancelHover();
}

void CFlatButton::OnEnable(BOOL bEnable) {
    CButton::OnEnable(bEnable);
    if (bEnable)
        return;
    CancelHover();
    // Hand the focus on only when it was ours.
    const bool bHadFocus = ::GetFocus() == m_hWnd || m_bLostFocusToDisable;
    m_bLostFocusToDisable = false;
    if (!bHadFocus)
        return;
    HWND hParent = ::GetParent(m_hWnd);
    if (!hParent)
        return;
    HWND hNext = ::GetNextDlgTabItem(hParent, m_hWnd, FALSE);
    ::SetFocus(hNext && hNext != m_hWnd ? hNext : hParent);
}

void CFlatButton::OnCancelMode() {
    CButton::OnCancelMode();
    CancelHover();
}

void CFlatButton::OnSysColorChange() {
    CButton::OnSysColorChange();
    ResetColors();
    Invalidate();
}

UINT CFlatButton::OnGetDlgCode() {
    UINT code = CButton::OnGetDlgCode();
    code |= m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
    return code;
}

LRESULT CFlatButton::OnSetStyle(WPARAM wParam, LPARAM lParam) {
    // The dialog manager moves the default look between buttons with BM_SETSTYLE.
    const UINT type = static_cast<UINT>(wParam) & BS_TYPEMASK;
    if (type == BS_DEFPUSHBUTTON)
        m_bIsDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        m_bIsDefault = FALSE;
    return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(0x1F)) | BS_OWNERDRAW, lParam);
}

LRESULT CFlatButton::OnSetCheck(WPARAM wParam, LPARAM) {
    if (m_bIsCheckBox) {
        m_bChecked = wParam == BST_CHECKED || wParam == BST_INDETERMINATE;
        Invalidate();
    }
    return 0;
}

LRESULT CFlatButton::OnGetCheck(WPARAM, LPARAM) {
    return m_bChecked;
}
