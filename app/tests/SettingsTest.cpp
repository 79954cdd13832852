// The settings file as the program writes and reads it, through the real
// profile functions, and vesk.exe started on such files.
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/PatternHost.h"
#include "tests/driver/VeskRun.h"
#include "tests/driver/XInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vesk_test;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

std::string Utf8Bytes(const std::wstring& text) {
    std::string bytes(text.size() * 3 + 1, '\0');
    bytes.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                           &bytes[0], static_cast<int>(bytes.size()), nullptr,
                                                           nullptr)));
    return bytes;
}

// Sections ("[name]", "") and keys of a UTF-16 file in the order they stand in it.
std::vector<std::pair<std::wstring, std::wstring>> LinesOf(const std::string& bytes) {
    std::wstring text;
    const size_t start = bytes.compare(0, 2, "\xFF\xFE") == 0 ? 2 : 0;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        std::wstring line = text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
        pos = end == std::wstring::npos ? text.size() : end + 1;
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
            line.pop_back();
        if (line.empty())
            continue;
        size_t eq = line.find(L'=');
        if (line[0] == L'[')
            lines.emplace_back(line, L"");
        else
            lines.emplace_back(line.substr(0, eq), eq == std::wstring::npos ? L"" : line.substr(eq + 1));
    }
    return lines;
}

// Two names of 150 characters: below any folder, a path longer than the system's.
const std::wstring kLong = std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b');

// Any path, also one beyond 260 characters.
std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        WCHAR temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vesk-settings-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++counter_);
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        path_ = profile::SettingsPathIn(CString(folder_.c_str()));
    }
    void TearDown() override {
        ::DeleteFileW(path_);
        ::RemoveDirectoryW(folder_.c_str());
    }

    void WriteRaw(const std::string& bytes) { ASSERT_TRUE(WriteBytes(std::wstring(path_), bytes)); }
    std::string ReadRaw() const { return FileBytes(std::wstring(path_)); }
    std::vector<std::pair<std::wstring, std::wstring>> Lines() const { return LinesOf(ReadRaw()); }

    std::wstring folder_;
    CString path_;
    static inline int counter_ = 0;
};

struct KeyDefaultsCheck {
    const wchar_t* section;
    const profile::KeyDefault* table;
    int count;
    CString copy;
};

TEST(ParseDecimal, ReadsLeadingNumberLikeTheProfileConversion) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"12abc", 12}, {L"abc", 0}, {L" -3", -3}, {L"", 0}, {L"+7", 7}, {L"-", 0}, {L"\t42", 42},
        {L"0255", 255}, {L"99999999999", INT_MAX}, {L"-99999999999", INT_MIN}, {L"-2147483648", INT_MIN},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(profile::ParseDecimal(text), expected) << "text \"" << Narrow(text) << "\"";
    EXPECT_EQ(profile::ParseDecimal(nullptr), 0);
}

