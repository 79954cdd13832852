#include "widgets/SkinDialog.h"

CSkinDialog::SetLayeredWindowAttributesFn CSkinDialog::s_pfnSetLayeredWindowAttributes = nullptr;

BEGIN_MESSAGE_MAP(CSkinDialog, CDialog)
    ON_WM_LBUTTONDOWN()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
END_MESSAGE_MAP()

CSkinDialog::CSkinDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {
    HMODULE hUser = ::GetModuleHandleW(L"USER32.DLL");
    s_pfnSetLayeredWindowAttributes = hUser ? reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(
                                                  ::GetProcAddress(hUser, "SetLayeredWindowAttributes")))
                                            : nullptr;
}

CSkinDialog::~CSkinDialog() {
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
}

BOOL CSkinDialog::SetBitmap(HBITMAP hBitmap) {
    BITMAP bm = {};
    if (hBitmap && (::GetObjectType(hBitmap) != OBJ_BITMAP || !::GetObjectW(hBitmap, sizeof(bm), &bm)))
        return FALSE;
    if (m_hBitmap && m_hBitmap != hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = hBitmap;
    m_nBitmapWidth = hBitmap ? bm.bmWidth : 0;
    m_nBitmapHeight = hBitmap ? bm.bmHeight : 0;
    if (::IsWindow(m_hWnd))
        Invalidate(TRUE);
    return TRUE;
}

BOOL CSkinDialog::SetLayeredAttributes(COLORREF crKey, BYTE bAlpha, DWORD dwFlags) {
    if (!s_pfnSetLayeredWindowAttributes || !m_hWnd)
        return FALSE;
    ModifyStyleEx(0, WS_EX_LAYERED);
    return s_pfnSetLayeredWindowAttributes(m_hWnd, crKey, bAlpha, dwFlags);
}

BOOL CSkinDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

void CSkinDialog::OnLButtonDown(UINT nFlags, CPoint point) {
    if (m_bDragAnywhere) {
        // Let the system move the window as if its caption had been pressed.
        ClientToScreen(&point);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    }
    CDialog::OnLButtonDown(nFlags, point);
}

BOOL CSkinDialog::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CDialog::OnEraseBkgnd(pDC);
    if (!m_hBitmap || !pDC)
        return result;

    CDC mem;
    if (!mem.CreateCompatibleDC(pDC))
        return result;
    CScopedSelectObject selected(mem.m_hDC, m_hBitmap);
    CRect client;
    GetClientRect(&client);
    const int W = client.Width();
    const int H = client.Height();
    const int bw = m_nBitmapWidth;
    const int bh = m_nBitmapHeight;

    switch (m_nBackgroundStyle) {
    case BACKGROUND_TOPLEFT:
    case BACKGROUND_TOPLEFT_2:
        pDC->BitBlt(0, 0, bw, bh, &mem, 0, 0, SRCCOPY);
        break;
    case BACKGROUND_TILE:
        if (bw > 0 && bh > 0) {
            for (int y = 0; y < H; y += bh) {
                for (int x = 0; x < W; x += bw)
                    pDC->BitBlt(x, y, bw, bh, &mem, 0, 0, SRCCOPY);
            }
        }
        break;
    case BACKGROUND_CENTER:
        // Signed halves: a bitmap larger than the window is centred and cut.
        pDC->BitBlt((W - bw) / 2, (H - bh) / 2, bw, bh, &mem, 0, 0, SRCCOPY);
        break;
    case BACKGROUND_STRETCH:
        pDC->StretchBlt(0, 0, W, H, &mem, 0, 0, bw, bh, SRCCOPY);
        break;
    default:
        break;
    }
    return result;
}

void CSkinDialog::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    // Tiled, centred and stretched backgrounds depend on the size.
    if (m_hBitmap)
        Invalidate(TRUE);
}
