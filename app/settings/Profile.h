// The settings file "vesk.ini": path, text conversions, the default tables and
// the first-start writer. The option objects load and save their own sections.
#pragma once

#include "Afx.h"

#include <climits>
#include <functional>
#include <map>
#include <string>

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
// A stored number as the loaders take it: `fallback` when the text holds no
// number at all, else its decimal value brought into [low, high].
int ParseNumber(const wchar_t* text, int fallback, int low = INT_MIN, int high = INT_MAX);

// Buffer for values that must never be cut (paths, texts): whatever a profile
// line can hold.
constexpr DWORD kWholeValue = 32768;

// The default of a key: the table's text, the executable's folder for Directory.
CString DefaultValue(const wchar_t* section, const wchar_t* key, const CString& executableFolder);

// The folder of the running executable, without a trailing backslash.
CString ExecutableFolder();
// A relative folder is taken from the executable's folder, where vesk.ini
// lives, not from the folder the program was started in.
CString FolderFromExecutable(const CString& folder);
// A base name a captured file can have: not empty, no path separator or
// drive, none of the characters Windows refuses in a name.
bool IsUsableFileName(const CString& name);
CString SettingsPathIn(const CString& folder);

// Reads one value (empty when the key or the file is missing). Only the first
// bufferChars - 1 characters count, as with the fixed buffers of the loaders.
CString ReadValue(const wchar_t* section, const wchar_t* key, const wchar_t* path, DWORD bufferChars = 260);
// False when the value did not reach the file; the failure handler has been
// told, and from then on the file is held in memory as KeepInMemory does,
// with what it held and what this run wrote.
bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path);
bool WriteValue(const wchar_t* section, const wchar_t* key, int value, const wchar_t* path);

// Called with the file's path and the system's error code whenever a write to it fails.
using WriteFailureHandler = std::function<void(const wchar_t* path, DWORD error)>;
void SetWriteFailureHandler(WriteFailureHandler handler);

// Tests stand in a full disk, or a kill half way, with a write of the new
// file's bytes that fails (setting the last error); null restores the real one.
using BytesWriter = bool (*)(HANDLE file, const char* bytes, DWORD size);
void ReplaceBytesWriter(BytesWriter writer);

// For a settings file that must not be touched this run (it could not be read,
// or a damaged one could not be moved aside): from now on the file is neither
// read nor written; reads give what this run wrote, else the defaults.
void KeepInMemory(const wchar_t* path);

bool FileExists(const wchar_t* path);

// Where the loaders take their values from: the settings file, or the
// built-in defaults when the file cannot be made.
using ValueReader = std::function<CString(const wchar_t* section, const wchar_t* key, DWORD bufferChars)>;
// A key missing from the file reads as its default.
ValueReader FileReader(const wchar_t* path);
ValueReader DefaultsReader(const CString& executableFolder);

// Where the savers put their values: the settings file, or a copy in memory
// (one section's keys) that a MemoryReader gives back exactly, untruncated.
using ValueWriter = std::function<void(const wchar_t* section, const wchar_t* key, const CString& value)>;
using SectionValues = std::map<std::wstring, CString>;
ValueWriter MemoryWriter(SectionValues& values);
ValueReader MemoryReader(const SectionValues& values);

// Writes everything `store` writes into the file in one step: the whole new
// file is written beside it, flushed, and moved over it, so that a full disk
// or a kill leaves either the old file or the new one, never a part. In a
// folder where no file can be made, the same bytes are written into the file
// itself (a failed write puts the old ones back). False when the file was left
// as it was; the failure handler has been told.
bool WriteWhole(const std::function<void(const ValueWriter&)>& store, const wchar_t* path);

// Writes these keys of the section as WriteWhole does, in the order of the
// section's table; nothing at all, not even a missing file, when there are none.
bool WriteKeys(const wchar_t* section, const SectionValues& values, const wchar_t* path);

// First start: creates the file (UTF-16 with a byte-order mark, so that the
// profile functions keep Hangul paths) and writes the version section and
// every default, Directory being the executable's folder. Returns false when
// the file could not be created.
bool WriteDefaults(const wchar_t* path, const CString& executableFolder);

// True when the file holds at least one of the three option sections.
bool HoldsOptionSections(const wchar_t* path);

struct PreparedFile {
    bool usable = false;  // the loaders may read it and the writers write it
    bool created = false;  // written anew with the defaults
    // Its settings were read into memory and the file is not written this
    // run: its path is too long for the profile functions, or it could not be
    // converted and writes through the code page would lose its Hangul.
    bool heldInMemory = false;
    CString keptAs;        // where a damaged file was moved; empty when none was
};

// Start-up: makes the settings file ready for the loaders. A missing file, or
// one that holds none of the option sections (empty, or not a settings file at
// all), is written anew with the defaults; a damaged one is first moved aside
// under a free name, never deleted or overwritten. A file in a one-byte or
// UTF-8 encoding is rewritten as UTF-16LE with its text kept, so that later
// writes keep Hangul; its original bytes are kept beside it the same way.
// A file whose path is too long, or that cannot be converted, is held in memory.
PreparedFile PrepareSettingsFile(const wchar_t* path, const CString& executableFolder);

}  // namespace profile
