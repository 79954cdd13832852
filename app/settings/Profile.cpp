#include "app/settings/Profile.h"

#include "app/AppStrings.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace profile {

const KeyDefault kFileDefaults[6] = {
    {L"Directory", L""},  {L"FileName", L"Vesk"},     {L"FileCount", L"0"},
    {L"FileType", L"bmp"}, {L"EditedChecked", L"0"}, {L"EditedTool", L"C:\\Windows\\system32\\mspaint.exe"},
};

const KeyDefault kWatermarkDefaults[27] = {
    {L"WaterMark", L"0"},      {L"Choice", L"1"},          {L"ImageDir", L""},
    {L"ImageWidth", L"0"},     {L"ImageHeight", L"0"},     {L"Text", L"Vesk Capture V0.6"},
    {L"FontFace", L"Airal"},   {L"FontSize", L"32"},       {L"FontBold", L"1"},
    {L"FontItalic", L"1"},     {L"FontUnderline", L"1"},   {L"TextBkR", L"0"},
    {L"TextBkG", L"115"},      {L"TextBkB", L"183"},       {L"TextColorR", L"240"},
    {L"TextColorG", L"251"},   {L"TextColorB", L"255"},    {L"Location", L"0"},
    {L"LeftRightMargin", L"0"}, {L"TopBottomMargin", L"0"}, {L"Rotate", L"0"},
    {L"Rotation", L"0"},       {L"Alpha", L"100"},         {L"HideColor", L"0"},
    {L"Red", L"255"},          {L"Green", L"255"},         {L"Blue", L"255"},
};

const KeyDefault kMiscDefaults[10] = {
    {L"WindowStart", L"0"},   {L"StartTray", L"0"},       {L"MouseCursor", L"1"},   {L"Layered", L"1"},
    {L"PointerEffect", L"1"}, {L"MagnifierEffect", L"1"}, {L"ToolTipEffect", L"1"}, {L"SoundEffect", L"1"},
    {L"CookieNumber", L"200"}, {L"KeepEffect", L"0"},
};

namespace {

// Past the leading blanks and the sign: where the digits of a stored number start.
const wchar_t* DigitsOf(const wchar_t* text, bool* negative = nullptr) {
    while (*text == L' ' || *text == L'\t' || *text == L'\n' || *text == L'\r' || *text == L'\v' || *text == L'\f')
        ++text;
    if (negative)
        *negative = *text == L'-';
    if (*text == L'+' || *text == L'-')
        ++text;
    return text;
}

}  // namespace

