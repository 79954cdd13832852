#include "app/settings/WatermarkPreviewStatic.h"

#include "app/capture/GdiplusFlat.h"
#include "app/capture/Watermark.h"
#include "app/regions/ScreenZoom.h"
#include "app/settings/OpWatermarkPropertyPage.h"

namespace {

// A width x height copy of the screen around the pointer with the watermark
// laid on it; null when the size is empty or GDI+ fails.
HBITMAP ComposeOverScreen(int width, int height, const COpWatermarkPropertyPage& options) {
    if (width <= 0 || height <= 0)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    ScopedBitmapHandle sample(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedMemoryDc memory(nullptr);
    if (!sample.Get() || !memory.Get())
        return nullptr;
    {
        ScopedSelect selected(memory.Get(), sample.Get());
        CDC dc;
        dc.Attach(memory.Get());
        const RECT view = {0, 0, width, height};
        DrawZoomedScreen(nullptr, &view, &dc, 1, false, false, false);
        dc.Detach();
    }

    gdip::ScopedBitmap target;
    if (gdip::GdipCreateBitmapFromHBITMAP(sample.Get(), nullptr, target.Out()) != gdip::Ok)
        return nullptr;
    ApplyWatermark(target.Get(), WatermarkParamsFromOptions(options), options.PreviewBitmap, options.ImageWidth,
                   options.ImageHeight, true, options.HideColor != 0, RECT{0, 0, width, height});
    HBITMAP composed = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(target.Get(), &composed, 0xFF000000) != gdip::Ok)
        return nullptr;
    return composed;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWatermarkPreviewStatic, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
END_MESSAGE_MAP()

void CWatermarkPreviewStatic::UpdatePreview() {
    m_picture.Reset();
    if (!m_hWnd)
        return;
    if (m_pOptions) {
        CRect client;
        GetClientRect(&client);
        m_picture.Reset(ComposeOverScreen(client.Width(), client.Height(), *m_pOptions));
    }
    Invalidate(FALSE);
}

BOOL CWatermarkPreviewStatic::OnEraseBkgnd(CDC*) {
    return TRUE;  // the paint covers the whole client area
}

void CWatermarkPreviewStatic::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    if (!m_picture.Get()) {
        ::FillRect(dc.m_hDC, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    ScopedMemoryDc memory(dc.m_hDC);
    ScopedSelect selected(memory.Get(), m_picture.Get());
    ::BitBlt(dc.m_hDC, 0, 0, client.Width(), client.Height(), memory.Get(), 0, 0, SRCCOPY);
}
