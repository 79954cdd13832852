#include "app/tools/gif/FileSelection.h"

#include <cstdio>

namespace gif_maker {

std::vector<std::wstring> SplitOpenFileSelection(const wchar_t* buffer, std::size_t capacity) {
    std::vector<std::wstring> parts;
    if (!buffer)
        return parts;
    std::size_t at = 0;
    while (at < capacity && buffer[at] != L'\0') {
        std::size_t end = at;
        while (end < capacity && buffer[end] != L'\0')
            ++end;
        parts.emplace_back(buffer + at, end - at);
        at = end + 1;
    }
    if (parts.size() <= 1)
        return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\')
        folder.push_back(L'\\');  // a drive root comes with its backslash already
    std::vector<std::wstring> paths;
    for (std::size_t i = 1; i < parts.size(); ++i)
        paths.push_back(folder + parts[i]);
    return paths;
}

float FrameTimeFromCentiseconds(unsigned long centiseconds, float fallback) {
    return centiseconds == 0 ? fallback : static_cast<float>(centiseconds) / 10.0f;
}

std::wstring FormatDelay(float tenths) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%g", static_cast<double>(tenths));
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring DelayLine(float tenths) {
    return L"지연시간:" + FormatDelay(tenths);
}

}  // namespace gif_maker
