#include "app/settings/OpTreeWnd.h"

#include "app/settings/OptionsPropertySheet.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(COpTreeWnd, CResizableDialog)
    ON_NOTIFY(NM_CLICK, IDC_OPTIONS_TREE, OnClick)
    ON_NOTIFY(TVN_SELCHANGEDW, IDC_OPTIONS_TREE, OnSelChanged)
END_MESSAGE_MAP()

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

void COpTreeWnd::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OPTIONS_TREE, m_wndTree);
}

BOOL COpTreeWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    m_wndTree.SetImageList(&m_images, TVSIL_NORMAL);
    static const wchar_t* const kTexts[kPageCount] = {L"파일설정", L"워터마크 설정", L"기타 설정"};
    for (int page = 0; page < kPageCount; ++page)
        m_items[page] = m_wndTree.InsertItem(kTexts[page], page, page, TVI_ROOT, TVI_LAST);
    m_wndTree.SetIndent(20);
    m_wndTree.ModifyStyle(0, TVS_TRACKSELECT | TVS_FULLROWSELECT);
    AddAnchor(m_wndTree.m_hWnd, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    Armed = true;
    return TRUE;
}

void COpTreeWnd::OnClick(NMHDR*, LRESULT* pResult) {
    Armed = true;
    *pResult = 0;
}

void COpTreeWnd::OnSelChanged(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    if (!Armed)
        return;
    Armed = false;
    HTREEITEM caret = m_wndTree.GetSelectedItem();
    int image = 0, selectedImage = 0;
    if (!caret || !m_wndTree.GetItemImage(caret, image, selectedImage))
        return;
    if (auto* sheet = dynamic_cast<COptionsPropertySheet*>(FromHandlePermanent(::GetParent(m_hWnd))))
        sheet->SelectPage(image, m_wndTree.GetItemText(caret));
}
