#include "app/regions/RegionCaptureSupport.h"

#include "app/capture/ScopedGdi.h"
#include "resources/resource.h"

bool HandRegionToHost(IRegionCaptureHost* pHost, HDC hSource, const RECT& rect, DWORD dwRop) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!pHost || !hSource || width <= 0 || height <= 0)
        return false;
    ScopedDc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.Get())
        return false;
    ScopedMemoryDc memory(display.Get());
    ScopedBitmapHandle bitmap(::CreateCompatibleBitmap(display.Get(), width, height));
    if (!memory.Get() || !bitmap.Get())
        return false;
    ::SelectObject(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, hSource, rect.left, rect.top, dwRop);
    // The bitmap stays selected: the capture worker reads the DC and deletes both.
    pHost->StartRegionCapture(memory.Release(), rect, bitmap.Release());
    return true;
}

BOOL LoadCloseBoxImages(CImageList& images) {
    images.DeleteImageList();
    if (!images.Create(kCloseBoxSize, kCloseBoxSize, ILC_COLOR24 | ILC_MASK, 2, 1))
        return FALSE;
    CBitmap strip;
    if (!strip.LoadBitmap(IDB_REGION_BUTTONS))
        return FALSE;
    return images.Add(&strip, kRegionKeyColor) >= 0;
}

void DrawCloseBox(CImageList& images, CDC* pDC, const GeoRect& closeBox) {
    if (images.GetSafeHandle() && pDC)
        images.Draw(pDC, 1, CPoint(closeBox.left, closeBox.top), ILD_TRANSPARENT);
}
