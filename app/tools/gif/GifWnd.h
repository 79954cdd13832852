// CGifWnd: the animated-GIF maker. The user adds image files as frames,
// orders them, gives each a delay (tenths of a second) and optionally makes
// the colour of its first pixel transparent, previews the animation, resizes
// every frame at once, and writes one animated GIF, endless or played once.
#pragma once

#include "Afx.h"
#include "app/continuous/DrawStaticWnd.h"
#include "app/tools/gif/GifListBoxWnd.h"
#include "widgets/ResizableDialog.h"

#include <vector>

class CGifWnd : public CResizableDialog {
public:
    explicit CGifWnd(CWnd* pParent = nullptr);

    // Adds the files in order as frames with the delay edit's time; every file
    // that cannot be read is reported by name at the end. Returns the number
    // of frames added.
    int AddFiles(const std::vector<CString>& paths);
    // Builds the GIF into `path`; false when it could not start (the user has been told why).
    bool MakeGif(const CString& path);
    // Resizes every frame; false for a size out of range (the user has been told).
    bool ResizeFrames(int width, int height);

    CGifListBoxWnd& GetFrameList() { return m_wndFrames; }
    CDrawStaticWnd& GetPreview() { return m_wndPreview; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnAdd();
    afx_msg void OnRemove();
    afx_msg void OnUp();
    afx_msg void OnDown();
    afx_msg void OnFrameSelChange();
    afx_msg void OnSetDelay();
    afx_msg void OnSetAllDelays();
    afx_msg void OnTransparent();
    afx_msg void OnPlay();
    afx_msg void OnStop();
    afx_msg void OnResize();
    afx_msg void OnMake();
    afx_msg LRESULT OnGifProgress(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    // The preview shows the selected frame; called after every change of the list.
    void ShowSelectedFrame();
    // Editing is off while the preview plays or a build runs.
    void UpdateControls();
    bool ReadDelay();

    CGifListBoxWnd m_wndFrames;
    CDrawStaticWnd m_wndPreview;
    CProgressCtrl m_wndProgress;
    CString m_strOutputPath;
    float m_fDelay = 5.0f;  // tenths of a second
    int m_bTransparent = 0;
    int m_bLoop = 1;
};
