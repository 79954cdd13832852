// CDrawStaticWnd: a static control that paints itself in one of five modes
// chosen by its owner: a section header, a picture preview that can also play
// a list of frames, a base picture under a half-transparent overlay, a colour
// swatch, and a text rendered in a given font and colours into a bitmap.
//
// The owner subclasses a static of its dialog, sets m_nMode and the fields of
// that mode, then calls the setters. The control owns none of the bitmaps it
// shows.
#pragma once

#include "Afx.h"

#include <gdiplus.h>

// The two groups of four margins (left, top, right, bottom) that the overlay
// preview's owner shows in its margin edits; SetCenter writes them here.
struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class ICentringMarginsOwner {
public:
    virtual ~ICentringMarginsOwner() = default;
    // Stores both groups and shows them in the owner's controls.
    virtual void SetCentringMargins(const FrameMargins& first, const FrameMargins& second) = 0;
};

class CDrawStaticWnd : public CStatic {
public:
    enum Mode { kHeader = 0, kPicture = 1, kOverlay = 2, kSwatch = 3, kText = 4 };
    // Timer of the animation, and the command posted to the parent when a
    // non-looping animation has shown its last frame.
    static constexpr UINT_PTR kAnimationTimer = 15;
    static constexpr int kAnimationEndCommand = 1074;
    // Shown where there is nothing to draw.
    static constexpr COLORREF kEmptyColour = RGB(152, 151, 126);

    CDrawStaticWnd();
    ~CDrawStaticWnd() override;

    // Plays the list's frames (item data: FrameRecord*) from the current
    // index; ignored while a list plays or when the list is empty.
    void PlayFrames(CListBox* pList);
    // Stops a running animation without notifying the parent.
    void StopFrames();
    bool IsPlaying() const { return m_bPlaying; }

    // Overlay mode: lays out base and overlay in the control and repaints.
    void FitImage(HBITMAP base, int baseWidth, int baseHeight, HBITMAP overlay, int overlayWidth,
                  int overlayHeight);
    // Overlay mode: the centring margins go to the margins owner (both groups).
    void SetCenter(bool ownKey);
    void SetMarginsOwner(ICentringMarginsOwner* owner) { m_pMarginsOwner = owner; }

    // Text mode.
    void SetText(const CString& text, CFont* pFont, COLORREF background, COLORREF textColour);
    // Hands out the last rendered text as a new bitmap on opaque black (kept
    // as the rendered text bitmap, which the next text-mode paint deletes).
    // Null and a zero size when nothing has been rendered since the last call.
    void TakeTextBitmap(SIZE& size, HBITMAP& bitmap);

    // Fields written by the owner.
    int m_nMode = kHeader;
    CFont* m_pFont = nullptr;        // text mode
    HBITMAP m_hPicture = nullptr;    // picture mode
    HBITMAP m_hBase = nullptr;       // overlay mode
    HBITMAP m_hOverlay = nullptr;    // overlay mode
    COLORREF m_crSwatch = 0;
    COLORREF m_crTextBack = 0;
    COLORREF m_crText = 0;
    int m_bOwnKey = 0;      // overlay keeps its own transparent colour and is centred
    BYTE m_bCentre = 0;     // overlay alone, framed by the centring margins
    BYTE m_bLoop = 0;       // animation starts again after its last frame
    int m_nPictureWidth = 0;
    int m_nPictureHeight = 0;
    int m_nUserMarginTop = 0;
    int m_nUserMarginLeft = 0;
    int m_nUserMarginRight = 0;
    int m_nUserMarginBottom = 0;
    int m_nTransparent = 0;  // of the frame shown; the preview shows no transparency
    int m_nCurrentFrame = 0;

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void PaintHeader(HDC dc);
    void PaintPicture(HDC dc);
    void PaintOverlay(HDC dc);
    void PaintSwatch(HDC dc);
    void PaintText(HDC dc);
    RECT InsetRect() const;
    RECT FrameRect() const;  // the window rectangle in client coordinates, less 1 pixel
    void StopAnimation();

    CListBox* m_pPlayedList = nullptr;
    bool m_bPlaying = false;
    int m_nRefWidth = 0;
    int m_nRefHeight = 0;

    CString m_strText;
    HBITMAP m_hTextBitmap = nullptr;           // last handed out by TakeTextBitmap
    Gdiplus::GpBitmap* m_pTextImage = nullptr;  // last text-mode rendering

    // Overlay layout
    int m_nMarginLeft = 0, m_nMarginTop = 0, m_nMarginRight = 0, m_nMarginBottom = 0;
    int m_nBaseScaledWidth = 0, m_nBaseScaledHeight = 0;
    int m_nOffsetX = 0, m_nOffsetY = 0;
    int m_nGivenBaseWidth = 0, m_nGivenBaseHeight = 0;
    int m_nGivenOverlayWidth = 0, m_nGivenOverlayHeight = 0;
    ICentringMarginsOwner* m_pMarginsOwner = nullptr;
};
