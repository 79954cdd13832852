#include "app/settings/OpTreeWnd.h"

#include "resources/resource.h"

COpTreeWnd::COpTreeWnd() : CResizableDialog(IDD) {
    m_images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 1);
    for (UINT icon : {IDI_OPTIONS_FILE, IDI_OPTIONS_WATERMARK, IDI_OPTIONS_MISC}) {
        HICON h = static_cast<HICON>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(icon), IMAGE_ICON, 16, 16, 0));
        if (h) {
            m_images.Add(h);
            ::DestroyIcon(h);  // the image list keeps its own copy
        }
    }
}
