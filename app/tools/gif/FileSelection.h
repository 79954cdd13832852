// What a multi-select open dialog hands back, the delays of frames read from
// animated files and how a delay is written out. Plain text and arithmetic,
// free of Windows headers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace gif_maker {

// The open dialog's buffer: one full path, or a folder followed by the chosen
// names, each ended by a NUL, the list ended by an empty string. `capacity`
// bounds the scan of a buffer that lacks the final NUL.
std::vector<std::wstring> SplitOpenFileSelection(const wchar_t* buffer, std::size_t capacity);

// A GIF frame's delay (hundredths of a second) as a frame time in tenths;
// `fallback` for a frame that states none.
float FrameTimeFromCentiseconds(unsigned long centiseconds, float fallback);

// A delay in tenths of a second as the delay field shows it ("5", "2.5").
std::wstring FormatDelay(float tenths);
// The frame list's time line: the same number, named as the delay field is.
std::wstring DelayLine(float tenths);

}  // namespace gif_maker
