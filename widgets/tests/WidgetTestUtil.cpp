#include "WidgetTestUtil.h"

#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <ole2.h>


namespace wt {

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            break;
        AfxDispatchQueuedMessage(msg);
    }
}

bool PumpUntil(const std::function<bool()>& pred, int maxIdleRounds) {
    for (int idle = 0; idle < maxIdleRounds;) {
        PumpMessages();
        if (pred())
            return true;
        // Wait for something to arrive; count only the rounds where nothing did.
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_TIMEOUT)
            ++idle;
    }
    PumpMessages();
    return pred();
}

void Settle(HWND hWnd) {
    if (hWnd)
        ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 4; ++i) {
        PumpMessages();
        ::GdiFlush();
        ::Sleep(30);
    }
    PumpMessages();
}

namespace {
// Runs xdotool with this thread's messages dispatched through the library
// meanwhile, as the program's loop does (tooltips see the mouse there).
void XRun(const std::wstring& script) {
    if (!vesk_test::XDo(script, [](const std::function<bool()>& done) { return PumpUntil(done, 1200); }))
        ADD_FAILURE() << "xdotool did not run " << script;
}
}  // namespace

// Through the X server, as a hand moves it: after a SendInput move Wine's
// cursor was seen to jump back to the X pointer's place, between a press and
// its release, too.
void MouseMove(int x, int y) {
    XRun(L"mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y));
    POINT p = {};
    if (!PumpUntil([&] { return ::GetCursorPos(&p) && p.x == x && p.y == y; }, 100))
        ADD_FAILURE() << "the pointer was at " << p.x << "," << p.y << ", not at " << x << "," << y;
}

void MouseDown() {
    XRun(L"mousedown 1");
    PumpMessages();
}

void MouseUp() {
    XRun(L"mouseup 1");
    PumpMessages();
}

void MouseAway() {
    MouseMove(::GetSystemMetrics(SM_CXSCREEN) - 5, ::GetSystemMetrics(SM_CYSCREEN) - 5);
}

void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &in, sizeof in);
}

HWND FocusOf(HWND hWnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &info);
    return info.hwndFocus;
}

int ItemCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

void KeyPress(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
}

void Drag(POINT from, POINT to) {
    MouseMove(from.x, from.y);
    // Pauses let this thread see each step; nothing is asserted on time.
    constexpr int kSteps = 4;
    std::wstring steps = L"sleep 0.1 mousedown 1 sleep 0.15";
    for (int i = 1; i <= kSteps; ++i)
        steps += L" mousemove " + std::to_wstring(from.x + (to.x - from.x) * i / kSteps) + L" " +
                 std::to_wstring(from.y + (to.y - from.y) * i / kSteps) + L" sleep 0.08";
    XRun(steps + L" sleep 0.15 mouseup 1 sleep 0.15");
    Settle();
}

int CountGdiObjects() {
    // Wine resolves a handle from its table index alone when the upper word
    // is zero, so every index can be asked.
    int count = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index) {
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index)))
            ++count;
    }
    return count;
}

COLORREF WindowPixel(HWND hWnd, int x, int y) {
    HDC dc = ::GetDC(hWnd);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(hWnd, dc);
    return c;
}

DibCanvas::DibCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    m_hDC = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    m_hBitmap = ::CreateDIBSection(m_hDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<const DWORD*>(bits);
    m_hOld = ::SelectObject(m_hDC, m_hBitmap);
    RECT r = {0, 0, width, height};
    HBRUSH brush = ::CreateSolidBrush(fill);
    ::FillRect(m_hDC, &r, brush);
    ::DeleteObject(brush);
}

DibCanvas::~DibCanvas() {
    ::SelectObject(m_hDC, m_hOld);
    ::DeleteObject(m_hBitmap);
    ::DeleteDC(m_hDC);
}

COLORREF DibCanvas::Pixel(int x, int y) const {
    ::GdiFlush();
    const DWORD v = m_bits[static_cast<size_t>(y) * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// What every widget test needs from the process: common controls, and OLE for
// the folder browser's new-style dialog.
class WidgetEnvironment : public testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        ::OleInitialize(nullptr);
    }
    void TearDown() override { ::OleUninitialize(); }
};

const testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new WidgetEnvironment);

}  // namespace wt
