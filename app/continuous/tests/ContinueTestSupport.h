// Shared pieces of the continuous-capture tests, on top of the capture
// tests' support (GDI+ for the whole run, scratch folders).
#pragma once

#include "CaptureTestSupport.h"

#include <string>
#include <vector>

namespace continuous_test {

using capture_test::MakeScratchFolder;
// A width x height 24-bit DIB section of one colour (0x00BBGGRR).
HBITMAP MakeSolidBitmap(int width, int height, COLORREF colour);

// Answers every message box of the library and remembers its text.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<std::wstring> texts;

private:
    static int Hook(HWND, LPCWSTR text, LPCWSTR, UINT);
    AfxMessageBoxHook m_previous;
};

}  // namespace continuous_test