int ParseDecimal(const wchar_t* text) {
    if (!text)
        return 0;
    bool negative = false;
    text = DigitsOf(text, &negative);
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;  // saturate; more digits change nothing
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

int ParseNumber(const wchar_t* text, int fallback, int low, int high) {
    const wchar_t* digits = DigitsOf(text ? text : L"");
    if (*digits < L'0' || *digits > L'9')
        return fallback;
    return std::clamp(ParseDecimal(text), low, high);
}

CString ExecutableFolder() {
    const CString path = AfxGetModuleFileName();
    const int slash = path.ReverseFind(L'\\');
    return slash >= 0 ? path.Left(slash) : path;
}

CString FolderFromExecutable(const CString& folder) {
    // "C:\x", "C:x", "\\server\x" and "\x" name their drive or share themselves.
    if (folder.IsEmpty() || folder[0] == L'\\' || folder[0] == L'/' || (folder.GetLength() > 1 && folder[1] == L':'))
        return folder;
    return ExecutableFolder() + L"\\" + folder;
}

bool IsUsableFileName(const CString& name) {
    if (name.IsEmpty())
        return false;
    for (int i = 0; i < name.GetLength(); ++i)
        if (name[i] < 32 || std::wcschr(L"\\/:*?\"<>|", name[i]))
            return false;
    return true;
}

CString SettingsPathIn(const CString& folder) {
    CString path;
    path.Format(L"%s\\%s", static_cast<LPCWSTR>(folder), kFileName);
    return path;
}

namespace {

// Settings of files this run keeps in memory, by path, section and key.
struct MemoryStore {
    std::set<std::wstring> paths;
    std::map<std::wstring, CString> values;
};
MemoryStore& Kept() {
    static MemoryStore store;
    return store;
}
std::wstring Folded(const wchar_t* text) {
    std::wstring folded(text ? text : L"");
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(std::towlower(c));
    return folded;
}
std::wstring KeptKey(const wchar_t* path, const wchar_t* section, const wchar_t* key) {
    return Folded(path) + L'\n' + Folded(section) + L'\n' + Folded(key);
}
bool IsKeptInMemory(const wchar_t* path) {
    return Kept().paths.count(Folded(path)) != 0;
}

WriteFailureHandler& FailureHandler() {
    static WriteFailureHandler handler;
    return handler;
}

CString Cut(const CString& value, DWORD bufferChars) {
    if (bufferChars && value.GetLength() >= static_cast<int>(bufferChars))
        return value.Left(static_cast<int>(bufferChars) - 1);
    return value;
}

// What the file holds for the key, `fallback` when the key is missing.
CString ReadOr(const wchar_t* section, const wchar_t* key, const wchar_t* path, DWORD bufferChars,
               const CString& fallback) {
    if (IsKeptInMemory(path)) {
        const auto found = Kept().values.find(KeptKey(path, section, key));
        return Cut(found == Kept().values.end() ? fallback : found->second, bufferChars);
    }
    std::vector<WCHAR> buffer(bufferChars ? bufferChars : 1, L'\0');
    ::GetPrivateProfileStringW(section, key, fallback, buffer.data(), static_cast<DWORD>(buffer.size()), path);
    buffer.back() = L'\0';
    return CString(buffer.data());
}

}  // namespace

CString ReadValue(const wchar_t* section, const wchar_t* key, const wchar_t* path, DWORD bufferChars) {
    return ReadOr(section, key, path, bufferChars, CString());
}

void SetWriteFailureHandler(WriteFailureHandler handler) {
    FailureHandler() = std::move(handler);
}

void KeepInMemory(const wchar_t* path) {
    Kept().paths.insert(Folded(path));
}

bool FileExists(const wchar_t* path) {
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

ValueReader FileReader(const wchar_t* path) {
    CString file(path);
    return [file](const wchar_t* section, const wchar_t* key, DWORD bufferChars) {
        return ReadOr(section, key, file, bufferChars, DefaultValue(section, key, ExecutableFolder()));
    };
}

ValueWriter MemoryWriter(SectionValues& values) {
    return [&values](const wchar_t*, const wchar_t* key, const CString& value) { values[key] = value; };
}

ValueReader MemoryReader(const SectionValues& values) {
    return [&values](const wchar_t*, const wchar_t* key, DWORD) {
        const auto found = values.find(key);
        return found == values.end() ? CString() : found->second;
    };
}

namespace {

// The section's default table, in the order every writer writes it; empty for another section.
std::pair<const KeyDefault*, const KeyDefault*> TableOf(const wchar_t* section) {
    if (std::wcscmp(section, kFileSection) == 0)
        return {std::begin(kFileDefaults), std::end(kFileDefaults)};
    if (std::wcscmp(section, kWatermarkSection) == 0)
        return {std::begin(kWatermarkDefaults), std::end(kWatermarkDefaults)};
    if (std::wcscmp(section, kMiscSection) == 0)
        return {std::begin(kMiscDefaults), std::end(kMiscDefaults)};
    return {nullptr, nullptr};
}

}  // namespace

CString DefaultValue(const wchar_t* section, const wchar_t* key, const CString& executableFolder) {
    const auto [begin, end] = TableOf(section);
    for (const KeyDefault* row = begin; row != end; ++row)
        if (std::wcscmp(row->key, key) == 0)
            return row == kFileDefaults ? executableFolder : CString(row->value);
    return CString();
}

ValueReader DefaultsReader(const CString& executableFolder) {
    return [executableFolder](const wchar_t* section, const wchar_t* key, DWORD bufferChars) {
        // The same truncation as a read from the file.
        return Cut(DefaultValue(section, key, executableFolder), bufferChars);
    };
}

namespace {

// The file's bytes, or its first `limit` bytes.
bool ReadAll(const wchar_t* path, std::string& bytes, size_t limit = SIZE_MAX) {
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    BOOL ok = TRUE;
    while (bytes.size() < limit &&
           (ok = ::ReadFile(file, buffer, static_cast<DWORD>(std::min(sizeof buffer, limit - bytes.size())), &got,
                            nullptr)) &&
           got)
        bytes.append(buffer, got);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(file);
    ::SetLastError(error);
    return ok != FALSE;
}

bool StartsWith(const std::string& bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && bytes.compare(0, length, prefix, length) == 0;
}

// The text of a settings file: by its byte-order mark (UTF-16 either way); without one, as UTF-8
// when it is valid UTF-8 (what today's editors save), else in the ANSI code page.
std::wstring DecodeProfileText(const std::string& bytes) {
    std::wstring text;
    const bool littleEndian = StartsWith(bytes, "\xFF\xFE", 2);
    if (littleEndian || StartsWith(bytes, "\xFE\xFF", 2)) {
        const int high = littleEndian ? 1 : 0;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>((static_cast<unsigned char>(bytes[i + high]) << 8) |
                                         static_cast<unsigned char>(bytes[i + 1 - high]));
        return text;
    }
    size_t start = 0;
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3))
        start = 3;
    const int length = static_cast<int>(bytes.size() - start);
    if (length <= 0)
        return text;
    const char* data = bytes.data() + start;
    UINT codePage = CP_UTF8;
    DWORD flags = start ? 0 : MB_ERR_INVALID_CHARS;
    int chars = ::MultiByteToWideChar(codePage, flags, data, length, nullptr, 0);
    if (chars <= 0) {
        codePage = CP_ACP;
        flags = 0;
        chars = ::MultiByteToWideChar(codePage, flags, data, length, nullptr, 0);
    }
    if (chars <= 0)
        return text;
    text.resize(static_cast<size_t>(chars));
    ::MultiByteToWideChar(codePage, flags, data, length, &text[0], chars);
    return text;
}

// Text beyond ASCII in valid UTF-8, without the mark that tells the profile functions so.
bool IsUtf8WithoutMark(const std::string& bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3) || StartsWith(bytes, "\xFE\xFF", 2) ||
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; }))
        return false;
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                 0) > 0;
}

