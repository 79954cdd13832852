#include "tests/driver/XInput.h"

#include "tests/driver/VeskRun.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace vesk_test {

// VeskRun.h's, here so that tests of windows of their own get the X input
// without the rest of the driver.
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WaitFor(const std::function<bool()>& pred, DWORD patienceMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > patienceMs)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::wstring UnixPath(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return std::wstring();
    std::wstring unixPath(name, name + strlen(name));
    HeapFree(GetProcessHeap(), 0, name);
    return unixPath;
}

bool XDo(const std::wstring& arguments, const Poll& wait) { return RunUnix(L"/usr/bin/xdotool " + arguments, wait); }

bool RunUnix(const std::wstring& command, const Poll& wait) {
    // Wine starts a Unix program without a handle to wait on (and leaves
    // hThread holding none of ours), so the run removes a file of its own
    // when the command is done: one run's events never overtake the last run's.
    WCHAR mark[MAX_PATH] = {};
    if (!GetTempFileNameW(L"Z:\\tmp", L"xdo", 0, mark))
        return false;
    std::wstring unixMark = mark + 2;  // Z: is the Unix root
    std::replace(unixMark.begin(), unixMark.end(), L'\\', L'/');
    const wchar_t* shell = L"Z:\\bin\\sh";
    std::wstring cmd = std::wstring(shell) + L" -c \"" + command + L"; rm -f " + unixMark + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(shell, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        DeleteFileW(mark);
        return false;
    }
    if (pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    const auto gone = [&] { return !Exists(mark); };
    const bool done = wait ? wait(gone) : WaitFor(gone);
    DeleteFileW(mark);
    return done;
}

bool XMove(int x, int y) {
    if (!XDo(L"mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y)))
        return false;
    return WaitFor([&] {
        POINT p;
        GetCursorPos(&p);
        return p.x == x && p.y == y;
    });
}

bool XSweep(POINT from, POINT to) {
    static const int kJumps[] = {13, 37, 22, 40, 11, 29, 18, 34};
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    double done = 0;
    for (size_t i = 0; done < length; ++i) {
        done = std::min(length, done + kJumps[i % std::size(kJumps)]);
        if (!XMove(from.x + static_cast<int>(std::lround(dx * done / length)),
                   from.y + static_cast<int>(std::lround(dy * done / length))))
            return false;
    }
    return true;
}

bool XClick() { return XDo(L"click 1"); }

bool XAnswer(HWND box, int id) {
    RECT r = {};
    return GetWindowRect(GetDlgItem(box, id), &r) && XMove((r.left + r.right) / 2, (r.top + r.bottom) / 2) &&
           XClick() && WaitFor([&] { return !IsWindow(box); });
}

}  // namespace vesk_test
