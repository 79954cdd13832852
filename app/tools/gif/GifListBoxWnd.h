// CGifListBoxWnd: the GIF maker's frame list. Each item owns one GifFrameItem,
// drawn as a card like continuous capture's frames. Frames come from image
// files (every frame of an animated GIF), can be removed, reordered, timed and
// resized, and are built into one animated GIF on a worker thread.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameListBox.h"

class CGifListBoxWnd : public CFrameListBox<GifFrameItem> {
public:
    CGifListBoxWnd() = default;
    ~CGifListBoxWnd() override;

    // Appends the file's picture, or every frame of an animated GIF (each with
    // its own delay when it has one, else `time`). Returns the number of frames
    // added; 0 when the file cannot be read.
    int AddImageFile(const CString& path, float time);
    bool DeleteSelectedFrame();
    // Moves the selected frame by `offset` places; false at either end.
    bool MoveSelectedFrame(int offset);
    void SetSelectedTransparent(int transparent);
    // Returns the number of frames resized.
    int ResizeAllFrames(int width, int height) { return ResizeFrames(width, height); }

    // Starts the build of every frame into `path`. The parent gets
    // WM_GIF_PROGRESS, then WM_GIF_DONE with wParam the GifBuildStatus once the
    // thread is joined. False while a build runs or when no frame has a picture.
    bool StartGifBuild(const CString& path, BOOL loop);

    // In tenths of a second, as the maker's delay field.
    CString TimeLine(float time) const override;

protected:
    afx_msg LRESULT OnGifDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()
};
