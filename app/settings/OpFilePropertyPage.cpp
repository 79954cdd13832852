#include "app/settings/OpFilePropertyPage.h"

#include "app/settings/Profile.h"

COpFilePropertyPage::COpFilePropertyPage() : CPropertyPage(IDD) {}

void COpFilePropertyPage::LoadOptions(const wchar_t* path) {
    Load(profile::FileReader(path));
}

void COpFilePropertyPage::LoadDefaults(const CString& executableFolder) {
    Load(profile::DefaultsReader(executableFolder));
}

void COpFilePropertyPage::Load(const profile::ValueReader& read) {
    using namespace profile;
    const CString directory = read(kFileSection, L"Directory", 260);
    const CString fileName = read(kFileSection, L"FileName", 260);
    const CString fileCount = read(kFileSection, L"FileCount", 260);
    const CString fileType = read(kFileSection, L"FileType", 260);
    const CString editedChecked = read(kFileSection, L"EditedChecked", 260);
    const CString editedTool = read(kFileSection, L"EditedTool", 260);

    Directory = directory;
    FileName = fileName;
    FileCount = ParseDecimal(fileCount);
    NameWithCount.Format(L"%s_%d", static_cast<LPCWSTR>(FileName), FileCount);
    FileType = fileType;
    EditedChecked = ParseDecimal(editedChecked);
    EditedTool = editedTool;
}

void COpFilePropertyPage::SaveOptions(const wchar_t* path) {
    using namespace profile;
    WriteValue(kFileSection, L"Directory", Directory, path);
    WriteValue(kFileSection, L"FileName", FileName, path);
    WriteValue(kFileSection, L"FileCount", FileCount, path);
    WriteValue(kFileSection, L"FileType", FileType, path);
    WriteValue(kFileSection, L"EditedChecked", EditedChecked, path);
    WriteValue(kFileSection, L"EditedTool", EditedTool, path);
}