// Moves (or copies) the file to the first free name of "<path><suffix>",
// "<path><suffix>2", ...; never over another file.
bool KeepAside(const wchar_t* path, const wchar_t* suffix, bool copy, CString& keptAs) {
    for (int n = 1; n < 1000; ++n) {
        CString target;
        if (n == 1)
            target.Format(L"%s%s", path, suffix);
        else
            target.Format(L"%s%s%d", path, suffix, n);
        if (copy ? ::CopyFileW(path, target, TRUE) : ::MoveFileW(path, target)) {
            keptAs = target;
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

std::string Utf16FileBytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

bool WriteBytes(HANDLE file, const char* bytes, DWORD size) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes, size, &written, nullptr))
        return false;
    if (written == size)
        return true;
    ::SetLastError(ERROR_DISK_FULL);  // what a short write means here
    return false;
}

BytesWriter& CurrentBytesWriter() {
    static BytesWriter writer = WriteBytes;
    return writer;
}

// Writes the bytes to "<path>.new", flushed to the disk, with the given
// attributes. ERROR_SUCCESS, or why not; nothing is left behind then, and
// `sibling` stays empty when the file could not even be made.
DWORD WriteSibling(const wchar_t* path, const std::string& bytes, DWORD attributes, CString& sibling) {
    CString name;
    name.Format(L"%s.new", path);
    HANDLE file = ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    sibling = file == INVALID_HANDLE_VALUE ? CString() : name;
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD error = ERROR_SUCCESS;
    if (!CurrentBytesWriter()(file, bytes.data(), static_cast<DWORD>(bytes.size())) || !::FlushFileBuffers(file))
        error = ::GetLastError();
    ::CloseHandle(file);
    if (error == ERROR_SUCCESS && !::SetFileAttributesW(sibling, attributes))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS)
        ::DeleteFileW(sibling);
    return error;
}

