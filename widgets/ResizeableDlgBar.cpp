#include "widgets/ResizeableDlgBar.h"

CSize CResizeableDlgBar::CalcDynamicLayout(int nLength, DWORD dwMode) {
    if (!(dwMode & (LM_VERTDOCK | LM_HORZDOCK))) {
        if (dwMode & LM_MRUWIDTH) {
            m_bDocked = FALSE;
            return m_sizeFloating;
        }
        if (dwMode & LM_LENGTHY) {
            m_sizeFloating.cy = nLength;
            if (m_bChangeDockedSize)
                m_sizeDocked.cy = nLength;
            return CSize(m_sizeFloating.cx, nLength);
        }
        m_sizeFloating.cx = nLength;
        if (m_bChangeDockedSize)
            m_sizeDocked.cx = nLength;
        return CSize(nLength, m_sizeFloating.cy);
    }

    m_bDocked = TRUE;
    CRect frame;
    if (CFrameWnd* pFrame = GetDockingFrame(); pFrame && pFrame->m_hWnd)
        pFrame->GetClientRect(&frame);
    if (dwMode & LM_VERTDOCK) {
        // Docked on a side: the docked width, the frame's height.
        m_bDockedVertically = TRUE;
        return CSize(m_sizeDocked.cx, frame.Height());
    }
    m_bDockedVertically = FALSE;
    if (!(dwMode & LM_STRETCH))
        return CSize(m_sizeDocked.cx, (dwMode & LM_HORZ) ? m_sizeDocked.cy : frame.Height());
    if (dwMode & LM_HORZ)
        return CSize(32767, m_sizeDocked.cy);
    return CSize(m_sizeDocked.cx, 32767);
}
