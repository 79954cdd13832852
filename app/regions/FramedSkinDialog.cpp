#include "app/regions/FramedSkinDialog.h"

#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CFramedSkinDialog, CSkinDialog)
    ON_WM_CREATE()
    ON_WM_NCPAINT()
    ON_WM_NCACTIVATE()
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
END_MESSAGE_MAP()

void CFramedSkinDialog::SetUpSkin(COLORREF crKey, BYTE bAlpha) {
    SetUpFrame();
    EnableDrag(TRUE);
    SetBitmap(static_cast<HBITMAP>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDB_REGION_VIEW_BACKGROUND),
                                                IMAGE_BITMAP, 0, 0, 0)));
    SetBackgroundStyle(BACKGROUND_STRETCH);
    SetLayeredAttributes(crKey, bAlpha, LWA_COLORKEY | LWA_ALPHA);
}

int CFramedSkinDialog::SystemCaptionHeight() {
    return ::GetSystemMetrics(SM_CYSMCAPTION) + 2 * (::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYBORDER));
}

void CFramedSkinDialog::CreateMainFont(CFont& font, LONG weight) {
    HFONT base = nullptr;
    if (CWnd* pMain = AfxGetMainWnd())
        base = reinterpret_cast<HFONT>(pMain->SendMessage(WM_GETFONT));
    if (!base)
        base = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf = {};
    ::GetObjectW(base, sizeof(lf), &lf);
    lf.lfHeight = 14;
    lf.lfWidth = 0;
    lf.lfWeight = weight;
    font.DeleteObject();
    font.CreateFontIndirect(&lf);
}

int CFramedSkinDialog::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    const int result = CSkinDialog::OnCreate(lpCreateStruct);
    if (result != -1)
        SetUpFrame();
    return result;
}

void CFramedSkinDialog::OnNcPaint() { PaintFrame(); }

BOOL CFramedSkinDialog::OnNcActivate(BOOL bActive) {
    const BOOL result = CSkinDialog::OnNcActivate(bActive);
    PaintFrame();
    return result;
}

BOOL CFramedSkinDialog::OnEraseBkgnd(CDC* pDC) {
    CSkinDialog::OnEraseBkgnd(pDC);
    PaintFrame();
    return TRUE;
}

void CFramedSkinDialog::OnPaint() {
    {
        CPaintDC dc(this);
    }
    PaintFrame();
}
