// CFramePieces: the eight bitmaps of the skinned tool-window frame (caption ends
// and middle, side borders, bottom corners and edge), each selected into its
// own memory DC once so that every non-client paint is a few blits.
#pragma once

#include "Afx.h"
#include "app/regions/RegionGeometry.h"

class CFramePieces {
public:
    CFramePieces() = default;
    ~CFramePieces() { Free(); }
    CFramePieces(const CFramePieces&) = delete;
    CFramePieces& operator=(const CFramePieces&) = delete;

    // Loads the bitmaps from the program's resources, with DCs compatible with
    // pWnd's window DC. FALSE (and nothing held) when one of them is missing.
    BOOL Load(CWnd* pWnd);
    BOOL IsLoaded() const { return m_loaded; }
    // Paints the frame onto a window DC of a width x height window whose caption
    // is `caption` pixels high.
    void Paint(CDC* pWindowDC, int width, int height, int caption) const;
    // Selects the original bitmaps back and deletes the bitmaps and DCs.
    void Free();

private:
    struct Piece {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ replaced = nullptr;
        int width = 0;
        int height = 0;
    };
    Piece m_pieces[FRAME_PIECE_COUNT];
    bool m_loaded = false;
};
