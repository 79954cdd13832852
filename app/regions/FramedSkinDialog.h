// CFramedSkinDialog: a skinned tool window that paints its own frame from
// CFramePieces over whatever the system drew: every non-client paint,
// activation, erase and paint ends with the frame painted again.
#pragma once

#include "Afx.h"
#include "app/regions/FramePieces.h"
#include "widgets/SkinDialog.h"

class CFramedSkinDialog : public CSkinDialog {
public:
    using CSkinDialog::CSkinDialog;

protected:
    // Loads the frame and what its painting needs; runs again harmlessly.
    virtual void SetUpFrame() = 0;
    virtual void PaintFrame() = 0;

    // The frame, dragging anywhere, the stretched region background and the
    // layered look; where the creation message came before the window was ours,
    // the frame is set up here.
    void SetUpSkin(COLORREF crKey, BYTE bAlpha);
    // The system's small caption with its frame and border.
    static int SystemCaptionHeight();
    // The main window's font (or the GUI font) at height 14 with the given weight.
    static void CreateMainFont(CFont& font, LONG weight);

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnNcPaint();
    afx_msg BOOL OnNcActivate(BOOL bActive);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();

    CFramePieces m_frame;
    int m_nCaptionHeight = 0;

    DECLARE_MESSAGE_MAP()
};
