// CControlWnd: the control finder. A practically invisible 3 x 3 window that
// sits under the pointer holding the mouse (its capture and a pointer hook),
// makes the window or control under the pointer blink with a green frame, and
// on a click hands its rectangle to the capture callback. Run modally; ends
// through the cancel path.
#pragma once

#include "app/finder/PointerHook.h"
#include "app/finder/WindowHighlight.h"
#include "widgets/SkinDialog.h"

#include <functional>

class CControlWnd : public CSkinDialog {
public:
    enum { IDD = 188 };
    // Receives the screen rectangle to capture; called at most once.
    using CaptureFn = std::function<void(const RECT&)>;

    explicit CControlWnd(CaptureFn capture);
    ~CControlWnd() override;

    BOOL OnInitDialog() override;

protected:
    void OnCancel() override;

    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnPointerButton(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    static constexpr UINT_PTR kBlinkTimer = 6;
    static constexpr UINT kBlinkMs = 200;

    // Puts the window under the pointer at `p`: 3 x 3 while searching, 1 x 1 once pressed.
    void FollowPointer(POINT p);
    // The window or control under the pointer, looked for just beside the finder itself.
    HWND WindowUnderPointer() const;
    void Press();
    void Release();
    // Stops searching: timer off, a frame still on the screen removed.
    void StopSearching();
    // Ends the pointer hook's work for the finder; once the hook is gone the
    // frame's removal may wait for other programs.
    void StopHook();
    // Every end: searching stopped, nothing more captured; the window goes
    // once no button whose press the hook took is down.
    void Finish();
    // Capture given back, hook gone, dialog ended.
    void End();

    CaptureFn m_capture;
    // Its rectangle at the last blink is what a click captures.
    CWindowHighlight m_highlight{0x15A600, 4};  // green
    CPointerHook m_hook;
    bool m_bTimer = false;
    bool m_bPressed = false;
    bool m_bReleased = false;  // the capture is asked for: the window stays out of the picture
    bool m_bReleasing = false;    // our own ReleaseCapture: not a lost capture
    bool m_bFinished = false;
    bool m_bEnded = false;
};
