#include "Gdi.h"

#include "ThreadState.h"
#include "WinApp.h"
#include "Wnd.h"

#include <memory>

using afx_detail::GetThreadState;

namespace {

void ReleaseTempGdi(CObject* p) {
    static_cast<CGdiObject*>(p)->Detach();
}

void ReleaseTempDC(CObject* p) {
    static_cast<CDC*>(p)->Detach();
}

HDC SafeDC(const CDC* pDC) {
    return pDC ? pDC->m_hDC : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// CGdiObject

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnonnull-compare"
#pragma GCC diagnostic ignored "-Waddress"
HGDIOBJ CGdiObject::GetSafeHandle() const {
    return this == nullptr ? nullptr : m_hObject;
}

HDC CDC::GetSafeHdc() const {
    return this == nullptr ? nullptr : m_hDC;
}
#pragma GCC diagnostic pop

CGdiObject::~CGdiObject() {
    Release();
}

void CGdiObject::Release() {
    if (m_hObject && m_bOwned)
        ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    m_bOwned = false;
}

template <class T>
T* CGdiObject::TypedFromHandle(HGDIOBJ h) {
    if (!h)
        return nullptr;
    auto& ts = GetThreadState();
    if (T* p = ts.FindTemp<T>(h))
        return p;
    auto obj = std::make_unique<T>();
    obj->m_hObject = h;  // borrowed
    return ts.AddTemp<T>(h, std::move(obj), &ReleaseTempGdi);
}

CGdiObject* PASCAL CGdiObject::FromHandle(HGDIOBJ hObject) {
    return TypedFromHandle<CGdiObject>(hObject);
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    if (!hObject)
        return FALSE;
    Release();
    m_hObject = hObject;
    m_bOwned = true;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    m_bOwned = false;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CGdiObject::TakeCreated(HGDIOBJ hObject) {
    Release();
    if (!hObject)
        return FALSE;
    m_hObject = hObject;
    m_bOwned = true;
    return TRUE;
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const {
    return m_hObject ? ::GetObjectW(m_hObject, nCount, lpObject) : 0;
}

UINT CGdiObject::GetObjectType() const {
    return m_hObject ? ::GetObjectType(m_hObject) : 0;
}

BOOL CGdiObject::CreateStockObject(int nIndex) {
    Release();
    m_hObject = ::GetStockObject(nIndex);
    return m_hObject != nullptr;
}

BOOL CGdiObject::UnrealizeObject() {
    return m_hObject ? ::UnrealizeObject(m_hObject) : FALSE;
}

// ---------------------------------------------------------------------------
// Pens, brushes, fonts, bitmaps, regions, palettes

CPen* PASCAL CPen::FromHandle(HPEN hPen) { return TypedFromHandle<CPen>(hPen); }
BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) { return TakeCreated(::CreatePen(nPenStyle, nWidth, crColor)); }
BOOL CPen::CreatePenIndirect(const LOGPEN* lpLogPen) { return TakeCreated(lpLogPen ? ::CreatePenIndirect(lpLogPen) : nullptr); }

CBrush::CBrush(CBitmap* pBitmap) { CreatePatternBrush(pBitmap); }
CBrush* PASCAL CBrush::FromHandle(HBRUSH hBrush) { return TypedFromHandle<CBrush>(hBrush); }
BOOL CBrush::CreateSolidBrush(COLORREF crColor) { return TakeCreated(::CreateSolidBrush(crColor)); }
BOOL CBrush::CreateHatchBrush(int nIndex, COLORREF crColor) { return TakeCreated(::CreateHatchBrush(nIndex, crColor)); }
BOOL CBrush::CreatePatternBrush(CBitmap* pBitmap) {
    return TakeCreated(pBitmap && pBitmap->m_hObject ? ::CreatePatternBrush(*pBitmap) : nullptr);
}
BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* lpLogBrush) { return TakeCreated(lpLogBrush ? ::CreateBrushIndirect(lpLogBrush) : nullptr); }
BOOL CBrush::CreateSysColorBrush(int nIndex) {
    Release();
    m_hObject = ::GetSysColorBrush(nIndex);
    return m_hObject != nullptr;
}

CFont* PASCAL CFont::FromHandle(HFONT hFont) { return TypedFromHandle<CFont>(hFont); }
BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont) { return TakeCreated(lpLogFont ? ::CreateFontIndirectW(lpLogFont) : nullptr); }
BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                       BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename) {
    return TakeCreated(::CreateFontW(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline,
                                     cStrikeOut, nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily,
                                     lpszFacename));
}
BOOL CFont::CreatePointFont(int nPointSize, LPCWSTR lpszFaceName, CDC* pDC) {
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = nPointSize;
    if (lpszFaceName)
        lstrcpynW(lf.lfFaceName, lpszFaceName, LF_FACESIZE);
    return CreatePointFontIndirect(&lf, pDC);
}
BOOL CFont::CreatePointFontIndirect(const LOGFONTW* lpLogFont, CDC* pDC) {
    if (!lpLogFont)
        return FALSE;
    HDC hDC = SafeDC(pDC);
    HDC hScreen = hDC ? nullptr : ::GetDC(nullptr);
    HDC h = hDC ? hDC : hScreen;
    // Tenths of a point to logical units: via device points so mapping modes count.
    LOGFONTW lf = *lpLogFont;
    POINT pt = {0, ::MulDiv(::GetDeviceCaps(h, LOGPIXELSY), lf.lfHeight, 720)};
    ::DPtoLP(h, &pt, 1);
    POINT ptOrg = {0, 0};
    ::DPtoLP(h, &ptOrg, 1);
    lf.lfHeight = -abs(pt.y - ptOrg.y);
    if (hScreen)
        ::ReleaseDC(nullptr, hScreen);
    return CreateFontIndirect(&lf);
}