TEST_F(SettingsFile, FirstStartWritesEveryDefaultInTableOrder) {
    const CString exeFolder = profile::ExecutableFolder();
    ASSERT_TRUE(profile::WriteDefaults(path_, exeFolder));

    const std::string raw = ReadRaw();
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(0, 2), "\xFF\xFE") << "the file must be UTF-16 to keep Hangul paths";

    std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"[VESK VERSION]", L""}, {L"Home", L""}, {L"Mail", L""}, {L"ProjectName", L"VeskCapture"},
        {L"[FILE OPTIONS]", L""}};
    for (const auto& row : profile::kFileDefaults)
        expected.emplace_back(row.key, std::wstring(row.key) == L"Directory" ? std::wstring(exeFolder) : row.value);
    expected.emplace_back(L"[WATERMARK OPTIONS]", L"");
    for (const auto& row : profile::kWatermarkDefaults)
        expected.emplace_back(row.key, row.value);
    expected.emplace_back(L"[MISCELLANEOUS OPTIONS]", L"");
    for (const auto& row : profile::kMiscDefaults)
        expected.emplace_back(row.key, row.value);

    auto lines = Lines();
    ASSERT_EQ(lines.size(), expected.size());
    int optionKeys = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].first, expected[i].first) << "line " << i;
        if (expected[i].first == L"Home" || expected[i].first == L"Mail")
            EXPECT_FALSE(lines[i].second.empty());
        else
            EXPECT_EQ(lines[i].second, expected[i].second) << "key " << Narrow(expected[i].first.c_str());
        if (i > 4 && lines[i].first[0] != L'[')
            ++optionKeys;
    }
    EXPECT_EQ(optionKeys, 43);
    EXPECT_FALSE(profile::WriteDefaults(CString(L"Z:\\no\\such\\folder\\vesk.ini"), exeFolder));

    // Loaded back, the objects hold the defaults (the keys' mapping is the round trip's).
    COpFilePropertyPage file;
    COpWatermarkPropertyPage watermark;
    file.LoadOptions(path_);
    watermark.LoadOptions(path_);
    EXPECT_EQ(std::wstring(file.Directory), std::wstring(exeFolder));
    EXPECT_EQ(std::wstring(file.NameWithCount), L"Vesk_0");
    EXPECT_EQ(watermark.Red + watermark.RedSlider + watermark.Blue, 765);

    // A run that cannot make the file starts from the same values in memory.
    COpFilePropertyPage fileDefaults;
    COpWatermarkPropertyPage watermarkDefaults;
    COpContinuePage miscDefaults;
    fileDefaults.LoadDefaults(exeFolder);
    watermarkDefaults.LoadDefaults(exeFolder);
    miscDefaults.LoadDefaults(exeFolder);
    const CString copies[] = {path_ + L".file", path_ + L".watermark", path_ + L".misc"};
    fileDefaults.SaveOptions(copies[0]);
    watermarkDefaults.SaveOptions(copies[1]);
    miscDefaults.SaveOptions(copies[2]);
    for (const KeyDefaultsCheck& check : {
             KeyDefaultsCheck{profile::kFileSection, profile::kFileDefaults, 6, copies[0]},
             KeyDefaultsCheck{profile::kWatermarkSection, profile::kWatermarkDefaults, 27, copies[1]},
             KeyDefaultsCheck{profile::kMiscSection, profile::kMiscDefaults, 10, copies[2]}}) {
        for (int i = 0; i < check.count; ++i) {
            const wchar_t* key = check.table[i].key;
            EXPECT_EQ(std::wstring(profile::ReadValue(check.section, key, check.copy)),
                      std::wstring(profile::ReadValue(check.section, key, path_)))
                << Narrow(key);
        }
        ::DeleteFileW(check.copy);
    }
}

// "key=value" lines (of any sections) as a map.
std::map<std::wstring, std::wstring> ValuesOf(const std::wstring& text) {
    std::map<std::wstring, std::wstring> values;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find_first_of(L"\r\n", pos), text.size());
        const std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            values.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return values;
}

