// Pointer input as a real mouse gives it under Wine: events from the X server
// (through xdotool), which reach the program owning the window under the
// pointer first. SendInput's events go to the Wine server directly, which
// hands them to a mouse capture whatever lies under the pointer, so they miss
// faults that a real hand meets over another program's window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vesk_test {

// Runs xdotool with `arguments` and returns once it is done; false when it
// could not be started or did not end. `wait` polls meanwhile (WaitFor when
// empty): one that dispatches as the class library does, say.
using Poll = std::function<bool(const std::function<bool()>&)>;
bool XDo(const std::wstring& arguments, const Poll& wait = {});
// The same for a Unix shell command line.
bool RunUnix(const std::wstring& command, const Poll& wait = {});
// `path` as the Unix side names it; empty when Wine cannot tell.
std::wstring UnixPath(const std::wstring& path);
// Moves the X pointer to (x, y) in one event and waits until the system sees
// it there. Each returns false when xdotool could not be started.
bool XMove(int x, int y);
// Moves from `from` to `to` as a quick hand does: jumps of 10 to 40 pixels,
// each a single event.
bool XSweep(POINT from, POINT to);
// A left click where the pointer is.
bool XClick();
// Clicks button `id` of a dialog or message box and waits until the box has
// gone; false when it had no such button or did not go.
bool XAnswer(HWND box, int id);

}  // namespace vesk_test
