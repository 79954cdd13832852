// FILE OPTIONS: where and how captured files are named and saved. The object
// lives for the whole run and is also the options sheet's file page.
#pragma once

#include "Afx.h"
#include "app/settings/Profile.h"

class COpFilePropertyPage : public CPropertyPage {
public:
    enum { IDD = 225 };
    COpFilePropertyPage();

    void LoadOptions(const wchar_t* settingsPath);
    // The built-in defaults, for a run whose settings file cannot be made.
    void LoadDefaults(const CString& executableFolder);
    void SaveOptions(const wchar_t* settingsPath);

    CString Directory;
    CString NameWithCount;  // Format("%s_%d", FileName, FileCount), as the name edit shows it
    int EditedChecked = 0;
    CString EditedTool;
    int FileCount = 0;
    CString FileType;
    bool Modified = false;
    CString FormattedName;
    CString FileName;

private:
    void Load(const profile::ValueReader& read);
};
