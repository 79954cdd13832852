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

bool CreateUnicodeFile(const wchar_t* path);

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

bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path) {
    if (IsKeptInMemory(path)) {
        Kept().values[KeptKey(path, section, key)] = value;
        return true;
    }
    // A value the file already holds is not written again: a file nobody may
    // write (held open by another program, say) fails only what would change it.
    static const CString missing(L"\x01");
    if (ReadOr(section, key, path, kWholeValue, missing) == (value ? value : L""))
        return true;
    // A file the profile functions create themselves is ANSI: Hangul would become '?'.
    if (!FileExists(path))
        CreateUnicodeFile(path);
    if (::WritePrivateProfileStringW(section, key, value, path))
        return true;
    if (FailureHandler())
        FailureHandler()(path);
    return false;
}

bool WriteValue(const wchar_t* section, const wchar_t* key, int value, const wchar_t* path) {
    return WriteValue(section, key, IntToString(value), path);
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

ValueWriter FileWriter(const wchar_t* path) {
    CString file(path);
    return [file](const wchar_t* section, const wchar_t* key, const CString& value) {
        WriteValue(section, key, value, file);
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

CString DefaultValue(const wchar_t* section, const wchar_t* key, const CString& executableFolder) {
    auto find = [&](const KeyDefault* begin, const KeyDefault* end) -> CString {
        for (const KeyDefault* row = begin; row != end; ++row)
            if (std::wcscmp(row->key, key) == 0)
                return row == kFileDefaults ? executableFolder : CString(row->value);
        return CString();
    };
    if (std::wcscmp(section, kFileSection) == 0)
        return find(std::begin(kFileDefaults), std::end(kFileDefaults));
    if (std::wcscmp(section, kWatermarkSection) == 0)
        return find(std::begin(kWatermarkDefaults), std::end(kWatermarkDefaults));
    if (std::wcscmp(section, kMiscSection) == 0)
        return find(std::begin(kMiscDefaults), std::end(kMiscDefaults));
    return CString();
}

ValueReader DefaultsReader(const CString& executableFolder) {
    return [executableFolder](const wchar_t* section, const wchar_t* key, DWORD bufferChars) {
        // The same truncation as a read from the file.
        return Cut(DefaultValue(section, key, executableFolder), bufferChars);
    };
}

namespace {

// An ANSI profile file turns every non-ASCII character into '?'; a file that
// starts with a UTF-16LE byte-order mark is kept in Unicode by the profile API.
bool CreateUnicodeFile(const wchar_t* path) {
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS;
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bom, sizeof bom, &written, nullptr);
    ::CloseHandle(file);
    return ok && written == sizeof bom;
}

template <size_t N>
void WriteTable(const wchar_t* section, const KeyDefault (&table)[N], const wchar_t* path) {
    for (const KeyDefault& row : table)
        WriteValue(section, row.key, row.value, path);
}

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
    ::CloseHandle(file);
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

// Writes the text beside the file, flushed, with the old file's attributes,
// keeps a copy of the old bytes, and only then swaps the new file in: any
// failure leaves the old one whole.
bool RewriteAsUnicode(const wchar_t* path, const std::wstring& text) {
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
        return false;  // a file the user made read-only stays as it is
    CString temporary;
    temporary.Format(L"%s.new", path);
    HANDLE file = ::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    CString original;
    if (ok && ::SetFileAttributesW(temporary, attributes) && KeepAside(path, L".original", true, original)) {
        if (::MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        ::DeleteFileW(original);  // the file itself is still the original
    }
    ::SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temporary);
    return false;
}

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// Takes the settings text into this run's memory and keeps the file from
// being read or written again, reading it as the profile functions do: the
// first of a repeated key counts, blanks around names and values do not,
// nor a pair of quotes around a value.
void HoldInMemory(const wchar_t* path, const std::wstring& text) {
    std::wstring section;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find_first_of(L"\r\n", pos), text.size());
        const std::wstring line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line[0] == L'[') {
            section = Trimmed(line.substr(1, line.find(L']') - 1));
            continue;
        }
        const size_t equals = line.find(L'=');
        if (line.empty() || line[0] == L';' || equals == std::wstring::npos)
            continue;
        std::wstring value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
            value = value.substr(1, value.size() - 2);
        Kept().values.emplace(KeptKey(path, section.c_str(), Trimmed(line.substr(0, equals)).c_str()),
                              CString(value.c_str()));
    }
    KeepInMemory(path);
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
            // A file the user made read-only is read as it is and never written.
            if (!StartsWith(bytes, "\xFF\xFE", 2) && !(::GetFileAttributesW(path) & FILE_ATTRIBUTE_READONLY) &&
                ReadAll(path, bytes)) {
                FlushProfileCache(path);
                const std::wstring text = DecodeProfileText(bytes);
                // Written through the code page, its Hangul would be lost.
                if (!RewriteAsUnicode(path, text)) {
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
    if (!CreateUnicodeFile(path))
        return false;
    WriteValue(kVersionSection, L"Home", L"https://vesk.example.org/", path);
    WriteValue(kVersionSection, L"Mail", L"vesk@vesk.example.org", path);
    WriteValue(kVersionSection, L"ProjectName", L"VeskCapture", path);
    for (const KeyDefault& row : kFileDefaults)
        WriteValue(kFileSection, row.key, row.key == kFileDefaults[0].key ? executableFolder : CString(row.value), path);
    WriteTable(kWatermarkSection, kWatermarkDefaults, path);
    WriteTable(kMiscSection, kMiscDefaults, path);
    return true;
}

}  // namespace profile
