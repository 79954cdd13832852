// Delivers the engine's results to the main dialog's panes and tells the
// user about failures.
#pragma once

#include "app/capture/CaptureJob.h"

#include <functional>
#include <mutex>
#include <vector>

class CDcTabWnd;
class CFileTabWnd;

class CPaneCaptureSink : public ICaptureSink {
public:
    using BalloonFn = std::function<void(LPCWSTR path)>;
    using SeriesFn = std::function<void()>;

    CPaneCaptureSink(CFileTabWnd& files, CDcTabWnd& savedDcs, BalloonFn balloon, SeriesFn seriesDone);
    ~CPaneCaptureSink() override;

    void AddSavedFile(LPCWSTR path) override;
    void AddSavedBitmap(LPCWSTR label, HBITMAP bitmap) override;
    void ShowCaptureBalloon(LPCWSTR path) override;
    void ReportCaptureFailure(LPCWSTR message) override;
    void OnSeriesComplete() override;
    // UI thread: an entry has left the saved-DC pane; its bitmap goes, giving
    // its memory back to further captures.
    void ReleaseBitmap(HBITMAP bitmap);

private:
    CFileTabWnd& m_files;
    CDcTabWnd& m_savedDcs;
    BalloonFn m_balloon;
    SeriesFn m_seriesDone;
    bool m_bReporting = false;  // a failure box is open
    // Failures met while a box is open; shown together once it closes.
    std::vector<CString> m_pendingFailures;
    // The saved-DC pane does not free its bitmaps: they live as long as the
    // dialog, or until their entry leaves the pane.
    std::mutex m_bitmapLock;
    std::vector<HBITMAP> m_bitmaps;
};
