// CNavigatorWnd: the navigator capture frame. A see-through, movable and
// sizable frame whose caption carries four buttons: close, capture (one shot
// of the inside), continuous capture (opens the continuous-capture panel,
// which then runs timed series through this window) and the control speed
// capture (highlight the window under the pointer, count down, capture it).
// The main dialog runs it modally; shots go to the capture engine.
#pragma once

#include "Afx.h"
#include "app/continuous/ContinueWnd.h"
#include "app/continuous/NavigatorGeometry.h"
#include "app/finder/WindowHighlight.h"
#include "app/regions/FramedSkinDialog.h"

#include <array>
#include <memory>

class CCaptureEngine;

class CNavigatorWnd : public CFramedSkinDialog {
public:
    explicit CNavigatorWnd(CWnd* pParent = nullptr);
    ~CNavigatorWnd() override;

    // Where the shots go; without an engine a shot is dropped.
    void AttachEngine(CCaptureEngine* engine) { m_pEngine = engine; }

    // The panel's start: `total` shots `intervalMs` apart in `mode` (0 to 2).
    // False when the frame is busy (a series still ending, a speed capture).
    virtual bool StartContinueCapture(int total, int intervalMs, int mode);
    // The program is leaving, as the user agreed: the panel and the frame end
    // without asking again.
    void CloseForExit();
    // The box or dialog that the navigator or its open panel shows over
    // itself, to be answered first; null when there is none.
    HWND OwnPopupInFront() const;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // What the caption shows and where, for tests and the panel.
    int GetStatus() const { return m_nStatus; }
    bool IsNumberMode() const { return m_bNumberMode; }
    bool IsBusy() const { return m_activity != Activity::Resting; }
    RECT GetCaptureRect() const { return m_rcCapture; }
    RECT GetButtonRect(int button) const;
    // The continuous-capture panel the continuous button runs.
    CContinueWnd& GetContinuePanel() { return m_wndContinue; }

protected:
    void PostNcDestroy() override;

    afx_msg LRESULT OnNcHitTest(CPoint point);
    afx_msg void OnNcLButtonDown(UINT nHitTest, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    enum class Activity { Resting, Speed, Series };
    static constexpr UINT_PTR kSeriesStartTimer = 7;
    static constexpr UINT_PTR kSeriesShotTimer = 8;
    static constexpr UINT_PTR kSeriesEndTimer = 9;

    // Frame pieces, caption metrics, images, tool tips and font; once per window.
    void SetUpFrame() override;
    void FreeFrame();
    void PaintFrame() override;
    void DrawButton(CDC* pDC, int button, bool hot) const;
    void SetStatus(int status);
    void UpdateToolRects();

    void PressButton(int button);
    // The inside of the frame as it is now.
    RECT InsideRect() const;
    void CaptureInside();

    void StartSpeedCapture();
    void OnBlinkTick();
    void OnSpeedTick(UINT_PTR timer);
    // The red frame over `rect`, toggled; with `erase` the window under it
    // repaints completely.
    void ReturnHome();

    // Gives a shot (a memory DC and its bitmap, both handed over) to the engine
    // as a capture of m_rcCapture.
    void HandOver(HDC dc, HBITMAP bitmap, BOOL noList, bool series, int count);
    void TakeSeriesShot();
    void EndSeries();
    // The panel's side of a series.
    void RunContinuePanel();
    bool IsPanelRunning() const;
    void ReportShots(int shots);
    void KeepBitmapFrame(HBITMAP bitmap, int width, int height);
    void LoadBitmapFrames();
    // Shots of a bitmap series that no panel will take.
    static void FreeUntakenBitmaps();

    CCaptureEngine* m_pEngine = nullptr;
    int m_nStatus = 0;       // string id, or the shot number in number mode
    int m_nCounter = 0;      // countdown step or shots taken
    std::array<NavRect, NAV_BUTTON_COUNT> m_buttons = {};
    int m_nHotButton = -1;
    CFont m_captionFont;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    CImageList m_buttonImages;
    RECT m_rcCapture = {};
    RECT m_rcSaved = {};

    // Speed capture.
    CWindowHighlight m_highlight{RGB(255, 0, 0), 4};  // the speed capture's blinking red frame

    // Series.
    int m_nInterval = 0;
    int m_nTotal = 0;
    bool m_bNumberMode = false;
    int m_nMode = 0;
    Activity m_activity = Activity::Resting;
    // Runs modally over the navigator while open.
    CContinueWnd m_wndContinue{this, this};
};
