#include "app/settings/Profile.h"

#include "app/AppStrings.h"

#include <climits>
#include <cwchar>
#include <iterator>
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

void WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* path) {
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

}  // namespace

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
