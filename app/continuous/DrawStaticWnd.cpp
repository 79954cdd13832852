#include "app/continuous/DrawStaticWnd.h"

#include "app/capture/FallbackText.h"
#include "app/capture/GdiplusFlat.h"
#include "app/capture/ScopedGdi.h"
#include "app/continuous/FrameFit.h"
#include "app/continuous/FrameRecord.h"
#include "app/continuous/FrameTiming.h"
#include "image/DibImage.h"

#include <algorithm>

namespace {

constexpr COLORREF kHeaderTextColour = RGB(0, 70, 213);
constexpr RGBQUAD kOverlayKeyColour = {247, 241, 236, 0};  // RGB(236, 241, 247)
constexpr BYTE kOverlayAlpha = 150;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

// A 3-D line of height 2: shadow above, highlight below.
void DrawEtchedLine(HDC dc, int x, int y, int width) {
    if (width <= 0)
        return;
    const RECT top = {x, y, x + width, y + 1};
    const RECT bottom = {x, y + 1, x + width, y + 2};
    FillSolid(dc, top, GetSysColor(COLOR_BTNSHADOW));
    FillSolid(dc, bottom, GetSysColor(COLOR_BTNHIGHLIGHT));
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

BEGIN_MESSAGE_MAP(CDrawStaticWnd, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CDrawStaticWnd::CDrawStaticWnd() = default;

CDrawStaticWnd::~CDrawStaticWnd() {
    if (m_pTextImage)
        gdip::GdipDisposeImage(reinterpret_cast<gdip::GpImage*>(m_pTextImage));
}

void CDrawStaticWnd::OnDestroy() {
    // The text rendering goes with the window: a long-lived owner (the
    // watermark options page) outlives GDI+, which ends before it is deleted.
    if (m_pTextImage) {
        gdip::GdipDisposeImage(reinterpret_cast<gdip::GpImage*>(m_pTextImage));
        m_pTextImage = nullptr;
    }
    if (m_hTextBitmap) {
        DeleteObject(m_hTextBitmap);
        m_hTextBitmap = nullptr;
    }
    CStatic::OnDestroy();
}

RECT CDrawStaticWnd::InsetRect() const {
    RECT r;
    GetClientRect(&r);
    ::InflateRect(&r, -5, -5);
    return r;
}

RECT CDrawStaticWnd::FrameRect() const {
    RECT r;
    GetWindowRect(&r);
    ScreenToClient(&r);
    ::InflateRect(&r, -1, -1);
    return r;
}

BOOL CDrawStaticWnd::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = static_cast<BOOL>(Default());
    HDC dc = pDC ? pDC->GetSafeHdc() : nullptr;
    if (!dc)
        return result;
    switch (m_nMode) {
    case kHeader: PaintHeader(dc); break;
    case kPicture: PaintPicture(dc); break;
    case kOverlay: PaintOverlay(dc); break;
    case kSwatch: PaintSwatch(dc); break;
    case kText: PaintText(dc); break;
    default: break;
    }
    return result;
}

// Everything is drawn while erasing; the static's own painting would cover it.
void CDrawStaticWnd::OnPaint() {
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
}

void CDrawStaticWnd::PaintHeader(HDC dc) {
    RECT client;
    GetClientRect(&client);
    CString text;
    GetWindowText(text);
    HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    ScopedSelect selectFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kHeaderTextColour);
    RECT textRect = client;
    DrawTextW(dc, text, text.GetLength(), &textRect, DT_SINGLELINE | DT_VCENTER);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, text.GetLength(), &extent);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int x = extent.cx + metrics.tmAveCharWidth;
    DrawEtchedLine(dc, x, Height(client) / 2, Width(client) - x);
}

