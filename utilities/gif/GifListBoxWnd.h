// CGifListBoxWnd: the GIF maker's frame list. Each item owns one GifFrameItem,
// drawn as a card like continuous capture's frames. Frames come from image
// files (every frame of an animated GIF), can be removed, reordered, timed and
// resized, and are built into one animated GIF on a worker thread.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameRecord.h"
#include "app/continuous/GifBuildJob.h"

class CGifListBoxWnd : public CListBox {
public:
    CGifListBoxWnd() = default;
    ~CGifListBoxWnd() override;

    // Appends the file's picture, or every frame of an animated GIF (each with
    // its own delay when it has one, else `time`). Returns the number of frames
    // added; 0 when the file cannot be read.
    int AddImageFile(const CString& path, float time);
    // Frees every frame; nothing happens while a build reads them.
    void ClearFrames();
    bool DeleteSelectedFrame();
    // Moves the selected frame by `offset` places; false at either end.
    bool MoveSelectedFrame(int offset);
    void SetSelectedFrameTime(float time);
    void SetAllFrameTimes(float time);
    void SetSelectedTransparent(int transparent);
    // Returns the number of frames resized.
    int ResizeAllFrames(int width, int height);
    GifFrameItem* GetFrame(int index) const;
    GifFrameItem* GetSelectedFrame() const { return GetFrame(GetCurSel()); }

    // Starts the build of every frame into `path`. The parent gets
    // WM_GIF_PROGRESS, then WM_GIF_DONE with wParam the GifBuildStatus once the
    // thread is joined. False while a build runs or when no frame has a picture.
    bool StartGifBuild(const CString& path, BOOL loop);
    bool IsBuilding() const { return m_build.IsRunning(); }
    const GifBuildResult& GetBuildResult() const { return m_build.Result(); }

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

protected:
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    int InsertFrame(int index, GifFrameItem* frame);

    CGifBuildJob m_build;
};
