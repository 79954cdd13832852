// CContinueListBoxWnd: the frame list of the continuous-capture panel. Each
// item owns one ContinueFrame, drawn as a card with a thumbnail and four text
// lines. It adds frames from files or bitmaps, edits their times and sizes,
// deletes them, and builds one animated GIF of all frames on a worker thread.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameCard.h"
#include "app/continuous/FrameRecord.h"
#include "app/continuous/GifBuildJob.h"

class CContinueListBoxWnd : public CListBox {
public:
    static constexpr int kItemHeight = kFrameCardHeight;

    CContinueListBoxWnd() = default;
    // Joins a running build; records are freed by ClearFrames, not here.
    ~CContinueListBoxWnd() override;

    // Empties both series lists (freeing the bitmaps still in them) and sets the list's font.
    void Init();
    int AddFileFrame(const CString& path, float time);
    // The frame keeps its own copy; the caller keeps `bitmap`.
    int AddBitmapFrame(HBITMAP bitmap, float time);
    void ClearFrames();
    // `deleteFile`: the frame's file goes from disk as well. Nothing selected: nothing happens.
    void DeleteSelectedFrame(BOOL deleteFile);
    void SetSelectedFrameTime(float time);
    void SetAllFrameTimes(float time);
    void ResizeAllFrames(int width, int height);
    ContinueFrame* GetFrame(int index) const;
    ContinueFrame* GetSelectedFrame() const { return GetFrame(GetCurSel()); }

    // Starts the GIF build of every frame. False (and nothing started) when a
    // build runs already or no frame has a picture. The parent gets
    // WM_GIF_PROGRESS (0, 0) at the start and (total, index) per frame, then
    // WM_GIF_DONE with wParam the GifBuildStatus once the thread is joined.
    bool StartGifBuild(const CString& path, BOOL loop);
    bool IsBuilding() const { return m_build.IsRunning(); }
    // The last finished build's outcome.
    const GifBuildResult& GetBuildResult() const { return m_build.Result(); }

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

protected:
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    int AppendFrame(ContinueFrame* frame);
    void JoinBuild();

    CGifBuildJob m_build;
    CString m_strOutputPath;
    BOOL m_bLoop = FALSE;
    CFont m_font;
    HWND m_hNotify = nullptr;  // the parent, taken on the UI thread before the build
};
