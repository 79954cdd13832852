#include "app/settings/Profile.h"

#include "app/AppStrings.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <iterator>
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

int ParseDecimal(const wchar_t* text) {
    if (!text)
        return 0;
    while (*text == L' ' || *text == L'\t' || *text == L'\n' || *text == L'\r' || *text == L'\v' || *text == L'\f')
        ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-')
        negative = *text++ == L'-';
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

CString ExecutableFolder() {
    WCHAR buffer[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length >= MAX_PATH)
        length = MAX_PATH - 1;
    buffer[length] = L'\0';
    CString path(buffer);
    int slash = path.ReverseFind(L'\\');
    return slash >= 0 ? path.Left(slash) : path;
}

CString SettingsPathIn(const CString& folder) {
    CString path;
    path.Format(L"%s\\%s", static_cast<LPCWSTR>(folder), kFileName);
    return path;
}

CString ReadValue(const wchar_t* section, const wchar_t* key, const wchar_t* path, DWORD bufferChars) {
    std::vector<WCHAR> buffer(bufferChars ? bufferChars : 1, L'\0');
    ::GetPrivateProfileStringW(section, key, L"", buffer.data(), static_cast<DWORD>(buffer.size()), path);
    buffer.back() = L'\0';
    return CString(buffer.data());
}

namespace {
bool CreateUnicodeFile(const wchar_t* path);
}

void WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path) {
    // A file the profile functions create themselves is ANSI: Hangul would become '?'.
    if (!FileExists(path))
        CreateUnicodeFile(path);
    ::WritePrivateProfileStringW(section, key, value, path);
}

void WriteValue(const wchar_t* section, const wchar_t* key, int value, const wchar_t* path) {
    WriteValue(section, key, IntToString(value), path);
}

bool FileExists(const wchar_t* path) {
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

ValueReader FileReader(const wchar_t* path) {
    CString file(path);
    return [file](const wchar_t* section, const wchar_t* key, DWORD bufferChars) {
        return ReadValue(section, key, file, bufferChars);
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

ValueReader DefaultsReader(const CString& executableFolder) {
    return [executableFolder](const wchar_t* section, const wchar_t* key, DWORD bufferChars) {
        auto find = [&](const KeyDefault* begin, const KeyDefault* end) -> CString {
            for (const KeyDefault* row = begin; row != end; ++row)
                if (std::wcscmp(row->key, key) == 0)
                    return row == kFileDefaults ? executableFolder : CString(row->value);
            return CString();
        };
        CString value;
        if (std::wcscmp(section, kFileSection) == 0)
            value = find(std::begin(kFileDefaults), std::end(kFileDefaults));
        else if (std::wcscmp(section, kWatermarkSection) == 0)
            value = find(std::begin(kWatermarkDefaults), std::end(kWatermarkDefaults));
        else if (std::wcscmp(section, kMiscSection) == 0)
            value = find(std::begin(kMiscDefaults), std::end(kMiscDefaults));
        // The same truncation as a read from the file.
        if (bufferChars && value.GetLength() >= static_cast<int>(bufferChars))
            value = value.Left(static_cast<int>(bufferChars) - 1);
        return value;
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

// The text as the profile functions read it: by its byte-order mark, else in
// the ANSI code page.
std::wstring DecodeProfileText(const std::string& bytes) {
    std::wstring text;
    if (StartsWith(bytes, "\xFE\xFF", 2)) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                         static_cast<unsigned char>(bytes[i + 1]));
        return text;
    }
    UINT codePage = CP_ACP;
    size_t start = 0;
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) {
        codePage = CP_UTF8;
        start = 3;
    }
    const int length = static_cast<int>(bytes.size() - start);
    if (length <= 0)
        return text;
    const int chars = ::MultiByteToWideChar(codePage, 0, bytes.data() + start, length, nullptr, 0);
    if (chars <= 0)
        return text;
    text.resize(static_cast<size_t>(chars));
    ::MultiByteToWideChar(codePage, 0, bytes.data() + start, length, &text[0], chars);
    return text;
}

// Writes the text beside the file first, so that a failure leaves the old one whole.
bool RewriteAsUnicode(const wchar_t* path, const std::wstring& text) {
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
                    written == bytes.size();
    ::CloseHandle(file);
    if (!ok || !::MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary);
        return false;
    }
    return true;
}

// Moves the file to the first free name of "<path>.damaged", "<path>.damaged2", ...
bool KeepAside(const wchar_t* path, CString& keptAs) {
    for (int n = 1; n < 1000; ++n) {
        CString target;
        if (n == 1)
            target.Format(L"%s.damaged", path);
        else
            target.Format(L"%s.damaged%d", path, n);
        if (::MoveFileW(path, target)) {
            keptAs = target;
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
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
    if (FileExists(path)) {
        // A file that cannot be read now (locked, say) is not taken for a damaged one.
        std::string bytes;
        if (!ReadAll(path, bytes, 2))
            return result;
        if (HoldsOptionSections(path)) {
            if (!StartsWith(bytes, "\xFF\xFE", 2) && ReadAll(path, bytes)) {
                FlushProfileCache(path);
                // Should this fail, the file still loads; only Hangul written later would suffer.
                RewriteAsUnicode(path, DecodeProfileText(bytes));
            }
            result.usable = true;
            return result;
        }
        FlushProfileCache(path);
        if (!KeepAside(path, result.keptAs))
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
