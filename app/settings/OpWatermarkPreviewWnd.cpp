#include "app/settings/OpWatermarkPreviewWnd.h"

#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(COpWatermarkPreviewWnd, CResizableDialog)
    ON_WM_TIMER()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

COpWatermarkPreviewWnd::COpWatermarkPreviewWnd(COpWatermarkPropertyPage& page) : CResizableDialog(IDD), m_page(page) {
    m_preview.SetOptions(&page);
}

void COpWatermarkPreviewWnd::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_WATERMARK_PREVIEW_VIEW, m_preview);
}

BOOL COpWatermarkPreviewWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    AddAnchor(IDC_WATERMARK_PREVIEW_VIEW, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    return TRUE;
}

void COpWatermarkPreviewWnd::OnTimer(UINT_PTR nIDEvent) {
    m_preview.UpdatePreview();
    CResizableDialog::OnTimer(nIDEvent);
}

BOOL COpWatermarkPreviewWnd::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    if (m_page.PickColor) {
        ::SetCursor(::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_SPOIDE_CURSOR)));
        return TRUE;
    }
    return CResizableDialog::OnSetCursor(pWnd, nHitTest, message);
}

void COpWatermarkPreviewWnd::OnMouseMove(UINT nFlags, CPoint point) {
    if (m_page.PickColor) {
        if (HDC dc = ::GetDC(m_hWnd)) {
            const COLORREF colour = ::GetPixel(dc, point.x, point.y);
            ::ReleaseDC(m_hWnd, dc);
            if (colour != CLR_INVALID)
                m_page.SetPickedColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
        }
    }
    CResizableDialog::OnMouseMove(nFlags, point);
}

void COpWatermarkPreviewWnd::OnLButtonDown(UINT nFlags, CPoint point) {
    m_page.EndColorPick();
    CResizableDialog::OnLButtonDown(nFlags, point);
}

void COpWatermarkPreviewWnd::OnOK() {
    // Enter hides the window like Esc; the screen copies must stop with it.
    OnCancel();
}

void COpWatermarkPreviewWnd::OnCancel() {
    KillTimer(kRefreshTimer);
    CResizableDialog::OnCancel();
}