void Discard(const CString& sibling) {
    ::SetFileAttributesW(sibling, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(sibling);
}

// Puts the flushed sibling in the file's place in one step.
DWORD SwapIn(const CString& sibling, const wchar_t* path) {
    if (::MoveFileExW(sibling, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    Discard(sibling);
    return error;
}

// Rewrites the file itself with the bytes, for a folder where no file can be
// made or moved. A kill half way leaves it part written: nothing better is to
// be had there. A failed write puts the old bytes back; they fit in the room
// the file held before.
DWORD WriteInPlace(const wchar_t* path, const std::string& bytes, const std::string& old) {
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    const auto writeWhole = [file](BytesWriter writer, const std::string& content) {
        return ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
               writer(file, content.data(), static_cast<DWORD>(content.size())) && ::SetEndOfFile(file) &&
               ::FlushFileBuffers(file);
    };
    DWORD error = ERROR_SUCCESS;
    if (!writeWhole(CurrentBytesWriter(), bytes)) {
        error = ::GetLastError();
        writeWhole(WriteBytes, old);
    }
    ::CloseHandle(file);
    return error;
}

// Writes the text beside the file, with the old file's attributes, keeps a
// copy of the old bytes, and only then swaps the new file in: any failure
// leaves the old one whole.
bool RewriteAsUnicode(const wchar_t* path, const std::wstring& text) {
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
        return false;  // a file the user made read-only stays as it is
    CString sibling, original;
    if (WriteSibling(path, Utf16FileBytes(text), attributes, sibling) != ERROR_SUCCESS)
        return false;
    if (!KeepAside(path, L".original", true, original)) {
        Discard(sibling);
        return false;
    }
    if (SwapIn(sibling, path) == ERROR_SUCCESS)
        return true;
    ::DeleteFileW(original);  // the file itself is still the original
    return false;
}

// Blanks as the profile functions take them.
bool IsProfileBlank(wchar_t c) {
    return std::iswspace(c) || c == 0x1A;
}

std::wstring Trimmed(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsProfileBlank(text[first]))
        ++first;
    while (last > first && IsProfileBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// A settings file as the profile functions hold it: sections in file order
// (the first one unnamed, for lines before any heading), each with its lines
// in order; a line without "=" (a comment) has no value. Blank lines go, and
// blanks around names and values, as when the profile functions rewrite it.
struct ProfileLine {
    std::wstring name;
    bool hasValue = false;
    std::wstring value;
};
struct ProfileSection {
    std::wstring name;
    std::vector<ProfileLine> lines;
};

std::vector<ProfileSection> ParseProfile(const std::wstring& text) {
    std::vector<ProfileSection> sections(1);
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find_first_of(L"\r\n", pos), text.size());
        const std::wstring line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        const size_t close = line.rfind(L']');
        if (line[0] == L'[' && close != std::wstring::npos) {
            sections.push_back({line.substr(1, close - 1), {}});
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            sections.back().lines.push_back({line, false, {}});
        else
            sections.back().lines.push_back({Trimmed(line.substr(0, equals)), true, Trimmed(line.substr(equals + 1))});
    }
    return sections;
}

// The text as the profile functions write it: "[name]" and "name=value" lines ending in CR LF.
std::wstring ComposeProfile(const std::vector<ProfileSection>& sections) {
    std::wstring text;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (i > 0)
            text += L"[" + sections[i].name + L"]\r\n";
        for (const ProfileLine& line : sections[i].lines)
            text += line.name + (line.hasValue ? L"=" + line.value : std::wstring()) + L"\r\n";
    }
    return text;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// Sets the value where the profile functions would look for it: the first
// line of that name in the first section of that name; a new key ends its
// section, a new section the file. False when the file held it already.
bool SetProfileValue(std::vector<ProfileSection>& sections, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
    auto in = std::find_if(sections.begin() + 1, sections.end(),
                           [&](const ProfileSection& s) { return SameName(Trimmed(s.name), section); });
    if (in == sections.end()) {
        sections.push_back({section, {{key, true, value}}});
        return true;
    }
    for (ProfileLine& line : in->lines) {
        if (!SameName(line.name, key))
            continue;
        if (line.hasValue && line.value == value)
            return false;
        line.hasValue = true;
        line.value = value;
        return true;
    }
    in->lines.push_back({key, true, value});
    return true;
}

// Takes the settings text into this run's memory and keeps the file from
// being read or written again, reading it as the profile functions do: the
// first of a repeated key counts, blanks around names and values do not,
// nor a pair of quotes around a value.
void HoldInMemory(const wchar_t* path, const std::wstring& text) {
    for (const ProfileSection& section : ParseProfile(text)) {
        const std::wstring name = Trimmed(section.name);
        for (const ProfileLine& line : section.lines) {
            if (!line.hasValue || line.name[0] == L';')
                continue;
            std::wstring value = line.value;
            if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
                value = value.substr(1, value.size() - 2);
            Kept().values.emplace(KeptKey(path, name.c_str(), line.name.c_str()), CString(value.c_str()));
        }
    }
    KeepInMemory(path);
}

struct Setting {
    std::wstring section, key;
    CString value;
};

// Writes the values into the file in one step (see WriteWhole). A file that
// holds every value already is not written: a file nobody may write (held
// open by another program, say) fails only what would change it.
DWORD PutValues(const std::vector<Setting>& settings, const wchar_t* path) {
    std::string bytes;
    const bool exists = ReadAll(path, bytes);
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return ::GetLastError();  // what it holds is unknown: it is not replaced
    std::vector<ProfileSection> sections = ParseProfile(DecodeProfileText(bytes));
    bool changed = !exists;
    for (const Setting& setting : settings)
        changed |= SetProfileValue(sections, setting.section, setting.key, std::wstring(setting.value));
    if (!changed)
        return ERROR_SUCCESS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (exists) {
        // Whether the file may be written now: read-only, or open in another
        // program that lets nobody write it, it stays as it is. The attribute
        // is checked itself: run as root here, the open would get through.
        attributes = ::GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return ERROR_ACCESS_DENIED;
        HANDLE probe = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE)
            return ::GetLastError();
        ::CloseHandle(probe);
    }
    const std::string newBytes = Utf16FileBytes(ComposeProfile(sections));
    CString sibling;
    DWORD error = WriteSibling(path, newBytes, attributes, sibling);
    bool notPlaced = sibling.IsEmpty();  // not even made
    if (error == ERROR_SUCCESS) {
        error = SwapIn(sibling, path);
        notPlaced = error != ERROR_SUCCESS;
    }
    // A folder where the file may be written but no file made or moved in
    // (no right to create files there): the file itself takes the new bytes.
    if (notPlaced && exists)
        error = WriteInPlace(path, newBytes, bytes);
    return error;
}

bool WriteValues(const std::vector<Setting>& settings, const wchar_t* path) {
    DWORD error = ERROR_SUCCESS;
    if (!IsKeptInMemory(path)) {
        error = PutValues(settings, path);
        if (error == ERROR_SUCCESS)
            return true;
        // The run goes on with its settings in memory, over what the file
        // holds, as with a file held in memory from the start: a reload (the
        // options commands reload their sections) gives back what this run
        // set, not the file's older values.
        std::string bytes;
        HoldInMemory(path, ReadAll(path, bytes) ? DecodeProfileText(bytes) : std::wstring());
    }
    for (const Setting& setting : settings)
        Kept().values[KeptKey(path, setting.section.c_str(), setting.key.c_str())] = setting.value;
    if (error != ERROR_SUCCESS && FailureHandler())
        FailureHandler()(path, error);
    return error == ERROR_SUCCESS;
}

// The form of a path that the file functions take beyond 260 characters.
std::wstring LongPathForm(const wchar_t* path) {
    const std::wstring whole(path);
    if (whole.compare(0, 4, L"\\\\?\\") == 0)
        return whole;
    if (whole.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + whole.substr(2);
    return L"\\\\?\\" + whole;
}

// Drops what the profile functions keep of the file, before it is replaced under them.
void FlushProfileCache(const wchar_t* path) {
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);
}

}  // namespace

bool HoldsOptionSections(const wchar_t* path) {
    std::vector<WCHAR> names(4096);
    for (;;) {
        const DWORD got = ::GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), path);
        if (got + 2 < names.size() || names.size() >= (1u << 24))
            break;
        names.assign(names.size() * 4, L'\0');
    }
    names.back() = names[names.size() - 2] = L'\0';
    for (const WCHAR* name = names.data(); *name; name += std::wcslen(name) + 1) {
        for (const wchar_t* section : {kFileSection, kWatermarkSection, kMiscSection})
            if (::lstrcmpiW(name, section) == 0)
                return true;
    }
    return false;
}

