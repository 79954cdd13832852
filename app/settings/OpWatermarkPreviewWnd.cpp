#include "app/settings/OpWatermarkPreviewWnd.h"

#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"

#include <algorithm>

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

namespace {

// As much of the span from start as fits lies between low and high.
int ClampInto(int start, int length, int low, int high) { return std::max(low, std::min(start, high - length)); }

}  // namespace

PreviewPlacement PreviewBesideSheet(const CRect& sheet, const CSize& preview, int minimumWidth, const CRect& work) {
    PreviewPlacement place;
    auto at = [&](int x, int y, int width) {
        place.preview = CRect(CPoint(x, y), CSize(width, preview.cy));
        return place;
    };
    const int rightRoom = work.right - sheet.right;
    const int leftRoom = sheet.left - work.left;
    const int top = ClampInto(sheet.top, preview.cy, work.top, work.bottom);
    if (preview.cx <= rightRoom)
        return at(sheet.right, top, preview.cx);
    if (preview.cx <= leftRoom)
        return at(sheet.left - preview.cx, top, preview.cx);
    if (sheet.Width() + preview.cx <= work.Width()) {
        const int shift = rightRoom >= leftRoom ? rightRoom - preview.cx : preview.cx - leftRoom;
        place.sheetShift = shift;
        return at(shift < 0 ? sheet.right + shift : sheet.left + shift - preview.cx, top, preview.cx);
    }
    const int left = ClampInto(sheet.left, preview.cx, work.left, work.right);
    if (preview.cy <= work.bottom - sheet.bottom)
        return at(left, sheet.bottom, preview.cx);
    if (preview.cy <= sheet.top - work.top)
        return at(left, sheet.top - preview.cy, preview.cx);
    // The room at the wider side, though never less than the least width: a
    // sheet as wide as the work area leaves none, and the preview lies over it.
    const int width = std::max(std::max(rightRoom, leftRoom), std::min<int>(minimumWidth, preview.cx));
    const int x = rightRoom >= leftRoom ? sheet.right : sheet.left - width;
    return at(ClampInto(x, width, work.left, work.right), top, width);
}
