// The GDI+ flat API, which is all the capture code uses of GDI+: no wrapper
// objects hide a status code or a delete.
#pragma once

#include "Afx.h"

#include <gdiplus.h>

namespace gdip {
using namespace Gdiplus::DllExports;
using Gdiplus::GpBitmap;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpImageAttributes;
using Gdiplus::GpMatrix;
using Gdiplus::GpStatus;
using Gdiplus::Ok;

// Owns one GDI+ bitmap; null when creation failed.
class ScopedBitmap {
public:
    ScopedBitmap() = default;
    explicit ScopedBitmap(GpBitmap* bitmap) : m_bitmap(bitmap) {}
    ~ScopedBitmap() { Reset(); }
    ScopedBitmap(const ScopedBitmap&) = delete;
    ScopedBitmap& operator=(const ScopedBitmap&) = delete;

    GpBitmap* Get() const { return m_bitmap; }
    GpBitmap** Out() { Reset(); return &m_bitmap; }
    GpBitmap* Release() { GpBitmap* b = m_bitmap; m_bitmap = nullptr; return b; }
    void Reset(GpBitmap* bitmap = nullptr) {
        if (m_bitmap)
            GdipDisposeImage(reinterpret_cast<GpImage*>(m_bitmap));
        m_bitmap = bitmap;
    }

private:
    GpBitmap* m_bitmap = nullptr;
};

class ScopedGraphics {
public:
    explicit ScopedGraphics(GpBitmap* target) {
        if (target)
            GdipGetImageGraphicsContext(reinterpret_cast<GpImage*>(target), &m_graphics);
    }
    ~ScopedGraphics() { if (m_graphics) GdipDeleteGraphics(m_graphics); }
    ScopedGraphics(const ScopedGraphics&) = delete;
    ScopedGraphics& operator=(const ScopedGraphics&) = delete;
    GpGraphics* Get() const { return m_graphics; }

private:
    GpGraphics* m_graphics = nullptr;
};

class ScopedAttributes {
public:
    ScopedAttributes() { GdipCreateImageAttributes(&m_attributes); }
    ~ScopedAttributes() { if (m_attributes) GdipDisposeImageAttributes(m_attributes); }
    ScopedAttributes(const ScopedAttributes&) = delete;
    ScopedAttributes& operator=(const ScopedAttributes&) = delete;
    GpImageAttributes* Get() const { return m_attributes; }

private:
    GpImageAttributes* m_attributes = nullptr;
};

class ScopedMatrix {
public:
    ScopedMatrix() { GdipCreateMatrix(&m_matrix); }
    ~ScopedMatrix() { if (m_matrix) GdipDeleteMatrix(m_matrix); }
    ScopedMatrix(const ScopedMatrix&) = delete;
    ScopedMatrix& operator=(const ScopedMatrix&) = delete;
    GpMatrix* Get() const { return m_matrix; }

private:
    GpMatrix* m_matrix = nullptr;
};
}  // namespace gdip
