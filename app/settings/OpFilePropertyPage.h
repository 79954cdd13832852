// FILE OPTIONS: where and how captured files are named and saved. The object
// lives for the whole run and is also the options sheet's file page.
#pragma once

#include "Afx.h"
#include "app/settings/KeptSection.h"
#include "app/settings/Profile.h"

class COpFilePropertyPage : public CPropertyPage {
public:
    enum { IDD = 225 };
    COpFilePropertyPage();

    // Reloading drops unapplied edits, so the page counts as unchanged again.
    // The path is kept: Apply writes the section there.
    void LoadOptions(const wchar_t* settingsPath);
    // The built-in defaults, for a run whose settings file cannot be made.
    void LoadDefaults(const CString& executableFolder);
    // Writes the section, then shows EditedChecked on the quick options bar.
    void SaveOptions(const wchar_t* settingsPath);
    // At the exit and at a session end: writes only the keys this run changed
    // since the section was last loaded or saved (the counter among them), so
    // that what another copy of the program saved meanwhile stays. While the
    // page is on show its fields may hold typing nobody confirmed: what the
    // sheet keeps for its Cancel (as it opened, or as last applied) is written.
    void SaveChanges(const wchar_t* settingsPath);

    // The options sheet keeps the settings when it opens and whenever this
    // page applies them, and puts them back when it is cancelled.
    void KeepForCancel();
    void RestoreKept();

    // Directory as captures use it: a relative one is taken from the program's folder.
    CString SaveFolder() const;

    CString Directory;
    CString NameWithCount;  // Format("%s_%d", FileName, FileCount), as the name edit shows it
    int EditedChecked = 0;
    CString EditedTool;
    int FileCount = 0;
    CString FileType;
    bool Modified = false;
    CString FormattedName;
    CString FileName;

    // The types a captured file can be saved as, in the combo's order.
    static const wchar_t* const kFileTypes[7];

    BOOL OnApply() override;
    // Refuses a name no file can have.
    BOOL OnKillActive() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnBrowseFolder();
    afx_msg void OnEditorCheck();
    afx_msg void OnBrowseEditor();
    afx_msg void OnNameChanged();

    DECLARE_MESSAGE_MAP()

private:
    void Load(const profile::ValueReader& read);
    void Store(const profile::ValueWriter& write) const;
    void MarkModified();
    void EnableEditorControls();

    CString m_strSettingsPath;
    profile::KeptSection m_kept;
    profile::SectionValues m_stored;  // the section as last loaded or saved
};
