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

private:
    CFileTabWnd& m_files;
    CDcTabWnd& m_savedDcs;
    BalloonFn m_balloon;
    SeriesFn m_seriesDone;
    bool m_bReporting = false;  // a failure box is open: a failing series must not stack more
    // The saved-DC pane does not free its bitmaps; they live as long as the dialog.
    std::mutex m_bitmapLock;
    std::vector<HBITMAP> m_bitmaps;
};
