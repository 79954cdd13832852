// The settings file as the program writes and reads it, through the real
// profile functions, and vesk.exe started on such files.
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
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

// Start-up leaves a file that holds settings as it is, only rewriting one in
// another encoding as UTF-16 with the same text (the original kept beside it),
// so that later writes keep Hangul. Values that are missing or unusable read as
// their defaults, numbers out of range are brought into it.
TEST_F(SettingsFile, ExistingFileIsReadAsItIs) {
    enum Encoding { kUtf16, kAnsi, kUtf8 };
    struct Case {
        const char* name;
        Encoding encoding;
        std::wstring content;
        void (*check)(const COpFilePropertyPage&, const COpWatermarkPropertyPage&, const COpContinuePage&);
    };
    const Case cases[] = {
        {"missing and unusable values read as defaults", kUtf16,
         L"[FILE OPTIONS]\r\nDirectory=\r\nFileCount=-5\r\nFileType=xyz\r\n[WATERMARK OPTIONS]\r\nAlpha=999\r\n"
         L"Rotation=720\r\nRotate=9\r\nTextBkR=300\r\nRed=-1\r\nChoice=abc\r\nText=\r\n"
         L"[MISCELLANEOUS OPTIONS]\r\nCookieNumber=abc\r\nStartTray=\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage& w, const COpContinuePage& m) {
             EXPECT_EQ(std::wstring(f.Directory), std::wstring(profile::ExecutableFolder()));
             EXPECT_EQ(std::wstring(f.NameWithCount), L"Vesk_0");
             EXPECT_EQ(std::wstring(f.FileType), L"bmp");
             EXPECT_EQ(std::wstring(f.EditedTool), L"C:\\Windows\\system32\\mspaint.exe");
             EXPECT_EQ(std::wstring(w.FontFace), L"Airal");
             EXPECT_EQ(std::wstring(w.Text), L"");  // an emptied text is the user's
             EXPECT_EQ(w.Alpha, 100);
             EXPECT_EQ(w.Rotation, 0);
             EXPECT_EQ(w.Rotate, 5);
             EXPECT_EQ(w.Location, 0);
             EXPECT_EQ(w.TextBkR, 255);
             EXPECT_EQ(w.TextBkG, 115);
             EXPECT_EQ(w.Red + w.RedSlider, 0);
             EXPECT_EQ(w.Choice, 1);
             EXPECT_TRUE(w.FontBold);
             EXPECT_EQ(m.CookieNumber, 200);
             EXPECT_EQ(m.StartTray, 0);
             EXPECT_EQ(m.MouseCursor, 1);
         }},
        {"misc values count seven characters", kUtf16,
         L"[MISCELLANEOUS OPTIONS]\r\nCookieNumber=12345678\r\nStartTray=1\r\n",
         [](const COpFilePropertyPage&, const COpWatermarkPropertyPage&, const COpContinuePage& m) {
             EXPECT_EQ(m.CookieNumber, 1234567);
             EXPECT_EQ(m.StartTray, 1);
         }},
        {"numbers use the leading digits", kUtf16,
         L"[FILE OPTIONS]\r\nFileCount=12abc\r\n[WATERMARK OPTIONS]\r\nFontBold=2\r\nFontItalic=0\r\nLocation=abc\r\n"
         L"Rotation=-90\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage& w, const COpContinuePage&) {
             EXPECT_EQ(f.FileCount, 12);
             EXPECT_TRUE(w.FontBold);
             EXPECT_FALSE(w.FontItalic);
             EXPECT_EQ(w.Location, 0);
             EXPECT_EQ(w.Rotation, 270);
         }},
        {"a valid file reads as it always did", kUtf16,
         L"[FILE OPTIONS]\r\nDirectory=C:\\Shots\r\nFileName=Shot\r\nFileCount=7\r\nFileType=PNG\r\nEditedChecked=1\r\n"
         L"EditedTool=\r\n[WATERMARK OPTIONS]\r\nWaterMark=1\r\nChoice=0\r\nImageDir=C:\\m.png\r\nImageWidth=40\r\n"
         L"ImageHeight=30\r\nText=T\r\nFontFace=Gulim\r\nFontSize=-12\r\nFontBold=0\r\nFontItalic=0\r\n"
         L"FontUnderline=0\r\nTextBkR=1\r\nTextBkG=2\r\nTextBkB=3\r\nTextColorR=4\r\nTextColorG=5\r\nTextColorB=6\r\n"
         L"Location=8\r\nLeftRightMargin=-7\r\nTopBottomMargin=9\r\nRotate=3\r\nRotation=360\r\nAlpha=0\r\n"
         L"HideColor=1\r\nRed=10\r\nGreen=11\r\nBlue=255\r\n[MISCELLANEOUS OPTIONS]\r\nWindowStart=1\r\nStartTray=1\r\n"
         L"MouseCursor=0\r\nLayered=0\r\nPointerEffect=0\r\nMagnifierEffect=0\r\nToolTipEffect=0\r\nSoundEffect=0\r\n"
         L"CookieNumber=0\r\nKeepEffect=1\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage& w, const COpContinuePage& m) {
             EXPECT_EQ(std::wstring(f.Directory), L"C:\\Shots");
             EXPECT_EQ(std::wstring(f.NameWithCount), L"Shot_7");
             EXPECT_EQ(std::wstring(f.FileType), L"PNG");
             EXPECT_EQ(f.EditedChecked, 1);
             EXPECT_EQ(std::wstring(f.EditedTool), L"");
             const int numbers[] = {w.WaterMark, w.Choice, w.ImageWidth, w.ImageHeight, w.FontSize, w.FontBold,
                                    w.FontItalic, w.FontUnderline, w.TextBkR, w.TextBkG, w.TextBkB, w.TextColorR,
                                    w.TextColorG, w.TextColorB, w.Location, w.LeftRightMargin, w.TopBottomMargin,
                                    w.Rotate, w.Rotation, w.Alpha, w.HideColor, w.Red, w.Green, w.Blue};
             const int expected[] = {1, 0, 40, 30, -12, 0, 0, 0, 1, 2, 3, 4, 5, 6, 8, -7, 9, 3, 360, 0, 1, 10, 11, 255};
             for (size_t i = 0; i < std::size(expected); ++i)
                 EXPECT_EQ(numbers[i], expected[i]) << "watermark number " << i;
             EXPECT_EQ(std::wstring(w.ImageDir) + w.Text.GetString() + w.FontFace.GetString(), L"C:\\m.pngTGulim");
             EXPECT_EQ(m.WindowStart + m.StartTray + m.MouseCursor + m.Layered + m.PointerEffect + m.MagnifierEffect +
                           m.ToolTipEffect + m.SoundEffect + m.CookieNumber + m.KeepEffect,
                       3);
             EXPECT_EQ(m.KeepEffect, 1);
         }},
        {"an ANSI file is still read", kAnsi, L"[FILE OPTIONS]\r\nDirectory=C:\\Shots\r\nFileType=png\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage&, const COpContinuePage&) {
             EXPECT_EQ(std::wstring(f.Directory), L"C:\\Shots");
             EXPECT_EQ(std::wstring(f.FileType), L"png");
         }},
        // What today's editors save: UTF-8 without a byte-order mark.
        {"a UTF-8 file keeps its Hangul", kUtf8, L"[FILE OPTIONS]\r\nDirectory=C:\\한글 폴더\r\nFileName=화면\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage&, const COpContinuePage&) {
             EXPECT_EQ(std::wstring(f.Directory), L"C:\\한글 폴더");
             EXPECT_EQ(std::wstring(f.FileName), L"화면");
         }},
    };
    const CString original = path_ + L".original";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.encoding == kUtf16)
            WriteRaw(Utf16Bytes(c.content));
        else if (c.encoding == kAnsi)
            WriteRaw(std::string(c.content.begin(), c.content.end()));
        else
            WriteRaw(Utf8Bytes(c.content));
        // The swap keeps what the user set on the file.
        ::SetFileAttributesW(path_, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        const std::string before = ReadRaw();
        const profile::PreparedFile prepared = profile::PrepareSettingsFile(path_, CString(folder_.c_str()));
        EXPECT_TRUE(prepared.usable);
        EXPECT_FALSE(prepared.created);
        const std::string after = ReadRaw();
        EXPECT_EQ(::GetFileAttributesW(path_) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        if (c.encoding == kUtf16) {
            EXPECT_EQ(after, before);
            EXPECT_FALSE(profile::FileExists(original));
        } else {
            EXPECT_EQ(after.substr(0, 2), std::string("\xFF\xFE"));
            EXPECT_EQ(FileBytes(std::wstring(original)), before) << "the original bytes are kept";
        }
        ::DeleteFileW(original);
        COpFilePropertyPage file;
        COpWatermarkPropertyPage watermark;
        COpContinuePage misc;
        file.LoadOptions(path_);
        watermark.LoadOptions(path_);
        misc.LoadOptions(path_);
        c.check(file, watermark, misc);
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

// The text with each "key=..." line replaced by "key=value", or removed for a null value.
std::wstring With(std::wstring text, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> changes) {
    for (const auto& [key, value] : changes) {
        const std::wstring start = L"\n" + std::wstring(key) + L"=";
        const size_t at = text.find(start);
        if (at == std::wstring::npos)
            continue;
        const size_t end = text.find(L"\r\n", at + 1);
        text.replace(at + 1, end + 2 - (at + 1), value ? std::wstring(key) + L"=" + value + L"\r\n" : L"");
    }
    return text;
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

// How another program holds the file: not at all; locked until the main
// dialog shows; open, not to be moved, until then; open for reading only, so
// that nobody writes it, for the whole run.
enum class Hold { kNothing, kLocked, kUndeletable, kUnwritable };

struct StartCase {
    const char* name;
    std::function<std::string(const std::wstring& folder)> file;  // the bytes of vesk.ini before the start
    Hold hold;
    const wchar_t* startNotice;        // part of the box before the main dialog; null: no box
    std::function<std::wstring(const std::wstring& folder)> capture;  // where Ctrl+F lands; empty: it fails
    const wchar_t* failure;            // part of the failure box
    bool watermarkOk;                  // OK pressed on the watermark page after the capture
    const wchar_t* exitNotice;         // part of the box on the way out; null: no box
    std::function<std::wstring(const std::wstring& folder)> after;  // the file's text after the exit; empty: unchanged
};

// An existing folder of 334 characters (two names, each within the system's limit).
std::wstring LongFolder(const std::wstring& folder) {
    return folder + L"\\" + std::wstring(150, L'a') + L"\\" + std::wstring(334 - folder.size() - 152, L'b');
}

// Each file is started, captured into, possibly applied, left; what the
// program then did and wrote is checked.
TEST(VeskSettingsFile, StartsAsTheFileSaysAndLeavesWhatItCannotUse) {
    const StartCase cases[] = {
        {"no folder, name or type, a negative counter",
         [](const std::wstring& f) {
             return Utf16Bytes(With(ValidText(f), {{L"Directory", nullptr}, {L"FileName", nullptr},
                                                   {L"FileType", nullptr}, {L"FileCount", L"-5"}}));
         },
         Hold::kNothing, nullptr, [](const std::wstring& f) { return f + L"\\Vesk_0.bmp"; }, nullptr, false, nullptr,
         [](const std::wstring& f) { return With(ValidText(f), {{L"FileCount", L"1"}}); }},
        {"an unknown type, watermark values out of range, no location; the watermark page applied",
         [](const std::wstring& f) {
             return Utf16Bytes(With(ValidText(f), {{L"FileType", L"xyz"}, {L"Alpha", L"999"},
                                                   {L"Rotation", L"720"}, {L"Location", nullptr}}));
         },
         Hold::kNothing, nullptr, [](const std::wstring& f) { return f + L"\\Vesk_0.bmp"; }, nullptr, true, nullptr,
         [](const std::wstring& f) { return With(ValidText(f), {{L"FileCount", L"1"}}); }},
        {"a valid file of an earlier version",
         [](const std::wstring& f) {
             ::CreateDirectoryW((f + L"\\shots").c_str(), nullptr);
             return Utf16Bytes(With(ValidText(f + L"\\shots"),
                                    {{L"FileName", L"Shot"}, {L"FileCount", L"7"}, {L"FileType", L"png"}}));
         },
         Hold::kNothing, nullptr, [](const std::wstring& f) { return f + L"\\shots\\Shot_7.png"; }, nullptr, false,
         nullptr,
         [](const std::wstring& f) {
             return With(ValidText(f + L"\\shots"),
                         {{L"FileName", L"Shot"}, {L"FileCount", L"8"}, {L"FileType", L"png"}});
         }},
        {"UTF-8 without a byte-order mark, a Hangul folder",
         [](const std::wstring& f) {
             ::CreateDirectoryW((f + L"\\한글 폴더").c_str(), nullptr);
             return Utf8Bytes(With(ValidText(f + L"\\한글 폴더"), {{L"FileName", L"화면"}}));
         },
         Hold::kNothing, nullptr, [](const std::wstring& f) { return f + L"\\한글 폴더\\화면_0.bmp"; }, nullptr, false,
         nullptr,
         [](const std::wstring& f) {
             return With(ValidText(f + L"\\한글 폴더"), {{L"FileName", L"화면"}, {L"FileCount", L"1"}});
         }},
        {"a folder longer than a path may be",
         [](const std::wstring& f) {
             ::CreateDirectoryW((L"\\\\?\\" + f + L"\\" + std::wstring(150, L'a')).c_str(), nullptr);
             EXPECT_TRUE(::CreateDirectoryW((L"\\\\?\\" + LongFolder(f)).c_str(), nullptr));
             return Utf16Bytes(ValidText(LongFolder(f)));
         },
         Hold::kNothing, nullptr, nullptr, L"경로가 너무 깁니다", false, nullptr,
         [](const std::wstring& f) { return With(ValidText(LongFolder(f)), {{L"FileCount", L"1"}}); }},
        {"locked at the start", [](const std::wstring& f) { return Utf16Bytes(ValidText(f + L"\\elsewhere")); },
         Hold::kLocked, L"설정 파일을 읽거나 만들 수 없습니다",
         [](const std::wstring& f) { return f + L"\\Vesk_0.bmp"; }, nullptr, false, nullptr, nullptr},
        {"damaged and not to be moved aside", [](const std::wstring&) { return NoiseBytes(4096); }, Hold::kUndeletable,
         L"설정 파일을 읽거나 만들 수 없습니다", [](const std::wstring& f) { return f + L"\\Vesk_0.bmp"; }, nullptr,
         false, nullptr, nullptr},
        {"not writable", [](const std::wstring& f) { return Utf16Bytes(ValidText(f)); }, Hold::kUnwritable, nullptr,
         [](const std::wstring& f) { return f + L"\\Vesk_0.bmp"; }, nullptr, false, L"설정 파일에 저장하지 못했습니다",
         nullptr},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        VeskRun run(L"settings");
        ASSERT_TRUE(run.Prepare());
        const std::wstring& folder = run.folder();
        const std::string before = c.file(folder);
        ASSERT_TRUE(WriteBytes(run.ini(), before));
        const DWORD share[] = {0, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ};
        HANDLE hold = c.hold == Hold::kNothing ? INVALID_HANDLE_VALUE
                                               : ::CreateFileW(run.ini().c_str(), GENERIC_READ,
                                                               share[static_cast<int>(c.hold)], nullptr,
                                                               OPEN_EXISTING, 0, nullptr);
        std::wstring notice;
        HWND main = run.Start(&notice);
        if (hold != INVALID_HANDLE_VALUE && c.hold != Hold::kUnwritable)
            ::CloseHandle(hold);
        ASSERT_NE(main, nullptr);
        if (c.startNotice)
            EXPECT_NE(notice.find(c.startNotice), std::wstring::npos) << Utf8Bytes(notice);
        else
            EXPECT_EQ(notice, L"");

        ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0));
        if (c.capture) {
            CDibImage shot;
            EXPECT_TRUE(run.LoadWhenWritten(c.capture(folder), shot)) << "no " << Utf8Bytes(c.capture(folder));
        } else {
            const std::wstring failure = run.AnswerMessageBox();
            EXPECT_NE(failure.find(c.failure), std::wstring::npos) << Utf8Bytes(failure);
            // The whole folder is named, however the box breaks its lines.
            std::wstring joined;
            for (wchar_t ch : failure)
                if (ch != L'\n' && ch != L'\r')
                    joined += ch;
            EXPECT_NE(joined.find(LongFolder(folder)), std::wstring::npos);
        }
        if (c.watermarkOk) {
            ::PostMessageW(main, WM_COMMAND, ID_OPTIONS_WATERMARK, 0);
            HWND sheet = nullptr;
            ASSERT_TRUE(WaitFor([&] {
                sheet = run.FindOwnWindow(L"Options");
                for (HWND page = nullptr; sheet && (page = ::FindWindowExW(sheet, page, L"#32770", nullptr));)
                    if (::IsWindowVisible(::GetDlgItem(page, IDC_WATERMARK_CHECK)))
                        return true;
                return false;
            })) << "no watermark page";
            ::PostMessageW(sheet, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }));
        }
        EXPECT_EQ(run.Exit(main, &notice), 0u);
        if (c.exitNotice) {
            EXPECT_NE(notice.find(c.exitNotice), std::wstring::npos) << Utf8Bytes(notice);
            EXPECT_NE(notice.find(run.ini()), std::wstring::npos) << "the box names the file";
        } else {
            EXPECT_EQ(notice, L"");
        }
        if (c.hold == Hold::kUnwritable)
            ::CloseHandle(hold);
        const std::string after = FileBytes(run.ini());
        if (c.after)
            EXPECT_EQ(Entries(after), Entries(Utf16Bytes(c.after(folder))));
        else
            EXPECT_TRUE(after == before) << "the file was written";
        if (before.substr(0, 2) != "\xFF\xFE" && c.hold == Hold::kNothing)
            EXPECT_TRUE(FileBytes(run.ini() + L".original") == before) << "the original bytes are gone";
        EXPECT_FALSE(Exists(run.ini() + L".damaged"));
    }
}

}  // namespace
