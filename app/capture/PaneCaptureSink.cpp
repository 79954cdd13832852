#include "app/capture/PaneCaptureSink.h"

#include "app/capture/FailureBox.h"

#include "app/panes/DcTabWnd.h"
#include "app/panes/FileTabWnd.h"

#include <algorithm>

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

void CPaneCaptureSink::ReleaseBitmap(HBITMAP bitmap) {
    std::lock_guard<std::mutex> lock(m_bitmapLock);
    const auto kept = std::find(m_bitmaps.begin(), m_bitmaps.end(), bitmap);
    if (kept == m_bitmaps.end())
        return;
    m_bitmaps.erase(kept);
    DeleteObject(bitmap);
}

void CPaneCaptureSink::ShowCaptureBalloon(LPCWSTR path) {
    if (m_balloon)
        m_balloon(path);
}

namespace {
// Several failures in one box: each different message once (a capture
// refused again and again says the same), the first ones in full and the rest
// counted, so that a failing series cannot make a box taller than the screen.
CString CombineFailures(const std::vector<CString>& failures) {
    constexpr size_t kListed = 5;
    std::vector<CString> different;
    for (const CString& failure : failures)
        if (std::find(different.begin(), different.end(), failure) == different.end())
            different.push_back(failure);
    if (failures.size() == 1)
        return failures[0];
    CString text;
    text.Format(L"캡쳐 %d개가 실패했습니다.", static_cast<int>(failures.size()));
    for (size_t i = 0; i < different.size() && i < kListed; ++i)
        text += L"\n\n" + different[i];
    if (different.size() > kListed) {
        CString more;
        more.Format(L"\n\n그 밖에 %d개가 더 실패했습니다.", static_cast<int>(different.size() - kListed));
        text += more;
    }
    return text;
}
}  // namespace

void CPaneCaptureSink::ReportCaptureFailure(LPCWSTR message) {
    m_pendingFailures.emplace_back(message);
    // The box's message loop delivers further completions, which may fail
    // too: they wait for this box to close and then follow in one box.
    if (m_bReporting)
        return;
    m_bReporting = true;
    while (!m_pendingFailures.empty()) {
        std::vector<CString> failures;
        failures.swap(m_pendingFailures);
        ShowFailureBox(CombineFailures(failures));
    }
    m_bReporting = false;
}

void CPaneCaptureSink::OnSeriesComplete() {
    if (m_seriesDone)
        m_seriesDone();
}
