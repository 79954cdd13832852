// One GIF build on a worker thread, as a frame list runs it: the frames are
// copied before the thread starts, progress goes to one window and the end to
// another, both posted. The owner joins the thread when the end arrives (or
// when it goes away); the frames' bitmaps must live until then.
#pragma once

#include "Afx.h"
#include "app/continuous/GifBuilder.h"

#include <vector>

class CGifBuildJob {
public:
    CGifBuildJob() = default;
    ~CGifBuildJob() { Join(); }
    CGifBuildJob(const CGifBuildJob&) = delete;
    CGifBuildJob& operator=(const CGifBuildJob&) = delete;

    // Posts WM_GIF_PROGRESS (0, 0) then (total, index) per frame to
    // `progressWnd`, and WM_GIF_DONE (0, 1) to `doneWnd` at the end. False
    // (nothing started) while a build runs, or without a path or frames.
    bool Start(std::vector<GifBuildFrame> frames, const CString& path, bool loop, HWND progressWnd, HWND doneWnd);
    bool IsRunning() const { return m_pThread != nullptr; }
    // Waits for the thread without limit and forgets the frames.
    void Join();
    // The last finished build's outcome.
    const GifBuildResult& Result() const { return m_result; }

private:
    static UINT __cdecl Run(LPVOID param);

    CWinThread* m_pThread = nullptr;
    std::vector<GifBuildFrame> m_frames;
    CString m_strPath;
    bool m_bLoop = false;
    HWND m_hProgress = nullptr;
    HWND m_hDone = nullptr;
    GifBuildResult m_result;
};
