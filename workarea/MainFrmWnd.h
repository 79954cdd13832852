// The work-area frame embedded in the main dialog: docked bars around the
// tabbed view. The main dialog creates it with new and deletes it; the frame
// owns its view and bar objects.
#pragma once

#include "Afx.h"
#include "DialogBar.h"
#include "FrameWnd.h"
#include "widgets/ResizeableDlgBar.h"
#include "workarea/FormViewWnd.h"

#include <memory>

class CMainFrmWnd : public CFrameWnd {
public:
    CMainFrmWnd();
    ~CMainFrmWnd() override;

    CFormViewWnd* GetView() const { return m_pView.get(); }

    // Bars shown after a pane opens a tab; null while they do not exist.
    CControlBar* GetPaletteBar() const { return Existing(m_pPaletteBar); }
    CControlBar* GetImageToolBar() const { return Existing(&m_wndImageBar); }
    // The bars beside the view: the colour and magnifier bar, the quick options bar.
    CControlBar* GetColorBar() const { return Existing(m_pColorBar); }
    CControlBar* GetQuickBar() const { return Existing(m_pQuickBar); }
    // Creates a dialog bar in this frame from its template, gives it the
    // template's size docked and floating (a floating size also becomes the
    // docked one) and docks it on its own side.
    BOOL CreateDialogBar(CResizeableDlgBar& bar, UINT nIDTemplate, UINT nStyle, UINT nID);
    // The colour bar and the quick options bar, once created by CreateDialogBar.
    void AttachColorBar(CControlBar* pBar);
    void AttachQuickBar(CControlBar* pBar);
    void AttachPaletteBar(CControlBar* pBar) { m_pPaletteBar = pBar; }

    // Shows a bar at once and lays the frame out again. A shown bar that
    // leaves the view too little room widens the top-level window by what is
    // missing, kept inside the work area of its screen.
    void ShowBar(CControlBar* pBar, BOOL bShow);
    // The narrowest client width that holds the bars on show beside the
    // view at its minimum width.
    int GetMinimumWidth();
    // Widens the top-level window by what the view is missing of that, kept
    // inside the work area of its screen.
    void MakeRoomForView();

protected:
    static CControlBar* Existing(const CControlBar* pBar) {
        return pBar && pBar->m_hWnd ? const_cast<CControlBar*>(pBar) : nullptr;
    }

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    DECLARE_MESSAGE_MAP()

private:
    std::unique_ptr<CFormViewWnd> m_pView;
    CToolBar m_wndMainBar;
    CToolBar m_wndImageBar;
    CControlBar* m_pPaletteBar = nullptr;
    CControlBar* m_pColorBar = nullptr;
    CControlBar* m_pQuickBar = nullptr;
};
