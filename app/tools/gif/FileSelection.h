// What a multi-select open dialog hands back, and the delays of frames read
// from animated files. Plain text and arithmetic, free of Windows headers.
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

}  // namespace gif_maker