CBitmap* PASCAL CBitmap::FromHandle(HBITMAP hBitmap) { return TypedFromHandle<CBitmap>(hBitmap); }
BOOL CBitmap::LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEW(nIDResource)); }
BOOL CBitmap::LoadBitmap(LPCWSTR lpszResourceName) {
    return TakeCreated(::LoadBitmapW(AfxFindResourceHandle(lpszResourceName, reinterpret_cast<LPCWSTR>(RT_BITMAP)),
                                     lpszResourceName));
}
BOOL CBitmap::LoadOEMBitmap(UINT nIDBitmap) { return TakeCreated(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(nIDBitmap))); }
BOOL CBitmap::CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits) {
    return TakeCreated(::CreateBitmap(nWidth, nHeight, nPlanes, nBitcount, lpBits));
}
BOOL CBitmap::CreateBitmapIndirect(LPBITMAP lpBitmap) { return TakeCreated(lpBitmap ? ::CreateBitmapIndirect(lpBitmap) : nullptr); }
BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    HDC h = SafeDC(pDC);
    return TakeCreated(h ? ::CreateCompatibleBitmap(h, nWidth, nHeight) : nullptr);
}
DWORD CBitmap::SetBitmapBits(DWORD dwCount, const void* lpBits) { return ::SetBitmapBits(*this, dwCount, lpBits); }
DWORD CBitmap::GetBitmapBits(DWORD dwCount, LPVOID lpBits) const { return ::GetBitmapBits(*this, dwCount, lpBits); }

