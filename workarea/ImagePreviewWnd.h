// One image tab of the work area: the image at 1:1, scrolled when larger than
// the pane. The pane owns its image (a copy of what it was opened from).
#pragma once

#include "Afx.h"
#include "View.h"
#include "image/DibImage.h"

class CImagePreviewWnd : public CScrollView {
public:
    CImagePreviewWnd() = default;
    ~CImagePreviewWnd() override;

    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);
    // Takes the picture over and sizes the scroll range to it.
    void SetImage(CDibImage& image);
    CDibImage& GetImage() { return m_image; }

protected:
    void OnDraw(CDC* pDC) override;
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    CDibImage m_image;
};
