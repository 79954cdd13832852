// The settings file "vesk.ini": path, text conversions, the default tables and
// the first-start writer. The option objects load and save their own sections.
#pragma once

#include "Afx.h"

#include <functional>

namespace profile {

constexpr const wchar_t* kFileName = L"vesk.ini";
constexpr const wchar_t* kVersionSection = L"VESK VERSION";
constexpr const wchar_t* kFileSection = L"FILE OPTIONS";
constexpr const wchar_t* kWatermarkSection = L"WATERMARK OPTIONS";
constexpr const wchar_t* kMiscSection = L"MISCELLANEOUS OPTIONS";

struct KeyDefault {
    const wchar_t* key;
    const wchar_t* value;
};

// In the order every writer writes them.
extern const KeyDefault kFileDefaults[6];
extern const KeyDefault kWatermarkDefaults[27];
extern const KeyDefault kMiscDefaults[10];

// Leading blanks, an optional sign, then digits up to the first non-digit;
// anything else gives 0. Values beyond the int range are clamped.
int ParseDecimal(const wchar_t* text);

// The folder of the running executable, without a trailing backslash.
CString ExecutableFolder();
CString SettingsPathIn(const CString& folder);

// Reads one value (empty when the key or the file is missing). Only the first
// bufferChars - 1 characters count, as with the fixed buffers of the loaders.
CString ReadValue(const wchar_t* section, const wchar_t* key, const wchar_t* path, DWORD bufferChars = 260);
void WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path);
void WriteValue(const wchar_t* section, const wchar_t* key, int value, const wchar_t* path);

bool FileExists(const wchar_t* path);

// Where the loaders take their values from: the settings file, or the
// built-in defaults when the file cannot be made.
using ValueReader = std::function<CString(const wchar_t* section, const wchar_t* key, DWORD bufferChars)>;
ValueReader FileReader(const wchar_t* path);
ValueReader DefaultsReader(const CString& executableFolder);

// First start: creates the file (UTF-16 with a byte-order mark, so that the
// profile functions keep Hangul paths) and writes the version section and
// every default, Directory being the executable's folder. Returns false when
// the file could not be created.
bool WriteDefaults(const wchar_t* path, const CString& executableFolder);

}  // namespace profile
