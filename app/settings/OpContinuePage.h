// MISCELLANEOUS OPTIONS: start-up, capture effects and limits. The object
// lives for the whole run and is also the options sheet's miscellaneous page.
#pragma once

#include "Afx.h"
#include "app/continuous/DrawStaticWnd.h"
#include "app/settings/KeptSection.h"
#include "app/settings/Profile.h"

class COpContinuePage : public CPropertyPage {
public:
    enum { IDD = 230 };
    COpContinuePage();

    // Reloading drops unapplied edits, so the page counts as unchanged again.
    // The path is kept: Apply writes the section there.
    void LoadOptions(const wchar_t* settingsPath);
    // The built-in defaults, for a run whose settings file cannot be made.
    void LoadDefaults(const CString& executableFolder);
    void SaveOptions(const wchar_t* settingsPath);

    // The options sheet keeps the settings when it opens and whenever this
    // page applies them, and puts them back when it is cancelled.
    void KeepForCancel();
    void RestoreKept();

    // Sets or deletes the start-with-Windows Run value from WindowStart. A Run
    // key that cannot be opened is reported to the user; returns false then.
    bool ApplyRunValue();

    bool Modified = false;
    int WindowStart = 0;
    int StartTray = 0;
    int MouseCursor = 0;
    int Layered = 0;
    int PointerEffect = 0;
    int ToolTipEffect = 0;
    int SoundEffect = 0;
    int MagnifierEffect = 0;
    int CookieNumber = 0;
    CDrawStaticWnd m_wndHeading;  // the cookie section's heading
    int KeepEffect = 0;

    static constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const wchar_t* kRunValue = L"VeskV0.6";

    BOOL OnApply() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnCookieNumberChanged();
    afx_msg void OnWindowStart();

    DECLARE_MESSAGE_MAP()

private:
    void Load(const profile::ValueReader& read);
    void Store(const profile::ValueWriter& write);
    int* FieldOf(const wchar_t* key);

    CString m_strSettingsPath;
    profile::KeptSection m_kept;
};
