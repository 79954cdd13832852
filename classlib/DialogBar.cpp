#include "DialogBar.h"

#include "WinApp.h"

#include <cstring>
#include <vector>

CDialogBar::~CDialogBar() {
    if (m_hWnd)
        DestroyWindow();
}

INT_PTR CALLBACK CDialogBar::BarDlgProc(HWND, UINT message, WPARAM, LPARAM) {
    // Everything reaches the object's window procedure first; let the dialog
    // manager set the focus at creation.
    return message == WM_INITDIALOG;
}

BOOL CDialogBar::Create(CWnd* pParentWnd, UINT nIDTemplate, UINT nStyle, UINT nID) {
    return Create(pParentWnd, MAKEINTRESOURCEW(nIDTemplate), nStyle, nID);
}

BOOL CDialogBar::Create(CWnd* pParentWnd, LPCWSTR lpszTemplateName, UINT nStyle, UINT nID) {
    if (m_hWnd || !lpszTemplateName || !pParentWnd || !pParentWnd->m_hWnd)
        return FALSE;
    const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);  // RT_DIALOG
    HINSTANCE hInst = AfxFindResourceHandle(lpszTemplateName, kDialogType);
    HRSRC hRes = ::FindResourceW(hInst, lpszTemplateName, kDialogType);
    HGLOBAL hRaw = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const auto* pRaw = hRaw ? static_cast<const BYTE*>(::LockResource(hRaw)) : nullptr;
    const DWORD cbRaw = hRes ? ::SizeofResource(hInst, hRes) : 0;
    if (!pRaw || cbRaw < sizeof(DLGTEMPLATE))
        return FALSE;

    // A bar is a hidden child until laid out, whatever the template says.
    std::vector<BYTE> tmpl(pRaw, pRaw + cbRaw);
    const bool bExtended = cbRaw >= 16 && reinterpret_cast<const WORD*>(pRaw)[0] == 1 &&
                           reinterpret_cast<const WORD*>(pRaw)[1] == 0xFFFF;
    const size_t styleOffset = bExtended ? 12 : 0;
    DWORD style = 0;
    std::memcpy(&style, tmpl.data() + styleOffset, sizeof(style));
    style &= ~static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                 WS_MAXIMIZEBOX | DS_MODALFRAME | WS_VISIBLE | WS_DISABLED);
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    std::memcpy(tmpl.data() + styleOffset, &style, sizeof(style));

    m_dwStyle = nStyle & CBRS_ALL;
    HookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamW(hInst, reinterpret_cast<LPCDLGTEMPLATE>(tmpl.data()),
                                             pParentWnd->m_hWnd, &CDialogBar::BarDlgProc, 0);
    if (!UnhookWindowCreate())
        PostNcDestroy();
    if (!hWnd)
        return FALSE;

    CRect rect;
    GetWindowRect(&rect);
    m_sizeDefault = rect.Size();
    SetDlgCtrlID(static_cast<int>(nID));
    UpdateData(FALSE);
    if (nStyle & WS_VISIBLE)
        ShowWindow(SW_SHOWNA);
    return TRUE;
}

CSize CDialogBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    if (bStretch)
        return bHorz ? CSize(32767, m_sizeDefault.cy) : CSize(m_sizeDefault.cx, 32767);
    return m_sizeDefault;
}

BOOL CDialogBar::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CControlBar::OnCommand(wParam, lParam))
        return TRUE;
    // Not ours: the owner chain decides (frame, then the frame's parent).
    for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
        if (CWnd* pWnd = CWnd::FromHandlePermanent(h)) {
            const int nCode = lParam ? HIWORD(wParam) : CN_COMMAND;
            if (pWnd->OnCmdMsg(LOWORD(wParam), nCode, nullptr, nullptr))
                return TRUE;
        }
        if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}