PreparedFile PrepareSettingsFile(const wchar_t* path, const CString& executableFolder) {
    PreparedFile result;
    if (std::wcslen(path) >= MAX_PATH) {
        // Beyond what the profile functions take: a cut path would name
        // another file. Whatever settings the file holds are used, none written.
        std::string bytes;
        HoldInMemory(path, ReadAll(LongPathForm(path).c_str(), bytes) ? DecodeProfileText(bytes) : std::wstring());
        result.usable = result.heldInMemory = true;
        return result;
    }
    if (FileExists(path)) {
        // A file that cannot be read now (locked, say) is not taken for a damaged one.
        std::string bytes;
        if (!ReadAll(path, bytes, 2))
            return result;
        if (HoldsOptionSections(path)) {
            // A file the user made read-only is never written: it is read as
            // it is, unless the profile functions would read it through the
            // code page and garble its Hangul (UTF-8 without a mark).
            const bool readOnly = (::GetFileAttributesW(path) & FILE_ATTRIBUTE_READONLY) != 0;
            if (!StartsWith(bytes, "\xFF\xFE", 2) && ReadAll(path, bytes) && (!readOnly || IsUtf8WithoutMark(bytes))) {
                FlushProfileCache(path);
                const std::wstring text = DecodeProfileText(bytes);
                // Written through the code page, its Hangul would be lost.
                if (readOnly || !RewriteAsUnicode(path, text)) {
                    HoldInMemory(path, text);
                    result.heldInMemory = true;
                }
            }
            result.usable = true;
            return result;
        }
        FlushProfileCache(path);
        if (!KeepAside(path, L".damaged", false, result.keptAs))
            return result;
    }
    result.created = result.usable = WriteDefaults(path, executableFolder);
    return result;
}