// Start-up leaves a file that holds settings as it is, only rewriting one in
// another encoding as UTF-16 with the same text (the original kept beside it),
// so that later writes keep Hangul. The objects then hold, and save, the row's
// values and every other key's default: missing and unusable values read as
// their defaults, numbers out of range are brought into it.
TEST_F(SettingsFile, ExistingFileIsReadAsItIs) {
    enum Encoding { kUtf16, kAnsi, kUtf8 };
    struct Case {
        const char* name;
        Encoding encoding;
        const wchar_t* content;
        const wchar_t* held;  // the values that are not defaults; null: the content's own
    };
    const Case cases[] = {
        {"missing and unusable values read as defaults", kUtf16,
         L"[FILE OPTIONS]\r\nDirectory=\r\nFileCount=-5\r\nFileType=xyz\r\nFileName=..\\..\\up\r\n"
         L"[WATERMARK OPTIONS]\r\nAlpha=999\r\nRotation=720\r\nRotate=9\r\nTextBkR=300\r\nRed=-1\r\nChoice=abc\r\n"
         L"Text=\r\n[MISCELLANEOUS OPTIONS]\r\nCookieNumber=abc\r\nStartTray=\r\n",
         L"Text=\nRotate=5\nTextBkR=255\nRed=0"},  // an emptied text is the user's
        {"misc values count seven characters", kUtf16,
         L"[MISCELLANEOUS OPTIONS]\r\nCookieNumber=12345678\r\nStartTray=1\r\n", L"CookieNumber=1234567\nStartTray=1"},
        {"numbers use the leading digits", kUtf16,
         L"[FILE OPTIONS]\r\nFileCount=12abc\r\n[WATERMARK OPTIONS]\r\nFontBold=2\r\nFontItalic=0\r\nLocation=abc\r\n"
         L"Rotation=-90\r\n",
         L"FileCount=12\nFontItalic=0\nRotation=270"},
        {"a valid file reads as it always did", kUtf16,
         L"[FILE OPTIONS]\r\nDirectory=C:\\Shots\r\nFileName=Shot\r\nFileCount=7\r\nFileType=PNG\r\nEditedChecked=1\r\n"
         L"EditedTool=\r\n[WATERMARK OPTIONS]\r\nWaterMark=1\r\nChoice=0\r\nImageDir=C:\\m.png\r\nImageWidth=40\r\n"
         L"ImageHeight=30\r\nText=T\r\nFontFace=Gulim\r\nFontSize=-12\r\nFontBold=0\r\nFontItalic=0\r\n"
         L"FontUnderline=0\r\nTextBkR=1\r\nTextBkG=2\r\nTextBkB=3\r\nTextColorR=4\r\nTextColorG=5\r\nTextColorB=6\r\n"
         L"Location=8\r\nLeftRightMargin=-7\r\nTopBottomMargin=9\r\nRotate=3\r\nRotation=360\r\nAlpha=0\r\n"
         L"HideColor=1\r\nRed=10\r\nGreen=11\r\nBlue=255\r\n[MISCELLANEOUS OPTIONS]\r\nWindowStart=1\r\nStartTray=1\r\n"
         L"MouseCursor=0\r\nLayered=0\r\nPointerEffect=0\r\nMagnifierEffect=0\r\nToolTipEffect=0\r\nSoundEffect=0\r\n"
         L"CookieNumber=0\r\nKeepEffect=1\r\n",
         nullptr},
        {"an ANSI file is still read", kAnsi, L"[FILE OPTIONS]\r\nDirectory=C:\\Shots\r\nFileType=png\r\n", nullptr},
        // What today's editors save: UTF-8 without a byte-order mark.
        {"a UTF-8 file keeps its Hangul", kUtf8, L"[FILE OPTIONS]\r\nDirectory=C:\\한글 폴더\r\nFileName=화면\r\n", nullptr},
    };
    const CString original = path_ + L".original";
    const CString copy = path_ + L".saved";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring content = c.content;
        if (c.encoding == kUtf16)
            WriteRaw(Utf16Bytes(content));
        else if (c.encoding == kAnsi)
            WriteRaw(std::string(content.begin(), content.end()));
        else
            WriteRaw(Utf8Bytes(content));
        // The swap keeps what the user set on the file.
        ::SetFileAttributesW(path_, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        const std::string before = ReadRaw();
        const profile::PreparedFile prepared = profile::PrepareSettingsFile(path_, CString(folder_.c_str()));
        EXPECT_TRUE(prepared.usable && !prepared.created && !prepared.heldInMemory);
        EXPECT_EQ(::GetFileAttributesW(path_) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(ReadRaw(), c.encoding == kUtf16 ? before : Utf16Bytes(content));
        EXPECT_EQ(FileBytes(std::wstring(original)), c.encoding == kUtf16 ? "" : before) << "the original bytes";
        ::DeleteFileW(original);
        COpFilePropertyPage file;
        COpWatermarkPropertyPage watermark;
        COpContinuePage misc;
        file.LoadOptions(path_);
        watermark.LoadOptions(path_);
        misc.LoadOptions(path_);
        file.SaveOptions(copy);
        watermark.SaveOptions(copy);
        misc.SaveOptions(copy);
        const auto held = ValuesOf(c.held ? c.held : c.content);
        for (const KeyDefaultsCheck& table : {KeyDefaultsCheck{profile::kFileSection, profile::kFileDefaults, 6},
                                              KeyDefaultsCheck{profile::kWatermarkSection, profile::kWatermarkDefaults, 27},
                                              KeyDefaultsCheck{profile::kMiscSection, profile::kMiscDefaults, 10}})
            for (int i = 0; i < table.count; ++i) {
                const wchar_t* key = table.table[i].key;
                const auto found = held.find(key);
                EXPECT_EQ(std::wstring(profile::ReadValue(table.section, key, copy, profile::kWholeValue)),
                          found != held.end() ? found->second
                                              : std::wstring(profile::DefaultValue(table.section, key,
                                                                                   profile::ExecutableFolder())))
                    << Narrow(key);
            }
        ::DeleteFileW(copy);
        ::SetFileAttributesW(path_, FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(SettingsFile, SavedSectionsRoundTrip) {
    ASSERT_TRUE(profile::WriteDefaults(path_, CString(L"C:\\")));
    COpFilePropertyPage file;
    file.LoadOptions(path_);
    // A folder longer than the system's paths is kept whole.
    const std::wstring longFolder = L"C:\\캡쳐\\" + std::wstring(300, L'스');
    file.Directory = longFolder.c_str();
    file.FileName = L"화면";
    file.FileCount = 41;
    file.SaveOptions(path_);

    COpWatermarkPropertyPage watermark;
    watermark.LoadOptions(path_);
    watermark.Text = L"베스크 워터마크";
    watermark.FontBold = true;
    watermark.RedSlider = 1;  // the slider copies are not what is stored
    watermark.Red = 12;
    watermark.Rotation = 270;
    watermark.SaveOptions(path_);

    COpContinuePage misc;
    misc.LoadOptions(path_);
    misc.StartTray = 1;
    misc.CookieNumber = 9999999;
    misc.SaveOptions(path_);

    COpFilePropertyPage file2;
    COpWatermarkPropertyPage watermark2;
    COpContinuePage misc2;
    file2.LoadOptions(path_);
    watermark2.LoadOptions(path_);
    misc2.LoadOptions(path_);
    EXPECT_EQ(std::wstring(file2.Directory), longFolder);
    EXPECT_EQ(std::wstring(file2.NameWithCount), L"화면_41");
    EXPECT_EQ(std::wstring(watermark2.Text), L"베스크 워터마크");
    EXPECT_EQ(watermark2.Red, 12);
    EXPECT_EQ(watermark2.RedSlider, 12);
    EXPECT_EQ(watermark2.Rotation, 270);
    EXPECT_EQ(misc2.StartTray, 1);
    EXPECT_EQ(misc2.CookieNumber, 9999999);

    // Key order of each section survives rewriting.
    auto lines = Lines();
    size_t fileAt = 0;
    while (fileAt < lines.size() && lines[fileAt].first != L"[FILE OPTIONS]")
        ++fileAt;
    ASSERT_LT(fileAt + 6, lines.size());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[fileAt + 1 + i].first, profile::kFileDefaults[i].key);

    // Saves keep the file hidden; where no file can be made beside it (a
    // folder in the way), the file itself takes the value.
    std::vector<DWORD> failures;
    profile::SetWriteFailureHandler([&](const wchar_t*, DWORD error) { failures.push_back(error); });
    for (const int rotation : {90, 180}) {
        failures.clear();
        ::SetFileAttributesW(path_, FILE_ATTRIBUTE_HIDDEN);
        if (rotation == 180)
            ::CreateDirectoryW(path_ + L".new", nullptr);
        watermark2.Rotation = rotation;
        watermark2.SaveOptions(path_);
        EXPECT_EQ(failures, std::vector<DWORD>{}) << rotation;
        EXPECT_EQ(std::wstring(profile::ReadValue(profile::kWatermarkSection, L"Rotation", path_)), std::to_wstring(rotation));
        EXPECT_EQ(::GetFileAttributesW(path_) & FILE_ATTRIBUTE_HIDDEN, 2u) << rotation;
    }
    ::RemoveDirectoryW(path_ + L".new");
    ::SetFileAttributesW(path_, FILE_ATTRIBUTE_NORMAL);

    // Saved as the profile functions write: comments and unknown keys kept,
    // blank lines and blanks around names and values gone, a new key at the
    // end of its section, a new section at the end of the file.
    const std::string odd = Utf16Bytes(L"; mine\r\n\r\n[file options]\r\n Directory = C:\\a \r\nX=1\r\n\r\n[WATERMARK OPTIONS]\r\n");
    const std::wstring theirs = folder_ + L"\\theirs.ini";
    WriteRaw(odd);
    ASSERT_TRUE(WriteBytes(theirs, odd));
    file2.SaveOptions(path_);
    misc2.SaveOptions(path_);
    for (const KeyDefaultsCheck& table : {KeyDefaultsCheck{profile::kFileSection, profile::kFileDefaults, 6},
                                          KeyDefaultsCheck{profile::kMiscSection, profile::kMiscDefaults, 10}})
        for (int i = 0; i < table.count; ++i)
            ::WritePrivateProfileStringW(table.section, table.table[i].key,
                                         profile::ReadValue(table.section, table.table[i].key, path_, profile::kWholeValue),
                                         theirs.c_str());
    EXPECT_TRUE(ReadRaw() == FileBytes(theirs));
    ::DeleteFileW(theirs.c_str());

    // A program folder of 260 characters or more: beyond the profile functions.
    // Its file is read whole into memory and rounds trips there, never written.
    const std::wstring deep = folder_ + L"\\" + kLong;
    ::CreateDirectoryW(Long(deep.substr(0, deep.rfind(L'\\'))).c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryW(Long(deep).c_str(), nullptr));
    const CString deepPath = profile::SettingsPathIn(CString(deep.c_str()));
    ASSERT_TRUE(WriteBytes(Long(deepPath.str()), ReadRaw()));
    EXPECT_TRUE(profile::PrepareSettingsFile(deepPath, CString(folder_.c_str())).heldInMemory);
    file2.LoadOptions(deepPath);
    EXPECT_EQ(std::wstring(file2.NameWithCount), L"화면_41");
    file2.FileCount = 42;
    file2.SaveOptions(deepPath);
    file2.LoadOptions(deepPath);
    EXPECT_EQ(std::wstring(file2.NameWithCount), L"화면_42");
    EXPECT_TRUE(FileBytes(Long(deepPath.str())) == ReadRaw()) << "the file was written";
    ::DeleteFileW(Long(deepPath.str()).c_str());
    ::RemoveDirectoryW(Long(deep).c_str());
    ::RemoveDirectoryW(Long(deep.substr(0, deep.rfind(L'\\'))).c_str());

    // A full disk half way through a save, as a kill would cut it: the file
    // stays whole, and the failure is told once, with its reason.
    failures.clear();
    profile::ReplaceBytesWriter([](HANDLE file, const char* bytes, DWORD size) {
        DWORD written = 0;
        ::WriteFile(file, bytes, size / 2, &written, nullptr);
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    });
    const std::string whole = ReadRaw();
    misc2.KeepEffect = 1;
    misc2.SaveOptions(path_);
    profile::ReplaceBytesWriter(nullptr);
    profile::SetWriteFailureHandler(nullptr);
    EXPECT_TRUE(ReadRaw() == whole) << "the file was cut";
    EXPECT_EQ(failures, std::vector<DWORD>{ERROR_DISK_FULL});
    EXPECT_FALSE(Exists(std::wstring(path_) + L".new"));
    misc2.LoadOptions(path_);  // the run keeps what it set, not the file's older values
    EXPECT_EQ(misc2.KeepEffect, 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// vesk.exe on settings files as users leave them: written by hand, by other
// editors, locked, damaged, read-only.

namespace {

// A valid file as earlier versions wrote it: every key in table order, quiet
// captures (no cursor, sound or balloon), captures into `folder`.
std::wstring ValidText(const std::wstring& folder) {
    std::wstring text = L"[VESK VERSION]\r\nHome=https://vesk.example.org/\r\nMail=vesk@vesk.example.org\r\n"
                        L"ProjectName=VeskCapture\r\n[FILE OPTIONS]\r\n";
    for (const auto& row : profile::kFileDefaults)
        text += std::wstring(row.key) + L"=" + (row.key == std::wstring(L"Directory") ? folder : row.value) + L"\r\n";
    text += L"[WATERMARK OPTIONS]\r\n";
    for (const auto& row : profile::kWatermarkDefaults)
        text += std::wstring(row.key) + L"=" + row.value + L"\r\n";
    text += L"[MISCELLANEOUS OPTIONS]\r\n";
    for (const auto& row : profile::kMiscDefaults) {
        const std::wstring key = row.key;
        const bool quiet = key == L"MouseCursor" || key == L"SoundEffect" || key == L"ToolTipEffect";
        text += key + L"=" + (quiet ? L"0" : row.value) + L"\r\n";
    }
    return text;
}

// The text with each line of `changes` in place of its key's line: "key=value",
// or "key" alone to remove it.
std::wstring With(std::wstring text, const wchar_t* changes) {
    const std::wstring all = changes ? changes : L"";
    for (size_t pos = 0; pos < all.size();) {
        const size_t end = std::min(all.find(L'\n', pos), all.size());
        const std::wstring change = all.substr(pos, end - pos);
        pos = end + 1;
        const size_t at = text.find(L"\n" + change.substr(0, change.find(L'=')) + L"=");
        if (at != std::wstring::npos)
            text.replace(at + 1, text.find(L"\r\n", at + 1) + 1 - at,
                         change.find(L'=') == std::wstring::npos ? L"" : change + L"\r\n");
    }
    return text;
}

// "<>" stands for the test's folder, "<long>" for kLong.
std::wstring Expand(std::wstring text, const std::wstring& folder) {
    for (size_t at; (at = text.find(L"<long>")) != std::wstring::npos;)
        text.replace(at, 6, kLong);
    for (size_t at; (at = text.find(L"<>")) != std::wstring::npos;)
        text.replace(at, 2, folder);
    return text;
}

// A box's text as one line, however it was broken to fit the screen.
std::wstring Joined(const std::wstring& text) {
    std::wstring joined;
    for (wchar_t c : text)
        if (c != L'\n' && c != L'\r')
            joined += c;
    return joined;
}

// Every "[section]key=value" of a UTF-16 file, sorted: the file's content
// whatever order the profile functions put added keys in.
std::vector<std::wstring> Entries(const std::string& bytes) {
    std::vector<std::wstring> entries;
    std::wstring section;
    for (const auto& [key, value] : LinesOf(bytes)) {
        if (key[0] == L'[')
            section = key;
        else
            entries.push_back(section + key + L"=" + value);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// How the file is held: not at all; locked until the main dialog shows; open,
// not to be moved, until then; open for reading only, so that nobody writes
// it, for the whole run; a folder where its converted copy would be written;
// marked read-only.
enum class Hold { kNothing, kLocked, kUndeletable, kUnwritable, kNoRoomBeside, kReadOnly };
enum Encoding { kUtf16, kUtf8, kNoise };

struct StartCase {
    const char* name;
    const wchar_t* keys;  // changes to a valid file (see With)
    Encoding encoding;
    Hold hold;
    const wchar_t* programIn;    // the folder of vesk.exe and vesk.ini below the test's; null: that one
    const wchar_t* startNotice;  // what a box before the main dialog says; null: no box
    const wchar_t* capture;      // where a capture lands; null: none does
    const wchar_t* failure;      // what the box of a capture (the second, after one landed) says
    const wchar_t* exitNotice;   // what a box on the way out says; null: no box
    const wchar_t* saved;        // the file after the exit: changes to a valid file; null: as it was
    bool sessionEnd = false;     // the session ends (and the system ends the program) instead of an exit
    const wchar_t* typed = nullptr;  // typed over the name on the file page, left there unconfirmed
    bool confirmed = false;          // or confirmed with OK
    const wchar_t* otherCopy = nullptr;  // the editor another copy saves before the page opens (when confirmed: after)
    int burst = 0;  // GIF captures asked for just before the session ends
};

// Each file is started, captured into and left; what the program said and wrote is checked.
TEST(VeskSettingsFile, StartsAsTheFileSaysAndLeavesWhatItCannotUse) {
    const StartCase cases[] = {
        {"no folder, a name no file can have, an unknown type, a negative counter",
         L"Directory\nFileName=..\\..\\up\nFileType=xyz\nFileCount=-5", kUtf16, Hold::kNothing, nullptr, nullptr,
         L"<>\\Vesk_0.bmp", nullptr, nullptr, L"Directory\nFileName=..\\..\\up\nFileType=xyz\nFileCount=1"},
        {"a valid file of an earlier version, its folder gone",
         L"Directory=<>\\gone\\shots\nFileName=Shot\nFileCount=7\nFileType=png", kUtf16, Hold::kNothing, nullptr,
         nullptr, L"<>\\gone\\shots\\Shot_7.png", nullptr, nullptr,
         L"Directory=<>\\gone\\shots\nFileName=Shot\nFileCount=8\nFileType=png"},
        {"UTF-8 without a byte-order mark, a Hangul folder", L"Directory=<>\\한글 폴더\nFileName=화면", kUtf8,
         Hold::kNothing, nullptr, nullptr, L"<>\\한글 폴더\\화면_0.bmp", nullptr, nullptr,
         L"Directory=<>\\한글 폴더\nFileName=화면\nFileCount=1"},
        {"a folder longer than a path may be", L"Directory=<>\\<long>", kUtf16, Hold::kNothing, nullptr, nullptr,
         nullptr, L"저장할 파일의 경로가 너무 깁니다. 더 짧은 저장 폴더를 고르세요.<>\\<long>", nullptr,
         L"Directory=<>\\<long>\nFileCount=1"},
        {"a file where the folder should be", L"Directory=<>\\vesk.exe\\shots", kUtf16, Hold::kNothing, nullptr,
         nullptr, nullptr, L"저장 폴더를 만들 수 없습니다.<>\\vesk.exe\\shots(", nullptr,
         L"Directory=<>\\vesk.exe\\shots\nFileCount=1"},
        {"the counter at its top", L"FileCount=2147483647", kUtf16, Hold::kNothing, nullptr, nullptr,
         L"<>\\Vesk_2147483647.bmp", L"남은 파일 번호가 없어", nullptr, nullptr},
        {"a relative folder, the program started in another", L"Directory=caps", kUtf16, Hold::kNothing, L"prog",
         nullptr, L"<>\\prog\\caps\\Vesk_0.bmp", nullptr, nullptr, L"Directory=caps\nFileCount=1"},
        {"locked at the start", L"Directory=<>\\elsewhere", kUtf16, Hold::kLocked, nullptr,
         L"설정 파일을 읽거나 만들 수 없습니다.<>\\vesk.ini", L"<>\\Vesk_0.bmp", nullptr, nullptr, nullptr},
        {"damaged and not to be moved aside", nullptr, kNoise, Hold::kUndeletable, nullptr,
         L"설정 파일을 읽거나 만들 수 없습니다.<>\\vesk.ini", L"<>\\Vesk_0.bmp", nullptr, nullptr, nullptr},
        {"UTF-8 that cannot be converted", L"Directory=<>\\한글", kUtf8, Hold::kNoRoomBeside, nullptr,
         L"설정 파일을 유니코드로 바꾸지 못했습니다.<>\\vesk.ini", L"<>\\한글\\Vesk_0.bmp", nullptr, nullptr, nullptr},
        {"not writable", nullptr, kUtf16, Hold::kUnwritable, nullptr, nullptr, L"<>\\Vesk_0.bmp", nullptr,
         L"설정 파일에 저장하지 못했습니다.<>\\vesk.ini", nullptr},
        {"read-only UTF-8 without a mark", L"Directory=<>\\한글캡쳐\nFileName=캡쳐", kUtf8, Hold::kReadOnly, nullptr,
         L"설정 파일을 유니코드로 바꾸지 못했습니다.<>\\vesk.ini", L"<>\\한글캡쳐\\캡쳐_0.bmp", nullptr, nullptr, nullptr},
        {"read-only ASCII", nullptr, kUtf8, Hold::kReadOnly, nullptr, nullptr, L"<>\\Vesk_0.bmp", nullptr,
         L"설정 파일에 저장하지 못했습니다.<>\\vesk.ini", nullptr},
        {"the session ends", L"FileCount=5", kUtf16, Hold::kNothing, nullptr, nullptr, L"<>\\Vesk_5.bmp", nullptr,
         nullptr, L"FileCount=6", true},
        {"the session ends, read-only", nullptr, kUtf16, Hold::kReadOnly, nullptr, nullptr, L"<>\\Vesk_0.bmp", nullptr,
         nullptr, nullptr, true},
        {"the session ends, the file page typed into", L"FileName=MyCaps\nFileCount=5", kUtf16, Hold::kNothing, nullptr,
         nullptr, L"<>\\MyCaps_5.bmp", nullptr, nullptr, L"FileName=MyCaps\nFileCount=6", true, L"a<b"},
        {"another copy saved, then the file page opened", nullptr, kUtf16, Hold::kNothing, nullptr, nullptr,
         L"<>\\Vesk_0.bmp", nullptr, nullptr, L"EditedTool=C:\\B.exe\nFileCount=1", false, L"A", false, L"C:\\B.exe"},
        {"another copy saved while the file page was open", nullptr, kUtf16, Hold::kNothing, nullptr, nullptr,
         L"<>\\Vesk_0.bmp", nullptr, nullptr, L"EditedTool=C:\\B.exe\nFileName=A", false, L"A", true, L"C:\\B.exe"},
        {"the session ends while captures are written", L"FileType=gif", kUtf16, Hold::kNothing, nullptr, nullptr,
         L"<>\\Vesk_0.gif", nullptr, nullptr, L"FileType=gif\nFileCount=9", true, nullptr, false, nullptr, 8},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        VeskRun run(L"settings");
        ASSERT_TRUE(run.Prepare(c.programIn ? c.programIn : L""));
        const std::wstring& folder = run.folder();
        const auto says = [&](const std::wstring& box, const wchar_t* part) {
            return part ? Joined(box).find(Expand(part, folder)) != std::wstring::npos : box.empty();
        };
        const std::wstring text = Expand(With(ValidText(L"<>"), c.keys), folder);
        const std::string before =
            c.encoding == kNoise ? NoiseBytes(4096) : c.encoding == kUtf8 ? Utf8Bytes(text) : Utf16Bytes(text);
        ASSERT_TRUE(WriteBytes(run.ini(), before));
        if (c.hold == Hold::kNoRoomBeside)
            ::CreateDirectoryW((run.ini() + L".new").c_str(), nullptr);
        if (c.hold == Hold::kReadOnly)
            ::SetFileAttributesW(run.ini().c_str(), FILE_ATTRIBUTE_READONLY);
        const DWORD share[] = {0, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ};
        HANDLE hold = c.hold >= Hold::kLocked && c.hold <= Hold::kUnwritable
                          ? ::CreateFileW(run.ini().c_str(), GENERIC_READ, share[static_cast<int>(c.hold)], nullptr,
                                          OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
        std::wstring notice;
        HWND main = run.Start(&notice);
        if (hold != INVALID_HANDLE_VALUE && c.hold != Hold::kUnwritable)
            ::CloseHandle(hold);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(says(notice, c.startNotice)) << Utf8Bytes(notice);

        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        const std::wstring landed = c.capture ? Expand(c.capture, folder) : std::wstring();
        std::string shotBytes;
        if (c.capture) {
            CDibImage shot;
            EXPECT_TRUE(run.LoadWhenWritten(landed, shot)) << "no " << Utf8Bytes(landed);
            shotBytes = FileBytes(landed);
        }
        if (c.failure) {
            if (c.capture)
                ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
            const std::wstring failure = run.AnswerMessageBox();
            EXPECT_TRUE(says(failure, c.failure)) << Utf8Bytes(failure);
        }
        EXPECT_TRUE(FileBytes(landed) == shotBytes) << "the capture was overwritten";
        if (c.otherCopy && !c.confirmed)
            profile::WriteValue(profile::kFileSection, L"EditedTool", c.otherCopy, run.ini().c_str());
        if (c.typed) {  // Tab, Tab: from the folder to the whole name
            ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, ID_OPTIONS_FILE, 0));
            HWND name = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (name = run.FindOwnWindow(L"Options")) && (name = FindControl(name, IDC_FILE_NAME)); }))
                << "no options sheet with a file name box";
            run.WaitUntilIdle(name);
            if (c.confirmed)
                profile::WriteValue(profile::kFileSection, L"EditedTool", c.otherCopy, run.ini().c_str());
            ASSERT_TRUE(XDo(L"key Tab Tab type '" + std::wstring(c.typed) + L"'"));
            WCHAR shown[64] = {};
            EXPECT_TRUE(WaitFor([&] { return ::SendMessageW(name, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(shown)) &&
                                             std::wstring(shown) == c.typed + std::wstring(L"_0"); })) << Utf8Bytes(shown);
            EXPECT_TRUE(!c.confirmed || (XDo(L"key Return") && WaitFor([&] { return !::IsWindow(name); })))
                << "OK left the sheet open";
        }
        DWORD_PTR mayEnd = FALSE;
        notice.clear();
        PatternHost colours;  // every pixel its own colour: slow to write as GIF
        for (int i = 0; i < c.burst && (i > 0 || colours.Start({0, 0, 1280, 1024})); ++i)  // each taken at once
            ::SendMessageTimeoutW(main, WM_COMMAND, kFullScreenCommand, 0, SMTO_NORMAL, kPatienceMs, nullptr);
        if (c.sessionEnd) {
            EXPECT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kPatienceMs, &mayEnd) && mayEnd);
            ::SendNotifyMessageW(main, WM_ENDSESSION, TRUE, 0);
            run.WaitUntilIdle(main);  // handled, or a box of the handler waits for an answer
            notice = run.AnswerMessageBox(0);
            run.Kill();  // what the system does once the program has answered
        } else {
            EXPECT_EQ(run.Exit(main, &notice), 0u);
        }
        EXPECT_TRUE(says(notice, c.exitNotice)) << Utf8Bytes(notice);
        if (c.hold == Hold::kUnwritable)
            ::CloseHandle(hold);

        const std::string after = FileBytes(run.ini());
        if (c.saved)
            EXPECT_EQ(Entries(after), Entries(Utf16Bytes(Expand(With(ValidText(L"<>"), c.saved), folder))));
        else
            EXPECT_TRUE(after == before) << "the file was written";
        // A converted file's original bytes are kept beside it, and only then.
        const bool converted = after.compare(0, 2, "\xFF\xFE") == 0 && before.compare(0, 2, "\xFF\xFE") != 0;
        EXPECT_TRUE(FileBytes(run.ini() + L".original") == (converted ? before : std::string()));
        EXPECT_FALSE(Exists(run.ini() + L".damaged"));
        for (int n = 1; n <= c.burst; ++n)  // whole: neither an empty name nor a temporary file stays
            EXPECT_TRUE(CDibImage(run.Numbered(n, L"gif").c_str(), CDibImage::kFormatGif).IsValid()) << n;
    }
}

}  // namespace