CRgn* PASCAL CRgn::FromHandle(HRGN hRgn) { return TypedFromHandle<CRgn>(hRgn); }
BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) { return TakeCreated(::CreateRectRgn(x1, y1, x2, y2)); }
BOOL CRgn::CreateRectRgnIndirect(LPCRECT lpRect) { return TakeCreated(lpRect ? ::CreateRectRgnIndirect(lpRect) : nullptr); }
BOOL CRgn::CreateEllipticRgn(int x1, int y1, int x2, int y2) { return TakeCreated(::CreateEllipticRgn(x1, y1, x2, y2)); }
BOOL CRgn::CreateEllipticRgnIndirect(LPCRECT lpRect) { return TakeCreated(lpRect ? ::CreateEllipticRgnIndirect(lpRect) : nullptr); }
BOOL CRgn::CreateRoundRectRgn(int x1, int y1, int x2, int y2, int x3, int y3) {
    return TakeCreated(::CreateRoundRectRgn(x1, y1, x2, y2, x3, y3));
}
BOOL CRgn::CreatePolygonRgn(const POINT* lpPoints, int nCount, int nMode) {
    return TakeCreated(lpPoints && nCount > 0 ? ::CreatePolygonRgn(lpPoints, nCount, nMode) : nullptr);
}
void CRgn::SetRectRgn(int x1, int y1, int x2, int y2) { ::SetRectRgn(*this, x1, y1, x2, y2); }
void CRgn::SetRectRgn(LPCRECT lpRect) { ::SetRectRgn(*this, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom); }
int CRgn::CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode) {
    return ::CombineRgn(*this, pRgn1 ? static_cast<HRGN>(pRgn1->m_hObject) : nullptr,
                        pRgn2 ? static_cast<HRGN>(pRgn2->m_hObject) : nullptr, nCombineMode);
}
int CRgn::CopyRgn(const CRgn* pRgnSrc) { return ::CombineRgn(*this, *pRgnSrc, nullptr, RGN_COPY); }
BOOL CRgn::EqualRgn(const CRgn* pRgn) const { return ::EqualRgn(*this, *pRgn); }
int CRgn::OffsetRgn(int x, int y) { return ::OffsetRgn(*this, x, y); }
int CRgn::GetRgnBox(LPRECT lpRect) const { return ::GetRgnBox(*this, lpRect); }
BOOL CRgn::PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
BOOL CRgn::RectInRegion(LPCRECT lpRect) const { return ::RectInRegion(*this, lpRect); }

CPalette* PASCAL CPalette::FromHandle(HPALETTE hPalette) { return TypedFromHandle<CPalette>(hPalette); }
BOOL CPalette::CreatePalette(const LOGPALETTE* lpLogPalette) { return TakeCreated(lpLogPalette ? ::CreatePalette(lpLogPalette) : nullptr); }
BOOL CPalette::CreateHalftonePalette(CDC* pDC) {
    HDC h = SafeDC(pDC);
    return TakeCreated(h ? ::CreateHalftonePalette(h) : nullptr);
}
int CPalette::GetEntryCount() const {
    WORD n = 0;
    return ::GetObjectW(m_hObject, sizeof(n), &n) ? n : 0;
}
UINT CPalette::GetPaletteEntries(UINT nStartIndex, UINT nNumEntries, LPPALETTEENTRY lpPaletteColors) const {
    return ::GetPaletteEntries(*this, nStartIndex, nNumEntries, lpPaletteColors);
}
UINT CPalette::SetPaletteEntries(UINT nStartIndex, UINT nNumEntries, const PALETTEENTRY* lpPaletteColors) {
    return ::SetPaletteEntries(*this, nStartIndex, nNumEntries, lpPaletteColors);
}

// ---------------------------------------------------------------------------
// CDC

CDC::~CDC() {
    if (m_hDC && m_bOwned)
        ::DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = nullptr;
}

CDC* PASCAL CDC::FromHandle(HDC hDC) {
    if (!hDC)
        return nullptr;
    auto& ts = GetThreadState();
    if (CDC* p = ts.FindTemp<CDC>(hDC))
        return p;
    auto obj = std::make_unique<CDC>();
    obj->SetBorrowed(hDC);
    return ts.AddTemp<CDC>(hDC, std::move(obj), &ReleaseTempDC);
}

void CDC::SetBorrowed(HDC hDC) {
    m_hDC = m_hAttribDC = hDC;
    m_bOwned = false;
}

BOOL CDC::Attach(HDC hDC) {
    if (!hDC)
        return FALSE;
    if (m_hDC && m_bOwned)
        ::DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = hDC;
    m_bOwned = true;
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwned = false;
    return h;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    HDC h = ::CreateCompatibleDC(SafeDC(pDC));
    return h ? Attach(h) : FALSE;
}

