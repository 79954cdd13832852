// CSpoideWnd: the eyedropper. Run modally, it turns the pointer into the
// eyedropper cursor and follows it with a 20 x 20 practically invisible window
// that holds the mouse, so the click never reaches the window below.
//
//     CSpoideWnd spoide;
//     if (spoide.DoModal() == IDOK)
//         colour = spoide.GetPickedColor();   // or read at spoide.GetPickedPoint()
//
// DoModal gives IDOK at the first left click (picked at the press, ended at
// the release, which is the eyedropper's too), IDCANCEL on Escape or when
// another window takes the mouse away before the press.
#pragma once

#include "app/finder/PointerHook.h"
#include "widgets/SkinDialog.h"

class CSpoideWnd : public CSkinDialog {
public:
    enum { IDD = 261 };
    static constexpr UINT kCursorId = 208;  // the eyedropper; its hot spot is the tip

    CSpoideWnd();
    ~CSpoideWnd() override;

    BOOL OnInitDialog() override;

    // Where the click was, in screen coordinates (valid after IDOK).
    CPoint GetPickedPoint() const { return m_ptPicked; }
    // The screen's colour at the picked point now; call it after DoModal, when
    // the eyedropper window is gone. CLR_INVALID when the screen cannot be read.
    COLORREF GetPickedColor() const;

protected:
    void OnCancel() override;

    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnPointerButton(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void FollowCursor();
    void FollowPointer(POINT p);
    void End(int nResult);

    CPointerHook m_hook;
    CPoint m_ptPicked;
    bool m_bPicked = false;
    bool m_bEnded = false;
};
