// CContinueListBoxWnd: the frame list of the continuous-capture panel. Each
// item owns one ContinueFrame, drawn as a card with a thumbnail and four text
// lines. It adds frames from files or bitmaps, edits their times and sizes,
// deletes them, and builds one animated GIF of all frames on a worker thread.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameListBox.h"

class CContinueListBoxWnd : public CFrameListBox<ContinueFrame> {
public:
    static constexpr int kItemHeight = kFrameCardHeight;

    CContinueListBoxWnd() = default;
    // Joins a running build; records are freed by ClearFrames, not here.
    ~CContinueListBoxWnd() override;

    // Empties both series lists (freeing the bitmaps still in them) and sets the list's font.
    void Init();
    // Empties both series lists: the shots a series has taken but not yet
    // handed over as frames are freed and never become frames.
    static void DiscardPendingShots();
    int AddFileFrame(const CString& path, float time);
    // The frame keeps its own copy; the caller keeps `bitmap`.
    int AddBitmapFrame(HBITMAP bitmap, float time);
    // `deleteFile`: the file its series wrote goes from disk as well; a frame
    // without one (held only in memory) deletes nothing. Nothing selected: nothing happens.
    void DeleteSelectedFrame(BOOL deleteFile);
    void ResizeAllFrames(int width, int height);

    // Starts the GIF build of every frame. False (and nothing started) when a
    // build runs already or no frame has a picture. The parent gets
    // WM_GIF_PROGRESS (0, 0) at the start and (total, index) per frame, then
    // WM_GIF_DONE with wParam the GifBuildStatus once the thread is joined.
    bool StartGifBuild(const CString& path, BOOL loop);

protected:
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    int AppendFrame(ContinueFrame* frame);
    void JoinBuild();

    CString m_strOutputPath;
    BOOL m_bLoop = FALSE;
    CFont m_font;
    HWND m_hNotify = nullptr;  // the parent, taken on the UI thread before the build
};
