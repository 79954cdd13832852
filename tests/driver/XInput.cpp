#include "tests/driver/XInput.h"

#include "tests/driver/VeskRun.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vesk_test {

bool XDo(const std::wstring& arguments) {
    // Wine starts a Unix program given by its path.
    const wchar_t* program = L"Z:\\usr\\bin\\xdotool";
    std::wstring cmd = std::wstring(program) + L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Wine gives no process handle for a Unix program, and leaves hThread
    // holding no handle of ours: closing it would close one of the test's.
    if (pi.hProcess) {
        WaitForSingleObject(pi.hProcess, kPatienceMs);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return true;
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

}  // namespace vesk_test