void CDrawStaticWnd::PaintPicture(HDC dc) {
    const RECT r = InsetRect();
    const int areaWidth = Width(r), areaHeight = Height(r);
    if (areaWidth <= 0 || areaHeight <= 0)
        return;
    if (!m_hPicture) {
        FillSolid(dc, r, kEmptyColour);
        return;
    }
    const frame_fit::Placement place = frame_fit::FitPreview(areaWidth, areaHeight, m_nPictureWidth,
                                                             m_nPictureHeight, m_bPlaying, m_nRefWidth,
                                                             m_nRefHeight);
    ScopedMemoryDc composeDc(dc);
    ScopedBitmapHandle compose(CreateCompatibleBitmap(dc, areaWidth, areaHeight));
    if (!composeDc.Get() || !compose.Get())
        return;
    ScopedSelect selectCompose(composeDc.Get(), compose.Get());
    const RECT all = {0, 0, areaWidth, areaHeight};
    FillSolid(composeDc.Get(), all, kEmptyColour);
    if (place.cx > 0) {
        ScopedMemoryDc pictureDc(dc);
        ScopedSelect selectPicture(pictureDc.Get(), m_hPicture);
        if (place.stretched) {
            SetStretchBltMode(composeDc.Get(), COLORONCOLOR);
            StretchBlt(composeDc.Get(), place.x, place.y, place.cx, place.cy, pictureDc.Get(), 0, 0,
                       m_nPictureWidth, m_nPictureHeight, SRCCOPY);
        } else {
            BitBlt(composeDc.Get(), place.x, place.y, place.cx, place.cy, pictureDc.Get(), 0, 0, SRCCOPY);
        }
    }
    BitBlt(dc, r.left, r.top, areaWidth, areaHeight, composeDc.Get(), 0, 0, SRCCOPY);
}

void CDrawStaticWnd::PaintOverlay(HDC dc) {
    const RECT r = InsetRect();
    const int areaWidth = Width(r), areaHeight = Height(r);
    if (areaWidth <= 0 || areaHeight <= 0)
        return;
    if (m_bCentre) {
        FillSolid(dc, r, RGB(0, 0, 0));
        CDibImage overlay;
        if (!m_hOverlay || !overlay.CreateFromHBITMAP(m_hOverlay))
            return;
        const int totalWidth = m_nPictureWidth + m_nMarginLeft + m_nMarginRight;
        const int totalHeight = m_nPictureHeight + m_nMarginTop + m_nMarginBottom;
        if (totalWidth <= 0 || totalHeight <= 0)
            return;
        const float scale = std::min(static_cast<float>(areaWidth) / totalWidth,
                                     static_cast<float>(areaHeight) / totalHeight);
        const float drawnWidth = totalWidth * scale, drawnHeight = totalHeight * scale;
        const int x0 = static_cast<int>(areaWidth / 2 - drawnWidth / 2 + 0.5f);
        const int y0 = static_cast<int>(areaHeight / 2 - drawnHeight / 2 + 0.5f);
        overlay.Expand(std::max(m_nMarginLeft, 0), std::max(m_nMarginTop, 0), std::max(m_nMarginRight, 0),
                       std::max(m_nMarginBottom, 0), overlay.GetTransColor());
        const RECT target = {r.left + x0, r.top + y0, static_cast<int>(r.left + drawnWidth + x0),
                             static_cast<int>(r.top + drawnHeight + y0)};
        overlay.Draw(dc, target);
        return;
    }
    if (!m_hBase && !m_hOverlay) {
        FillSolid(dc, r, kEmptyColour);
        return;
    }
    FillSolid(dc, r, RGB(0, 0, 0));
    CDibImage base;
    if (m_hBase && base.CreateFromHBITMAP(m_hBase) && m_nBaseScaledWidth > 0 && m_nBaseScaledHeight > 0) {
        const RECT target = {r.left + m_nOffsetX, r.top + m_nOffsetY, r.left + m_nOffsetX + m_nBaseScaledWidth,
                             r.top + m_nOffsetY + m_nBaseScaledHeight};
        base.Draw(dc, target);
    }
    CDibImage overlay;
    if (!m_hOverlay || !overlay.CreateFromHBITMAP(m_hOverlay) || m_nPictureWidth <= 0 || m_nPictureHeight <= 0)
        return;
    overlay.Resample(m_nPictureWidth, m_nPictureHeight, 1);
    overlay.AlphaCreate();
    overlay.AlphaSetMax(kOverlayAlpha);
    if (m_bOwnKey) {
        overlay.Expand(std::max(m_nMarginLeft, 0), std::max(m_nMarginTop, 0), std::max(m_nMarginRight, 0),
                       std::max(m_nMarginBottom, 0), overlay.GetTransColor());
        const RECT target = {r.left + m_nOffsetX, r.top + m_nOffsetY, r.left + m_nOffsetX + m_nBaseScaledWidth,
                             r.top + m_nOffsetY + m_nBaseScaledHeight};
        overlay.Draw(dc, target);
        return;
    }
    if (overlay.GetBpp() <= 8)
        overlay.SetTransIndex(overlay.GetNearestIndex(kOverlayKeyColour));
    else
        overlay.SetTransColor(kOverlayKeyColour);
    const int left = std::max(m_nUserMarginLeft, 0), top = std::max(m_nUserMarginTop, 0);
    const int right = std::max(m_nUserMarginRight, 0), bottom = std::max(m_nUserMarginBottom, 0);
    overlay.Expand(left, top, right, bottom, kOverlayKeyColour);
    const RECT target = {r.left + m_nOffsetX, r.top + m_nOffsetY,
                         r.left + m_nOffsetX + m_nPictureWidth + left + right,
                         r.top + m_nOffsetY + m_nPictureHeight + top + bottom};
    overlay.Draw(dc, target);
}

