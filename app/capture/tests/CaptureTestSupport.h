// Shared pieces of the capture tests: GDI+ for the whole run, a scratch
// folder, memory-DC sources with known pixels and a recording sink.
#pragma once

#include "app/capture/CaptureEngine.h"

#include <mutex>
#include <string>
#include <vector>

namespace capture_test {

// A fresh empty folder under the temporary folder.
CString MakeScratchFolder(LPCWSTR tag);

// A memory DC holding a width x height DIB section filled by `pixel(x, y)`
// (0x00RRGGBB), and the bitmap selected in it; both go to StartCapture.
struct MemorySource {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
};
MemorySource MakeSource(int width, int height, DWORD (*pixel)(int x, int y));

class RecordingSink : public ICaptureSink {
public:
    ~RecordingSink() override;
    void AddSavedFile(LPCWSTR path) override;
    void AddSavedBitmap(LPCWSTR label, HBITMAP bitmap) override;
    void ShowCaptureBalloon(LPCWSTR path) override;
    void ReportCaptureFailure(LPCWSTR message) override;
    void OnSeriesComplete() override;

    std::vector<std::wstring> Files() const;
    std::vector<std::wstring> Labels() const;
    std::vector<std::wstring> Failures() const;
    int SeriesCompletions() const;
    // Takes over the first saved bitmap; null when there is none.
    HBITMAP TakeBitmap(size_t index);
    bool keepBitmaps = true;

private:
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_files, m_labels, m_failures;
    std::vector<HBITMAP> m_bitmaps;
    int m_series = 0;
};

// A message-only window that forwards WM_CAPTURE_DONE to an engine.
class DoneWindow {
public:
    explicit DoneWindow(CCaptureEngine& engine);
    ~DoneWindow();
    HWND Get() const { return m_hwnd; }
    // Pumps messages until every worker has been joined; false when that
    // did not happen within a minute (a hang, not a slow run).
    bool WaitForAll();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    CCaptureEngine& m_engine;
    HWND m_hwnd = nullptr;
};

// For failure messages: UTF-8 of a wide text.
std::string Utf8(const std::wstring& text);

// The colour of a loaded image's pixel as 0x00RRGGBB, (0, 0) at the top left.
DWORD PixelAt(const class CDibImage& image, int x, int y);

}  // namespace capture_test
