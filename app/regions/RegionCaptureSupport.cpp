#include "app/regions/RegionCaptureSupport.h"

#include "app/capture/ScopedGdi.h"
#include "resources/resource.h"

bool HandRegionToHost(IRegionCaptureHost* pHost, HDC hSource, const RECT& rect, DWORD dwRop, POINT releasedAt) {
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
    pHost->StartRegionCapture(memory.Release(), rect, bitmap.Release(), releasedAt);
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

void CTickPoster::Start(AFX_THREADPROC pfnEntry, LPVOID pParam, HWND hWnd, UINT message, DWORD intervalMs,
                        bool bCursorPos) {
    if (m_pThread)
        return;
    ::InterlockedExchange(&m_nStop, 0);  // a poster stopped before may start again
    m_hWnd = hWnd;
    m_message = message;
    m_intervalMs = intervalMs;
    m_bCursorPos = bCursorPos;
    m_pThread = AfxBeginThread(pfnEntry, pParam, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pThread) {
        m_pThread->m_bAutoDelete = FALSE;
        m_pThread->ResumeThread();
    }
}

UINT CTickPoster::Run() {
    while (!::InterlockedCompareExchange(&m_nStop, 0, 0)) {
        ::Sleep(m_intervalMs);
        if (::InterlockedCompareExchange(&m_nStop, 0, 0))
            break;
        if (!m_bCursorPos) {
            ::PostMessageW(m_hWnd, m_message, 0, 0);
            continue;
        }
        POINT p = {};
        if (::GetCursorPos(&p))
            ::PostMessageW(m_hWnd, m_message, 0, MAKELPARAM(p.x, p.y));
    }
    return 0;
}

void CTickPoster::Stop() {
    ::InterlockedExchange(&m_nStop, 1);
    if (!m_pThread)
        return;
    ::WaitForSingleObject(m_pThread->m_hThread, INFINITE);
    delete m_pThread;
    m_pThread = nullptr;
}
