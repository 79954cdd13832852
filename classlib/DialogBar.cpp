#include "DialogBar.h"

#include "Dialog.h"
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
    HINSTANCE hInst = nullptr;
    std::vector<BYTE> tmpl = AfxLoadDialogTemplate(lpszTemplateName, &hInst);
    if (tmpl.empty())
        return FALSE;
    // A bar is a hidden child until laid out, whatever the template says.
    AfxMakeChildTemplate(tmpl, WS_CLIPSIBLINGS);

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