bool WriteDefaults(const wchar_t* path, const CString& executableFolder) {
    std::vector<Setting> settings = {{kVersionSection, L"Home", L"https://vesk.example.org/"},
                                     {kVersionSection, L"Mail", L"vesk@vesk.example.org"},
                                     {kVersionSection, L"ProjectName", L"VeskCapture"}};
    for (const KeyDefault& row : kFileDefaults)
        settings.push_back({kFileSection, row.key, row.key == kFileDefaults[0].key ? executableFolder : CString(row.value)});
    for (const KeyDefault& row : kWatermarkDefaults)
        settings.push_back({kWatermarkSection, row.key, row.value});
    for (const KeyDefault& row : kMiscDefaults)
        settings.push_back({kMiscSection, row.key, row.value});
    return PutValues(settings, path) == ERROR_SUCCESS;
}

bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path) {
    return WriteValues({{section, key, value ? value : L""}}, path);
}

bool WriteValue(const wchar_t* section, const wchar_t* key, int value, const wchar_t* path) {
    return WriteValue(section, key, IntToString(value), path);
}

bool WriteWhole(const std::function<void(const ValueWriter&)>& store, const wchar_t* path) {
    std::vector<Setting> settings;
    store([&settings](const wchar_t* section, const wchar_t* key, const CString& value) {
        settings.push_back({section, key, value});
    });
    return WriteValues(settings, path);
}

bool WriteKeys(const wchar_t* section, const SectionValues& values, const wchar_t* path) {
    if (values.empty())
        return true;  // not even a missing file is made again
    return WriteWhole(
        [&](const ValueWriter& write) {
            const auto [begin, end] = TableOf(section);
            for (const KeyDefault* row = begin; row != end; ++row)
                if (const auto found = values.find(row->key); found != values.end())
                    write(section, row->key, found->second);
        },
        path);
}

void ReplaceBytesWriter(BytesWriter writer) {
    CurrentBytesWriter() = writer ? writer : WriteBytes;
}

}  // namespace profile
