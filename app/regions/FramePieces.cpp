#include "app/regions/FramePieces.h"

#include "resources/resource.h"

namespace {

// In painting order, matching FramePiece.
const UINT kPieceBitmaps[FRAME_PIECE_COUNT] = {
    IDB_FRAME_CAPTION_LEFT, IDB_FRAME_CAPTION_RIGHT, IDB_FRAME_CAPTION_MIDDLE, IDB_FRAME_LEFT,
    IDB_FRAME_RIGHT,        IDB_FRAME_BOTTOM_LEFT,   IDB_FRAME_BOTTOM_RIGHT,   IDB_FRAME_BOTTOM,
};

}  // namespace

BOOL CFramePieces::Load(CWnd* pWnd) {
    Free();
    HDC windowDc = ::GetWindowDC(pWnd ? pWnd->GetSafeHwnd() : nullptr);
    bool ok = true;
    for (int i = 0; i < FRAME_PIECE_COUNT && ok; ++i) {
        Piece& piece = m_pieces[i];
        piece.bitmap = static_cast<HBITMAP>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kPieceBitmaps[i]),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        piece.dc = ::CreateCompatibleDC(windowDc);
        BITMAP bm = {};
        ok = piece.bitmap && piece.dc && ::GetObjectW(piece.bitmap, sizeof(bm), &bm);
        if (ok) {
            piece.width = bm.bmWidth;
            piece.height = bm.bmHeight;
            piece.replaced = ::SelectObject(piece.dc, piece.bitmap);
        }
    }
    ::ReleaseDC(pWnd ? pWnd->GetSafeHwnd() : nullptr, windowDc);
    m_loaded = ok;
    if (!ok)
        Free();
    return ok;
}

void CFramePieces::Paint(CDC* pWindowDC, int width, int height, int caption) const {
    if (!m_loaded || !pWindowDC || !pWindowDC->m_hDC)
        return;
    const auto layout = FrameLayout(width, height, caption);
    const int oldMode = ::SetStretchBltMode(pWindowDC->m_hDC, COLORONCOLOR);
    for (int i = 0; i < FRAME_PIECE_COUNT; ++i) {
        const FramePlacement& at = layout[i];
        const Piece& piece = m_pieces[i];
        if (at.width <= 0 || at.height <= 0)
            continue;
        if (at.width == piece.width && at.height == piece.height)
            ::BitBlt(pWindowDC->m_hDC, at.x, at.y, at.width, at.height, piece.dc, 0, 0, SRCCOPY);
        else
            ::StretchBlt(pWindowDC->m_hDC, at.x, at.y, at.width, at.height, piece.dc, 0, 0, piece.width, piece.height,
                         SRCCOPY);
    }
    if (oldMode)
        ::SetStretchBltMode(pWindowDC->m_hDC, oldMode);
}

void CFramePieces::Free() {
    for (Piece& piece : m_pieces) {
        if (piece.dc && piece.replaced)
            ::SelectObject(piece.dc, piece.replaced);
        if (piece.bitmap)
            ::DeleteObject(piece.bitmap);
        if (piece.dc)
            ::DeleteDC(piece.dc);
        piece = Piece();
    }
    m_loaded = false;
}
