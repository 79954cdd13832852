#include "tests/driver/PatternHost.h"

#include "tests/driver/VeskRun.h"

#include <string>

namespace vesk_test {

namespace {

std::wstring HostExePath() {
    const std::string unixPath = PATTERN_HOST_EXE;
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

struct HostQuery {
    DWORD pid;
    HWND found;
};
BOOL CALLBACK MatchHost(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<HostQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    WCHAR name[64] = {};
    GetClassNameW(hWnd, name, 64);
    if (pid != q->pid || lstrcmpW(name, PatternHost::kClassName) != 0 || !IsWindowVisible(hWnd))
        return TRUE;
    q->found = hWnd;
    return FALSE;
}

}  // namespace

std::vector<COLORREF> PatternOver(const RECT& r) {
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.push_back(PatternAt(x, y));
    return pixels;
}

PatternHost::~PatternHost() {
    if (m_pi.hProcess) {
        TerminateProcess(m_pi.hProcess, 0);
        WaitForSingleObject(m_pi.hProcess, kPatienceMs);
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
}

bool PatternHost::Start(const RECT& r) {
    m_rect = r;
    std::wstring cmd = L"\"" + HostExePath() + L"\" " + std::to_wstring(r.left) + L" " + std::to_wstring(r.top) +
                       L" " + std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
        return false;
    HostQuery q = {m_pi.dwProcessId, nullptr};
    if (!WaitFor([&] { return !EnumWindows(MatchHost, reinterpret_cast<LPARAM>(&q)) && q.found; }))
        return false;
    m_hWnd = q.found;
    // The compositor shows the window a little after it paints.
    return WaitFor([&] {
        return ScreenPixel(r.left + 3, r.top + 5) == PatternAt(r.left + 3, r.top + 5) &&
               ScreenPixel(r.right - 4, r.bottom - 2) == PatternAt(r.right - 4, r.bottom - 2);
    });
}

int PatternHost::ButtonMessages() const {
    DWORD_PTR count = 0;
    if (!m_hWnd || !SendMessageTimeoutW(m_hWnd, kCountMessage, 0, 0, SMTO_NORMAL, kPatienceMs, &count))
        return -1;
    return static_cast<int>(count);
}

void PatternHost::Raise() const {
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace vesk_test
