#include "workarea/WebImageWnd.h"

#include "resources/resource.h"

CWebImageWnd::CWebImageWnd() : CDialog(IDD_WEB_IMAGE) {}

CWebImageWnd::~CWebImageWnd() {
    if (m_hWnd)
        DestroyWindow();
}

BOOL CWebImageWnd::Create() {
    if (!CDialog::Create(IDD_WEB_IMAGE, nullptr))
        return FALSE;
    ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CWebImageWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

void CWebImageWnd::OnOK() {
    ShowWindow(SW_HIDE);
}

void CWebImageWnd::OnCancel() {
    ShowWindow(SW_HIDE);
}