void CDrawStaticWnd::PaintSwatch(HDC dc) {
    FillSolid(dc, FrameRect(), m_crSwatch);
}

void CDrawStaticWnd::PaintText(HDC dc) {
    const RECT r = FrameRect();
    if (m_hTextBitmap) {
        DeleteObject(m_hTextBitmap);
        m_hTextBitmap = nullptr;
    }
    ScopedMemoryDc textDc(dc);
    if (!textDc.Get())
        return;
    // The sample is drawn anew in the middle of the frame: clear what an
    // earlier, wider text left, as a static erases itself.
    RECT client;
    GetClientRect(&client);
    HBRUSH background = reinterpret_cast<HBRUSH>(::SendMessageW(
        ::GetParent(m_hWnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hWnd)));
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_BTNFACE));
    HFONT font = m_pFont ? static_cast<HFONT>(m_pFont->GetSafeHandle()) : nullptr;
    ScopedSelect selectFont(textDc.Get(), font);
    const CFallbackText line(textDc.Get(), font, m_strText, m_strText.GetLength());
    const SIZE extent = line.GetExtent();
    if (extent.cx <= 0 || extent.cy <= 0)
        return;
    ScopedBitmapHandle textBitmap(CreateCompatibleBitmap(dc, extent.cx, extent.cy));
    if (!textBitmap.Get())
        return;
    {
        ScopedSelect selectBitmap(textDc.Get(), textBitmap.Get());
        SetBkColor(textDc.Get(), m_crTextBack);
        SetTextColor(textDc.Get(), m_crText);
        SetBkMode(textDc.Get(), OPAQUE);
        RECT textRect = {0, 0, extent.cx, extent.cy};
        FillSolid(textDc.Get(), textRect, m_crTextBack);
        line.Draw(textDc.Get(), textRect);
        const int x = Width(r) / 2 - extent.cx / 2;
        const int y = Height(r) / 2 - extent.cy / 2;
        BitBlt(dc, x, y, extent.cx, extent.cy, textDc.Get(), 0, 0, SRCCOPY);
    }

    gdip::ScopedBitmap image;
    if (gdip::GdipCreateBitmapFromScan0(extent.cx, extent.cy, 0, PixelFormat32bppPARGB, nullptr, image.Out()) !=
        gdip::Ok)
        return;
    gdip::ScopedBitmap source;
    if (gdip::GdipCreateBitmapFromHBITMAP(textBitmap.Get(), nullptr, source.Out()) != gdip::Ok)
        return;
    {
        gdip::ScopedGraphics graphics(image.Get());
        if (!graphics.Get() ||
            gdip::GdipDrawImageRectI(graphics.Get(), reinterpret_cast<gdip::GpImage*>(source.Get()), 0, 0,
                                     extent.cx, extent.cy) != gdip::Ok)
            return;
    }
    if (m_pTextImage)
        gdip::GdipDisposeImage(reinterpret_cast<gdip::GpImage*>(m_pTextImage));
    m_pTextImage = image.Release();
}

void CDrawStaticWnd::SetText(const CString& text, CFont* pFont, COLORREF background, COLORREF textColour) {
    m_strText = text;
    m_pFont = pFont;
    m_crTextBack = background;
    m_crText = textColour;
    Invalidate();
}

void CDrawStaticWnd::TakeTextBitmap(SIZE& size, HBITMAP& bitmap) {
    Invalidate();
    size = {0, 0};
    bitmap = nullptr;
    if (!m_pTextImage)
        return;
    HBITMAP converted = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(m_pTextImage, &converted, 0xFF000000) == gdip::Ok && converted)
        m_hTextBitmap = converted;
    UINT width = 0, height = 0;
    gdip::GdipGetImageWidth(reinterpret_cast<gdip::GpImage*>(m_pTextImage), &width);
    gdip::GdipGetImageHeight(reinterpret_cast<gdip::GpImage*>(m_pTextImage), &height);
    size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    bitmap = m_hTextBitmap;
    gdip::GdipDisposeImage(reinterpret_cast<gdip::GpImage*>(m_pTextImage));
    m_pTextImage = nullptr;
}