BOOL CDC::CreateDC(LPCWSTR lpszDriverName, LPCWSTR lpszDeviceName, LPCWSTR lpszOutput, const DEVMODEW* lpInitData) {
    HDC h = ::CreateDCW(lpszDriverName, lpszDeviceName, lpszOutput, lpInitData);
    return h ? Attach(h) : FALSE;
}

int CDC::SaveDC() { return ::SaveDC(m_hDC); }
BOOL CDC::RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
int CDC::GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hDC, nIndex); }

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
    if (!hObject || !m_hDC)
        return nullptr;
    HGDIOBJ old = ::SelectObject(m_hDC, hObject);
    return old == HGDI_ERROR ? nullptr : old;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return CPen::FromHandle(static_cast<HPEN>(SelectObject(pPen ? pPen->m_hObject : nullptr)));
}
CBrush* CDC::SelectObject(CBrush* pBrush) {
    return CBrush::FromHandle(static_cast<HBRUSH>(SelectObject(pBrush ? pBrush->m_hObject : nullptr)));
}
CFont* CDC::SelectObject(CFont* pFont) {
    return CFont::FromHandle(static_cast<HFONT>(SelectObject(pFont ? pFont->m_hObject : nullptr)));
}
CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return CBitmap::FromHandle(static_cast<HBITMAP>(SelectObject(pBitmap ? pBitmap->m_hObject : nullptr)));
}
CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    return CGdiObject::FromHandle(SelectObject(pObject ? pObject->m_hObject : nullptr));
}
int CDC::SelectObject(CRgn* pRgn) {
    return ::SelectClipRgn(m_hDC, pRgn ? static_cast<HRGN>(pRgn->m_hObject) : nullptr);
}
CGdiObject* CDC::SelectStockObject(int nIndex) {
    HGDIOBJ h = ::GetStockObject(nIndex);
    return h ? CGdiObject::FromHandle(SelectObject(h)) : nullptr;
}
CPalette* CDC::SelectPalette(CPalette* pPalette, BOOL bForceBackground) {
    if (!pPalette)
        return nullptr;
    return CPalette::FromHandle(::SelectPalette(m_hDC, *pPalette, bForceBackground));
}
UINT CDC::RealizePalette() { return ::RealizePalette(m_hDC); }

CPoint CDC::GetViewportOrg() const { POINT p = {}; ::GetViewportOrgEx(m_hDC, &p); return p; }
CPoint CDC::SetViewportOrg(int x, int y) { POINT p = {}; ::SetViewportOrgEx(m_hDC, x, y, &p); return p; }
CPoint CDC::OffsetViewportOrg(int nWidth, int nHeight) { POINT p = {}; ::OffsetViewportOrgEx(m_hDC, nWidth, nHeight, &p); return p; }
CPoint CDC::GetWindowOrg() const { POINT p = {}; ::GetWindowOrgEx(m_hDC, &p); return p; }
CPoint CDC::SetWindowOrg(int x, int y) { POINT p = {}; ::SetWindowOrgEx(m_hDC, x, y, &p); return p; }
CPoint CDC::SetBrushOrg(int x, int y) { POINT p = {}; ::SetBrushOrgEx(m_hDC, x, y, &p); return p; }
CPoint CDC::MoveTo(int x, int y) { POINT p = {}; ::MoveToEx(m_hDC, x, y, &p); return p; }

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    if (lpRect && pBrush)
        ::FillRect(m_hDC, lpRect, *pBrush);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    // An opaque text-out of nothing fills with the background colour without a brush.
    COLORREF old = ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    RECT r = {x, y, x + cx, y + cy};
    FillSolidRect(&r, clr);
}

void CDC::FrameRect(LPCRECT lpRect, CBrush* pBrush) {
    if (lpRect && pBrush)
        ::FrameRect(m_hDC, lpRect, *pBrush);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, clrTopLeft,
               clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, clrBottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, clrBottomRight);
}

BOOL CDC::FillRgn(CRgn* pRgn, CBrush* pBrush) {
    return pRgn && pBrush ? ::FillRgn(m_hDC, *pRgn, *pBrush) : FALSE;
}

