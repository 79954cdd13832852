// The options sheet's navigation tree. The object lives for the whole run
// with its image list; its window is made by each sheet that shows it.
#pragma once

#include "widgets/ResizableDialog.h"

class COpTreeWnd : public CResizableDialog {
public:
    enum { IDD = 226 };
    COpTreeWnd();

    CImageList& Images() { return m_images; }

private:
    CImageList m_images;  // icons of the FILE, WATERMARK and MISC pages
};
