// The settings file as the program writes and reads it, through the real
// profile functions.
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
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

    void WriteRaw(const std::string& bytes) {
        HANDLE f = ::CreateFileW(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(f);
    }
    std::string ReadRaw() const {
        std::string bytes;
        HANDLE f = ::CreateFileW(path_, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return bytes;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
            bytes.append(buffer, got);
        ::CloseHandle(f);
        return bytes;
    }
    // A UTF-16LE file with a byte-order mark from lines of text.
    void WriteUnicode(const std::wstring& text) {
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        WriteRaw(bytes);
    }

    // Sections and keys of the file in the order they stand in it.
    std::vector<std::pair<std::wstring, std::wstring>> Lines() const {
        std::string bytes = ReadRaw();
        std::wstring text;
        size_t start = 0;
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
            start = 2;
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
// another encoding as UTF-16 with the same text, so that later writes keep Hangul.
TEST_F(SettingsFile, ExistingFileIsReadAsItIs) {
    enum Encoding { kUtf16, kAnsi, kUtf8 };
    struct Case {
        const char* name;
        Encoding encoding;
        std::wstring content;
        void (*check)(const COpFilePropertyPage&, const COpWatermarkPropertyPage&, const COpContinuePage&);
    };
    const Case cases[] = {
        {"missing keys load empty or 0", kUtf16, L"[FILE OPTIONS]\r\nFileName=Shot\r\nFileCount=7\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage& w, const COpContinuePage& m) {
             EXPECT_EQ(std::wstring(f.FileType), L"");
             EXPECT_EQ(std::wstring(f.NameWithCount), L"Shot_7");
             EXPECT_EQ(f.EditedChecked, 0);
             EXPECT_EQ(std::wstring(w.FontFace), L"");
             EXPECT_EQ(w.Alpha, 0);
             EXPECT_EQ(m.CookieNumber, 0);
         }},
        {"misc values count seven characters", kUtf16,
         L"[MISCELLANEOUS OPTIONS]\r\nCookieNumber=12345678\r\nStartTray=1\r\n",
         [](const COpFilePropertyPage&, const COpWatermarkPropertyPage&, const COpContinuePage& m) {
             EXPECT_EQ(m.CookieNumber, 1234567);
             EXPECT_EQ(m.StartTray, 1);
         }},
        {"numbers use the leading digits", kUtf16,
         L"[FILE OPTIONS]\r\nFileCount=12abc\r\n[WATERMARK OPTIONS]\r\nFontBold=2\r\nFontItalic=0\r\nLocation=abc\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage& w, const COpContinuePage&) {
             EXPECT_EQ(f.FileCount, 12);
             EXPECT_TRUE(w.FontBold);
             EXPECT_FALSE(w.FontItalic);
             EXPECT_EQ(w.Location, 0);
         }},
        {"an ANSI file is still read", kAnsi, L"[FILE OPTIONS]\r\nDirectory=C:\\Shots\r\nFileType=png\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage&, const COpContinuePage&) {
             EXPECT_EQ(std::wstring(f.Directory), L"C:\\Shots");
             EXPECT_EQ(std::wstring(f.FileType), L"png");
         }},
        {"a UTF-8 file keeps its Hangul", kUtf8, L"[FILE OPTIONS]\r\nFileName=화면\r\n",
         [](const COpFilePropertyPage& f, const COpWatermarkPropertyPage&, const COpContinuePage&) {
             EXPECT_EQ(std::wstring(f.FileName), L"화면");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.encoding == kUtf16) {
            WriteUnicode(c.content);
        } else if (c.encoding == kAnsi) {
            WriteRaw(std::string(c.content.begin(), c.content.end()));
        } else {
            std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, c.content.c_str(), -1, nullptr, 0,
                                                                        nullptr, nullptr)), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, c.content.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), nullptr,
                                  nullptr);
            utf8.pop_back();
            WriteRaw("\xEF\xBB\xBF" + utf8);
        }
        const std::string before = ReadRaw();
        const profile::PreparedFile prepared = profile::PrepareSettingsFile(path_, CString(folder_.c_str()));
        EXPECT_TRUE(prepared.usable);
        EXPECT_FALSE(prepared.created);
        const std::string after = ReadRaw();
        if (c.encoding == kUtf16)
            EXPECT_EQ(after, before);
        else
            EXPECT_EQ(after.substr(0, 2), std::string("\xFF\xFE"));
        COpFilePropertyPage file;
        COpWatermarkPropertyPage watermark;
        COpContinuePage misc;
        file.LoadOptions(path_);
        watermark.LoadOptions(path_);
        misc.LoadOptions(path_);
        c.check(file, watermark, misc);
    }
}

TEST_F(SettingsFile, SavedSectionsRoundTrip) {
    ASSERT_TRUE(profile::WriteDefaults(path_, CString(L"C:\\")));
    COpFilePropertyPage file;
    file.LoadOptions(path_);
    file.Directory = L"C:\\캡쳐\\스크린샷";
    file.FileName = L"화면";
    file.FileCount = 41;
    file.SaveOptions(path_);

    COpWatermarkPropertyPage watermark;
    watermark.LoadOptions(path_);
    watermark.Text = L"베스크 워터마크";
    watermark.FontBold = true;
    watermark.RedSlider = 1;  // the slider copies are not what is stored
    watermark.Red = 12;
    watermark.Rotation = -90;
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
    EXPECT_EQ(std::wstring(file2.Directory), L"C:\\캡쳐\\스크린샷");
    EXPECT_EQ(std::wstring(file2.NameWithCount), L"화면_41");
    EXPECT_EQ(std::wstring(watermark2.Text), L"베스크 워터마크");
    EXPECT_EQ(watermark2.Red, 12);
    EXPECT_EQ(watermark2.RedSlider, 12);
    EXPECT_EQ(watermark2.Rotation, -90);
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
