#include "app/continuous/GifBuildJob.h"

#include "app/AppMessages.h"

bool CGifBuildJob::Start(std::vector<GifBuildFrame> frames, const CString& path, bool loop, HWND progressWnd,
                         HWND doneWnd) {
    if (IsRunning() || path.IsEmpty() || frames.empty())
        return false;
    m_frames = std::move(frames);
    m_strPath = path;
    m_bLoop = loop;
    m_hProgress = progressWnd;
    m_hDone = doneWnd;
    m_result = GifBuildResult();
    m_pThread = AfxBeginThread(Run, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_pThread) {
        m_frames.clear();
        return false;
    }
    m_pThread->m_bAutoDelete = FALSE;
    m_pThread->ResumeThread();
    return true;
}

// Reads only the copied frames and posts to windows: it never waits for the UI thread.
UINT __cdecl CGifBuildJob::Run(LPVOID param) {
    auto* self = static_cast<CGifBuildJob*>(param);
    const HWND progress = self->m_hProgress;
    if (progress)
        ::PostMessageW(progress, WM_GIF_PROGRESS, 0, 0);
    self->m_result = BuildAnimatedGif(self->m_frames, self->m_strPath, self->m_bLoop,
                                      [progress](int total, int index) {
                                          if (progress)
                                              ::PostMessageW(progress, WM_GIF_PROGRESS, total, index);
                                      });
    if (self->m_hDone)
        ::PostMessageW(self->m_hDone, WM_GIF_DONE, 0, 1);
    return 0;
}

void CGifBuildJob::Join() {
    if (!m_pThread)
        return;
    WaitForSingleObject(m_pThread->m_hThread, INFINITE);
    delete m_pThread;
    m_pThread = nullptr;
    m_frames.clear();
    m_strPath.Empty();
}
