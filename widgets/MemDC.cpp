#include "widgets/MemDC.h"

CMemDC::CMemDC(CDC* pDC) : m_pDC(pDC) {
    if (!pDC || !pDC->m_hDC)
        return;
    pDC->GetClipBox(&m_rect);

    // The bitmap is sized in device units, whatever the target's mapping mode.
    CRect device(m_rect);
    pDC->LPtoDP(reinterpret_cast<LPPOINT>(&device), 2);
    device.NormalizeRect();

    if (device.Width() > 0 && device.Height() > 0 && CreateCompatibleDC(pDC) &&
        m_bitmap.CreateCompatibleBitmap(pDC, device.Width(), device.Height())) {
        m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.m_hObject);
        const int mapMode = pDC->GetMapMode();
        SetMapMode(mapMode);
        if (mapMode == MM_ISOTROPIC || mapMode == MM_ANISOTROPIC) {
            SIZE ext = {};
            ::GetWindowExtEx(pDC->m_hDC, &ext);
            ::SetWindowExtEx(m_hDC, ext.cx, ext.cy, nullptr);
            ::GetViewportExtEx(pDC->m_hDC, &ext);
            ::SetViewportExtEx(m_hDC, ext.cx, ext.cy, nullptr);
        }
        SetWindowOrg(m_rect.left, m_rect.top);
        FillSolidRect(&m_rect, pDC->GetBkColor());
        m_bBuffered = true;
        return;
    }

    // No memory for a buffer: paint straight into the target rather than nowhere.
    if (m_hDC)
        DeleteDC();
    SetBorrowed(pDC->m_hDC);
}

CMemDC::~CMemDC() {
    if (m_bBuffered) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top,
                      SRCCOPY);
        ::SelectObject(m_hDC, m_hOldBitmap);
        DeleteDC();
    }
}
