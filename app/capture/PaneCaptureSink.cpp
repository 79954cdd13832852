#include "app/capture/PaneCaptureSink.h"

#include "app/panes/DcTabWnd.h"
#include "app/panes/FileTabWnd.h"

CPaneCaptureSink::CPaneCaptureSink(CFileTabWnd& files, CDcTabWnd& savedDcs, BalloonFn balloon,
                                   SeriesFn seriesDone)
    : m_files(files), m_savedDcs(savedDcs), m_balloon(std::move(balloon)),
      m_seriesDone(std::move(seriesDone)) {}

CPaneCaptureSink::~CPaneCaptureSink() {
    for (HBITMAP bitmap : m_bitmaps)
        DeleteObject(bitmap);
}

void CPaneCaptureSink::AddSavedFile(LPCWSTR path) {
    m_files.AddItem(path);
}

void CPaneCaptureSink::AddSavedBitmap(LPCWSTR label, HBITMAP bitmap) {
    {
        std::lock_guard<std::mutex> lock(m_bitmapLock);
        m_bitmaps.push_back(bitmap);
    }
    m_savedDcs.AddItem(label, bitmap);
}

void CPaneCaptureSink::ShowCaptureBalloon(LPCWSTR path) {
    if (m_balloon)
        m_balloon(path);
}

void CPaneCaptureSink::ReportCaptureFailure(LPCWSTR message) {
    // The box's message loop delivers further completions, which may fail too.
    if (m_bReporting)
        return;
    m_bReporting = true;
    AfxMessageBox(message, MB_OK | MB_ICONERROR);
    m_bReporting = false;
}

void CPaneCaptureSink::OnSeriesComplete() {
    if (m_seriesDone)
        m_seriesDone();
}
