// Scoped GDI handles for the capture code: each deletes what it created and
// restores what it selected, so no path through a capture leaks a handle.
#pragma once

#include "Afx.h"

#include <utility>

template <typename Handle, BOOL(WINAPI* Free)(Handle)>
class ScopedGdiHandle {
public:
    ScopedGdiHandle() = default;
    explicit ScopedGdiHandle(Handle handle) : m_handle(handle) {}
    ~ScopedGdiHandle() { Reset(); }
    ScopedGdiHandle(const ScopedGdiHandle&) = delete;
    ScopedGdiHandle& operator=(const ScopedGdiHandle&) = delete;

    Handle Get() const { return m_handle; }
    Handle Release() { return std::exchange(m_handle, Handle()); }
    void Reset(Handle handle = Handle()) {
        if (m_handle)
            Free(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Handle();
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ object) { return DeleteObject(object); }
inline BOOL WINAPI DeleteBitmapObject(HBITMAP bitmap) { return DeleteObject(bitmap); }
inline BOOL WINAPI DeleteFontObject(HFONT font) { return DeleteObject(font); }
inline BOOL WINAPI DeleteBrushObject(HBRUSH brush) { return DeleteObject(brush); }
inline BOOL WINAPI DeletePenObject(HPEN pen) { return DeleteObject(pen); }

using ScopedBitmapHandle = ScopedGdiHandle<HBITMAP, DeleteBitmapObject>;
using ScopedFont = ScopedGdiHandle<HFONT, DeleteFontObject>;
using ScopedBrush = ScopedGdiHandle<HBRUSH, DeleteBrushObject>;
using ScopedPen = ScopedGdiHandle<HPEN, DeletePenObject>;
using ScopedDc = ScopedGdiHandle<HDC, DeleteDC>;
using ScopedIcon = ScopedGdiHandle<HICON, DestroyIcon>;

// A memory context compatible with `reference` (the screen when null).
class ScopedMemoryDc : public ScopedDc {
public:
    explicit ScopedMemoryDc(HDC reference) : ScopedDc(CreateCompatibleDC(reference)) {}
};

// A window's context from GetDC (the whole screen for a null window), released on every path.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND hWnd) : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    ~ScopedWindowDc() {
        if (m_hDC)
            ReleaseDC(m_hWnd, m_hDC);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC Get() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// What the screen shows at p (through the compositor, where one runs); CLR_INVALID when unreadable.
inline COLORREF ScreenPixelAt(POINT p) {
    ScopedWindowDc screen(nullptr);
    return screen.Get() ? GetPixel(screen.Get(), p.x, p.y) : CLR_INVALID;
}

// Selects an object into a context and selects the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// GetIconInfo hands out two bitmaps the caller must delete.
class ScopedIconInfo {
public:
    explicit ScopedIconInfo(HICON icon) { m_ok = icon && GetIconInfo(icon, &m_info); }
    ~ScopedIconInfo() {
        if (m_info.hbmMask)
            DeleteObject(m_info.hbmMask);
        if (m_info.hbmColor)
            DeleteObject(m_info.hbmColor);
    }
    ScopedIconInfo(const ScopedIconInfo&) = delete;
    ScopedIconInfo& operator=(const ScopedIconInfo&) = delete;
    bool IsValid() const { return m_ok; }
    const ICONINFO& Get() const { return m_info; }

private:
    ICONINFO m_info = {};
    bool m_ok = false;
};