void CDrawStaticWnd::FitImage(HBITMAP base, int baseWidth, int baseHeight, HBITMAP overlay, int overlayWidth,
                              int overlayHeight) {
    m_hBase = base;
    m_hOverlay = overlay;
    m_nGivenBaseWidth = baseWidth;
    m_nGivenBaseHeight = baseHeight;
    m_nGivenOverlayWidth = overlayWidth;
    m_nGivenOverlayHeight = overlayHeight;
    const RECT r = InsetRect();
    const frame_fit::OverlayLayout layout =
        frame_fit::LayOutOverlay(Width(r), Height(r), baseWidth, baseHeight, overlayWidth, overlayHeight);
    m_nOffsetX = layout.offsetX;
    m_nOffsetY = layout.offsetY;
    m_nBaseScaledWidth = layout.baseWidth;
    m_nBaseScaledHeight = layout.baseHeight;
    m_nPictureWidth = layout.overlayWidth;
    m_nPictureHeight = layout.overlayHeight;
    m_nMarginLeft = m_nMarginRight = layout.marginX;
    m_nMarginTop = m_nMarginBottom = layout.marginY;
    m_bPlaying = false;
    Invalidate();
}

void CDrawStaticWnd::SetCenter(bool ownKey) {
    m_bOwnKey = ownKey ? 1 : 0;
    FrameMargins margins;
    if (!m_bCentre) {
        const int x = (m_nGivenBaseWidth - m_nGivenOverlayWidth) / 2;
        const int y = (m_nGivenBaseHeight - m_nGivenOverlayHeight) / 2;
        margins = {x, y, x, y};
    }
    if (m_pMarginsOwner)
        m_pMarginsOwner->SetCentringMargins(margins, margins);
    Invalidate();
}

void CDrawStaticWnd::PlayFrames(CListBox* pList) {
    if (m_pPlayedList || !pList || pList->GetCount() <= 0)
        return;
    if (m_nCurrentFrame < 0 || m_nCurrentFrame >= pList->GetCount())
        m_nCurrentFrame = 0;
    const FrameRecord* first = FrameFromItemData(pList->GetItemData(m_nCurrentFrame));
    m_bPlaying = true;
    m_pPlayedList = pList;
    m_nRefWidth = first ? first->width : 0;
    m_nRefHeight = first ? first->height : 0;
    SetTimer(kAnimationTimer, frame_timing::kFirstFrameDelayMs);
}

void CDrawStaticWnd::StopAnimation() {
    KillTimer(kAnimationTimer);
    m_bPlaying = false;
    m_pPlayedList = nullptr;
    m_bLoop = 0;
}

void CDrawStaticWnd::StopFrames() {
    StopAnimation();
    m_nCurrentFrame = 0;
}

void CDrawStaticWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kAnimationTimer) {
        KillTimer(kAnimationTimer);
        const int count = m_pPlayedList ? m_pPlayedList->GetCount() : 0;
        const FrameRecord* record =
            count > 0 && m_nCurrentFrame < count
                ? FrameFromItemData(m_pPlayedList->GetItemData(m_nCurrentFrame))
                : nullptr;
        const frame_timing::AnimationStep step = frame_timing::NextAnimationStep(
            m_nCurrentFrame, count, record ? record->time : 0.0f, m_bLoop != 0);
        if (!step.show || !record) {
            // The list was emptied or shrunk under the animation.
            StopFrames();
        } else {
            m_hPicture = record->bitmap;
            m_nPictureWidth = record->width;
            m_nPictureHeight = record->height;
            m_nTransparent = record->transparent;
            Invalidate();
            m_nCurrentFrame = step.nextIndex;
            if (!step.finished) {
                SetTimer(kAnimationTimer, static_cast<UINT>(std::max(step.delayMs, 1)));
            } else {
                StopAnimation();
                if (CWnd* parent = GetParent())
                    ::PostMessageW(parent->m_hWnd, WM_COMMAND, MAKEWPARAM(kAnimationEndCommand, 0), 0);
            }
        }
    }
    Default();
}
