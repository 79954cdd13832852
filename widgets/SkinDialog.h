// CSkinDialog: the base of the borderless, skinned capture windows.
//
// Paints a bitmap as the background in one of several placements, moves the
// window when it is pressed anywhere on its surface, and makes it layered
// (colour key and constant alpha) where the system can.
#pragma once

#include "Afx.h"

class CSkinDialog : public CDialog {
public:
    enum BackgroundStyle {
        BACKGROUND_TOPLEFT = 0,  // unscaled at the top-left corner
        BACKGROUND_TILE = 1,     // tiled from the top-left corner
        BACKGROUND_CENTER = 2,   // unscaled, centred
        BACKGROUND_STRETCH = 3,  // stretched over the client area
        BACKGROUND_TOPLEFT_2 = 4,
    };

    explicit CSkinDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CSkinDialog() override;

    // Takes ownership of the bitmap (a null one removes the background). A
    // handle that is not a bitmap is refused and left alone: FALSE.
    BOOL SetBitmap(HBITMAP hBitmap);
    void SetBackgroundStyle(int nStyle) { m_nBackgroundStyle = nStyle; }
    // Makes the window layered; FALSE where the system cannot.
    BOOL SetLayeredAttributes(COLORREF crKey, BYTE bAlpha, DWORD dwFlags);
    void EnableDrag(BOOL bEnable) { m_bDragAnywhere = bEnable; }

    BOOL OnInitDialog() override;

protected:
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnSize(UINT nType, int cx, int cy);

    BOOL m_bDragAnywhere = TRUE;
    HBITMAP m_hBitmap = nullptr;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    int m_nBackgroundStyle = BACKGROUND_TOPLEFT;

    using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    // Looked up in USER32.DLL; null where the system lacks it.
    static SetLayeredWindowAttributesFn s_pfnSetLayeredWindowAttributes;

    DECLARE_MESSAGE_MAP()
};