BOOL CDC::FrameRgn(CRgn* pRgn, CBrush* pBrush, int nWidth, int nHeight) {
    return pRgn && pBrush ? ::FrameRgn(m_hDC, *pRgn, *pBrush, nWidth, nHeight) : FALSE;
}

BOOL CDC::PaintRgn(CRgn* pRgn) {
    return pRgn ? ::PaintRgn(m_hDC, *pRgn) : FALSE;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, SafeDC(pSrcDC), xSrc, ySrc, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, SafeDC(pSrcDC), xSrc, ySrc, nSrcWidth, nSrcHeight, dwRop);
}

int CDC::DrawText(LPCWSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextW(m_hDC, lpszString, nCount, lpRect, nFormat);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    return DrawText(str, str.GetLength(), lpRect, nFormat);
}

BOOL CDC::TextOut(int x, int y, LPCWSTR lpszString, int nCount) {
    return ::TextOutW(m_hDC, x, y, lpszString, nCount);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    return TextOut(x, y, str, str.GetLength());
}

BOOL CDC::ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCWSTR lpszString, UINT nCount, LPINT lpDxWidths) {
    return ::ExtTextOutW(m_hDC, x, y, nOptions, lpRect, lpszString, nCount, lpDxWidths);
}

CSize CDC::GetTextExtent(LPCWSTR lpszString, int nCount) const {
    SIZE s = {};
    ::GetTextExtentPoint32W(m_hDC, lpszString, nCount, &s);
    return s;
}

CSize CDC::GetTextExtent(const CString& str) const {
    return GetTextExtent(str, str.GetLength());
}

BOOL CDC::DrawState(CPoint pt, CSize size, HICON hIcon, UINT nFlags, HBRUSH hBrush) {
    return ::DrawStateW(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(hIcon), 0, pt.x, pt.y, size.cx, size.cy,
                        nFlags | DST_ICON);
}

BOOL CDC::DrawState(CPoint pt, CSize size, HICON hIcon, UINT nFlags, CBrush* pBrush) {
    return DrawState(pt, size, hIcon, nFlags, pBrush ? static_cast<HBRUSH>(pBrush->m_hObject) : nullptr);
}

BOOL CDC::DrawState(CPoint pt, CSize size, HBITMAP hBitmap, UINT nFlags, HBRUSH hBrush) {
    return ::DrawStateW(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(hBitmap), 0, pt.x, pt.y, size.cx, size.cy,
                        nFlags | DST_BITMAP);
}

BOOL CDC::DrawState(CPoint pt, CSize size, CBitmap* pBitmap, UINT nFlags, CBrush* pBrush) {
    return DrawState(pt, size, pBitmap ? static_cast<HBITMAP>(pBitmap->m_hObject) : nullptr, nFlags,
                     pBrush ? static_cast<HBRUSH>(pBrush->m_hObject) : nullptr);
}

BOOL CDC::DrawState(CPoint pt, CSize size, LPCWSTR lpszText, UINT nFlags, BOOL bPrefixText, int nTextLen,
                    HBRUSH hBrush) {
    return ::DrawStateW(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(lpszText), static_cast<WPARAM>(nTextLen),
                        pt.x, pt.y, size.cx, size.cy, nFlags | (bPrefixText ? DST_PREFIXTEXT : DST_TEXT));
}

int CDC::SelectClipRgn(CRgn* pRgn) {
    return ::SelectClipRgn(m_hDC, pRgn ? static_cast<HRGN>(pRgn->m_hObject) : nullptr);
}

// ---------------------------------------------------------------------------
// Window DCs

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    if (m_hWnd)
        SetBorrowed(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    if (m_hWnd && m_hDC)
        ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    SetBorrowed(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    if (m_hDC)
        ::ReleaseDC(m_hWnd, m_hDC);
    Detach();
}

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    SetBorrowed(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC() {
    if (m_hDC)
        ::ReleaseDC(m_hWnd, m_hDC);
    Detach();
}
