#include "widgets/ResizableMinMax.h"

void CResizableMinMax::SetMinTrackSize(const CSize& size) {
    m_ptMinTrackSize.x = size.cx;
    m_ptMinTrackSize.y = size.cy;
    m_bUseMinTrack = TRUE;
}

void CResizableMinMax::MinMaxInfo(LPMINMAXINFO lpMMI) const {
    if (lpMMI && m_bUseMinTrack)
        lpMMI->ptMinTrackSize = m_ptMinTrackSize;
}
