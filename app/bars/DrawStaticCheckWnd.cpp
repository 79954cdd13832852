#include "app/bars/DrawStaticCheckWnd.h"

#include "app/AppMessages.h"
#include "app/AppStrings.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "resources/resource.h"

#include <shellapi.h>

namespace {

constexpr int kIconSize = 16;
constexpr int kTextIndent = 20;

HICON LoadIconResource(UINT nID) {
    LPCWSTR name = MAKEINTRESOURCEW(nID);
    HINSTANCE hInst = AfxFindResourceHandle(name, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    return static_cast<HICON>(::LoadImageW(hInst, name, IMAGE_ICON, 0, 0, 0));
}

}  // namespace

BEGIN_MESSAGE_MAP(CDrawStaticCheckWnd, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSELEAVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

CDrawStaticCheckWnd::~CDrawStaticCheckWnd() {
    if (m_pToolTip && m_pToolTip->m_hWnd)
        m_pToolTip->DestroyWindow();
    if (m_hOffIcon)
        ::DestroyIcon(m_hOffIcon);
    if (m_hOnIcon)
        ::DestroyIcon(m_hOnIcon);
}

void CDrawStaticCheckWnd::Init(int nRole, const CString& strText, UINT nOffIcon, UINT nOnIcon, BOOL bUnderline) {
    ModifyStyle(0, SS_NOTIFY);
    m_nRole = nRole;
    m_strText = strText;
    if (!m_hOffIcon)
        m_hOffIcon = LoadIconResource(nOffIcon);
    if (!m_hOnIcon)
        m_hOnIcon = LoadIconResource(nOnIcon);

    LOGFONTW lf = {};
    CWnd* pParent = GetParent();
    HFONT hParentFont = pParent ? reinterpret_cast<HFONT>(pParent->SendMessage(WM_GETFONT)) : nullptr;
    if (!hParentFont)
        hParentFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (::GetObjectW(hParentFont, sizeof lf, &lf)) {
        lf.lfUnderline = bUnderline ? TRUE : FALSE;
        m_font.DeleteObject();
        m_font.CreateFontIndirect(&lf);
    }

    if (!m_pToolTip) {
        auto tip = std::make_unique<CToolTipCtrl>();
        if (tip->Create(this)) {
            CRect client;
            GetClientRect(&client);
            tip->AddTool(this, m_strText, &client, 1);
            m_pToolTip = std::move(tip);
        }
    }
}

void CDrawStaticCheckWnd::WriteSwitch(const wchar_t* section, const wchar_t* key, int& field, int value) {
    field = value;
    if (!m_pTargets->settingsPath.IsEmpty())
        profile::WriteValue(section, key, value, m_pTargets->settingsPath);
}

void CDrawStaticCheckWnd::OpenAddress(const CString& address) {
    ::ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOW);
}

void CDrawStaticCheckWnd::ApplyRole(BOOL bState) {
    m_bOn = bState ? TRUE : FALSE;
    const int value = m_bOn ? 1 : 0;
    switch (m_nRole) {
    case kMouseCursor:
        if (m_pTargets && m_pTargets->misc)
            WriteSwitch(profile::kMiscSection, L"MouseCursor", m_pTargets->misc->MouseCursor, value);
        break;
    case kEditAfterCapture:
        if (m_pTargets && m_pTargets->file)
            WriteSwitch(profile::kFileSection, L"EditedChecked", m_pTargets->file->EditedChecked, value);
        break;
    case kWatermark:
        if (m_pTargets && m_pTargets->watermark)
            WriteSwitch(profile::kWatermarkSection, L"WaterMark", m_pTargets->watermark->WaterMark, value);
        break;
    case kKeepEffect:
        if (m_pTargets && m_pTargets->misc)
            WriteSwitch(profile::kMiscSection, L"KeepEffect", m_pTargets->misc->KeepEffect, value);
        break;
    case kHomePage:
        OpenAddress(LoadResString(IDC_QUICK_HOMEPAGE));
        break;
    case kVersionCheck:
        OpenAddress(LoadResString(IDC_QUICK_HOMEPAGE) + L"/version.html");
        break;
    case kToTray:
        // Switching it off must not send the window away again.
        if (m_bOn && m_hWnd)
            ::PostMessageW(::GetAncestor(m_hWnd, GA_ROOT), WM_GO_TRAY, 0, 0);
        break;
    }
    if (m_hWnd)
        Invalidate();
}

void CDrawStaticCheckWnd::SetLook(BOOL bState) {
    m_bOn = bState ? TRUE : FALSE;
    if (m_hWnd)
        Invalidate();
}

BOOL CDrawStaticCheckWnd::PreTranslateMessage(MSG* pMsg) {
    if (m_pToolTip && m_pToolTip->m_hWnd)
        m_pToolTip->RelayEvent(pMsg);
    return CStatic::PreTranslateMessage(pMsg);
}

BOOL CDrawStaticCheckWnd::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CStatic::OnEraseBkgnd(pDC);
    if (!pDC || !m_hOffIcon || !m_hOnIcon)
        return result;
    CRect r;
    GetClientRect(&r);
    // The static's class has no background of its own: the bar's face shows.
    ::FillRect(pDC->m_hDC, &r, ::GetSysColorBrush(COLOR_BTNFACE));

    const bool lit = m_bOn || m_bMouseOver;
    ::DrawStateW(pDC->m_hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(lit ? m_hOnIcon : m_hOffIcon), 0, r.left,
                 r.top, kIconSize, kIconSize, DST_ICON);
    CRect text(r);
    text.left += kTextIndent;
    const COLORREF oldColor = pDC->SetTextColor(lit ? kOnTextColor : kOffTextColor);
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    {
        CScopedSelectObject font(pDC->m_hDC, m_font.m_hObject);
        pDC->DrawText(m_strText, &text, DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS);
    }
    pDC->SetBkMode(oldMode);
    pDC->SetTextColor(oldColor);
    // The static's own painting must not cover what is drawn here.
    pDC->ExcludeClipRect(&r);
    return TRUE;
}

void CDrawStaticCheckWnd::OnMouseMove(UINT nFlags, CPoint point) {
    if (!m_bMouseOver) {
        m_bMouseOver = TRUE;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
        Invalidate();
    }
    CStatic::OnMouseMove(nFlags, point);
}

void CDrawStaticCheckWnd::OnMouseLeave() {
    m_bMouseOver = FALSE;
    Invalidate();
}

void CDrawStaticCheckWnd::OnLButtonDown(UINT nFlags, CPoint point) {
    ApplyRole(!m_bOn);
    CStatic::OnLButtonDown(nFlags, point);
}

void CDrawStaticCheckWnd::OnLButtonDblClk(UINT nFlags, CPoint point) {
    // The static's class turns a quick second click into a double click; it is a click all the same.
    ApplyRole(!m_bOn);
    CStatic::OnLButtonDblClk(nFlags, point);
}
