// CContinueWnd: the continuous-capture panel. The user picks a mode, an
// interval and a number of shots; the owner (the navigator) takes them. In
// the two GIF modes the shots become frames of the list, which the user edits
// and writes as one animated GIF.
#pragma once

#include "Afx.h"
#include "app/continuous/ContinueListBoxWnd.h"

class CNavigatorWnd;

class CContinueWnd : public CDialog {
public:
    // `navigator` takes the shots of the series the panel starts.
    explicit CContinueWnd(CNavigatorWnd* navigator, CWnd* pParent = nullptr);
    ~CContinueWnd() override;

    // The navigator, after every shot of a series.
    void UpdateCaptureCount(int shots);
    // The finished (or stopped) series' files / bitmaps become frames.
    void LoadCapturedFiles();
    void LoadCapturedBitmaps();
    // The navigator checks this before every shot.
    bool IsSeriesRunning() const { return m_bRunning != 0; }

    // The capture engine finished a file series: the open panel, if any, loads it.
    static void OnCaptureSeriesComplete();
    static CContinueWnd* GetOpenPanel() { return s_pOpenPanel; }
    // Frames of a bitmap series, listed or still on their way to the list:
    // they exist nowhere else, so leaving the program loses them.
    int CountFramesOnlyInMemory() const;
    // Closes the panel without its question: the user has agreed to lose the frames.
    void CloseForExit();

    CContinueListBoxWnd& GetFrameList() { return m_wndFrames; }
    int GetMode() const { return m_nMode; }
    int GetProgressPercent() const { return m_nPercent; }
    bool IsCompressing() const { return m_bCompressing != 0; }

    // Builds the GIF of the frames into `path` with the loop check box's value.
    // False when it could not start (the user has been told why).
    bool MakeGif(const CString& path);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnModeCaptureOnly();
    afx_msg void OnModeFiles();
    afx_msg void OnModeBitmaps();
    afx_msg void OnReset();
    afx_msg void OnStart();
    afx_msg void OnStop();
    afx_msg void OnFrameSelChange();
    afx_msg void OnChangeFrameTime();
    afx_msg void OnChangeAllTimes();
    afx_msg void OnResizeAll();
    afx_msg void OnWidthUpdate();
    afx_msg void OnHeightUpdate();
    afx_msg void OnMakeGif();
    afx_msg void OnDeleteFrame();
    afx_msg LRESULT OnGifProgress(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

    void SetMode(int id);
    // A mode change the user asked for; false when the mode stays.
    bool ChangeMode(int id);
    // Frames held only in memory may go: true when there are none, or the user says so.
    bool MayDiscardFrames();
    // Time and count must allow a series; otherwise the user is told why and
    // the field gets the focus.
    bool CheckSeriesFields();
    void RefuseField(int id, LPCWSTR text);
    void ResetFields();
    // Beside the navigator's frame: a series captures the frame's inside, so
    // the panel never opens over it.
    void PlaceBesideFrame();
    void ShrinkPanel();
    void ShowFullPanel();
    void SetDoneLabel(int shots);
    void EnableCaptureControls(BOOL enable);
    void EnableGifControls(BOOL enable);
    RECT StatusStrip() const;
    // Shots of a bitmap series, taken or on their way: they exist nowhere else.
    bool HoldsFramesOnlyInMemory() const;

    CContinueListBoxWnd m_wndFrames;
    float m_fTime = 0.0f;        // tenths of a second
    int m_nCount = 0;
    int m_nMode = 0;
    float m_fFrameTime = 0.0f;   // tenths of a second
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_bKeepRatio = 1;
    int m_bLoop = 1;
    int m_nPercent = 0;
    BYTE m_bCompressing = 0;
    RECT m_rcFull = {};
    float m_fRefWidth = 0.0f;
    float m_fRefHeight = 0.0f;
    BYTE m_bRunning = 0;

private:
    // Taken when a series starts, so a series never re-reads the edits.
    int m_nSeriesCount = 0;
    float m_fSeriesTime = 0.0f;
    bool m_bSettingSize = false;  // a proportional update is being pushed
    CNavigatorWnd* m_pOwner;
    static CContinueWnd* s_pOpenPanel;
};
