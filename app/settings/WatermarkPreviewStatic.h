// CWatermarkPreviewStatic: the picture of the watermark options preview. Each
// UpdatePreview copies the screen around the pointer at the static's size,
// lays the watermark on it as a capture would get it, and shows the result.
#pragma once

#include "Afx.h"
#include "app/capture/ScopedGdi.h"

class COpWatermarkPropertyPage;

class CWatermarkPreviewStatic : public CStatic {
public:
    CWatermarkPreviewStatic() = default;

    // The options the picture is composed from (the page that owns the preview).
    void SetOptions(const COpWatermarkPropertyPage* options) { m_pOptions = options; }
    void UpdatePreview();
    // The composed picture (owned by the static), null before the first update.
    HBITMAP GetPicture() const { return m_picture.Get(); }

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    DECLARE_MESSAGE_MAP()

private:
    const COpWatermarkPropertyPage* m_pOptions = nullptr;
    ScopedBitmapHandle m_picture;
};
