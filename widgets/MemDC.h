// CMemDC: a double-buffer device context for flicker-free painting.
//
// Construct it over the DC to paint into and draw into it with that DC's
// coordinates; the destructor copies the result back in one BitBlt.
#pragma once

#include "Afx.h"

class CMemDC : public CDC {
public:
    explicit CMemDC(CDC* pDC);
    ~CMemDC() override;

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // The area being painted, in the target's logical coordinates.
    const CRect& GetPaintRect() const { return m_rect; }
    // FALSE when no memory bitmap could be made and drawing goes straight to the target.
    bool IsBuffered() const { return m_bBuffered; }

protected:
    CDC* m_pDC = nullptr;
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    CRect m_rect;
    bool m_bBuffered = false;
};
