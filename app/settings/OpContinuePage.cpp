#include "app/settings/OpContinuePage.h"

#include "app/AppStrings.h"
#include "app/settings/Profile.h"
#include "app/settings/QuickBarHook.h"
#include "resources/resource.h"

#include <cwchar>

COpContinuePage::COpContinuePage() : CPropertyPage(IDD) {}

int* COpContinuePage::FieldOf(const wchar_t* key) {
    struct Binding {
        const wchar_t* key;
        int COpContinuePage::*field;
    };
    static const Binding bindings[] = {
        {L"WindowStart", &COpContinuePage::WindowStart},     {L"StartTray", &COpContinuePage::StartTray},
        {L"MouseCursor", &COpContinuePage::MouseCursor},     {L"Layered", &COpContinuePage::Layered},
        {L"PointerEffect", &COpContinuePage::PointerEffect}, {L"MagnifierEffect", &COpContinuePage::MagnifierEffect},
        {L"ToolTipEffect", &COpContinuePage::ToolTipEffect}, {L"SoundEffect", &COpContinuePage::SoundEffect},
        {L"CookieNumber", &COpContinuePage::CookieNumber},   {L"KeepEffect", &COpContinuePage::KeepEffect},
    };
    for (const Binding& b : bindings)
        if (std::wcscmp(b.key, key) == 0)
            return &(this->*b.field);
    return nullptr;
}

void COpContinuePage::LoadOptions(const wchar_t* path) {
    m_strSettingsPath = path;
    Load(profile::FileReader(path));
    Modified = false;
}

void COpContinuePage::LoadDefaults(const CString& executableFolder) {
    Load(profile::DefaultsReader(executableFolder));
}

void COpContinuePage::Load(const profile::ValueReader& read) {
    using namespace profile;
    for (const KeyDefault& row : kMiscDefaults)
        if (int* field = FieldOf(row.key))
            *field = ParseNumber(read(kMiscSection, row.key, 8), ParseDecimal(row.value));  // seven characters count
}

void COpContinuePage::Store(const profile::ValueWriter& write) {
    using namespace profile;
    for (const KeyDefault& row : kMiscDefaults)
        if (int* field = FieldOf(row.key))
            write(kMiscSection, row.key, IntToString(*field));
}

void COpContinuePage::SaveOptions(const wchar_t* path) {
    profile::WriteWhole([this](const profile::ValueWriter& write) { Store(write); }, path);
}

void COpContinuePage::KeepForCancel() {
    m_kept.Keep([this](const profile::ValueWriter& write) { Store(write); }, Modified);
}

void COpContinuePage::RestoreKept() {
    m_kept.Restore([this](const profile::ValueReader& read) { Load(read); }, Modified);
}

bool COpContinuePage::ApplyRunValue() {
    HKEY key = nullptr;
    if (!WindowStart) {
        // Nothing to remove needs no write access (and no warning to a user without it).
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            const LSTATUS found = ::RegQueryValueExW(key, kRunValue, nullptr, nullptr, nullptr, nullptr);
            ::RegCloseKey(key);
            key = nullptr;
            if (found == ERROR_FILE_NOT_FOUND)
                return true;
        }
    }
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        AfxMessageBox(L"시작 프로그램 등록을 바꿀 수 없습니다.\n관리자 권한이 필요합니다.", MB_OK | MB_ICONWARNING);
        return false;
    }
    if (WindowStart) {
        // The whole path (a cut one would name another program) in quotes, so
        // that a blank in it does not start "C:\Program.exe" or the like, and
        // its terminating zero.
        CString command;
        command.Format(L"\"%s\"", static_cast<LPCWSTR>(AfxGetModuleFileName()));
        status = ::RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.GetString()),
                                  (command.GetLength() + 1) * sizeof(WCHAR));
    } else {
        status = ::RegDeleteValueW(key, kRunValue);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    }
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        AfxMessageBox(L"시작 프로그램 등록을 바꾸지 못했습니다.", MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The page

namespace {

// The switches, each exchanged with its field.
struct CheckBinding {
    UINT id;
    int COpContinuePage::*field;
};
const CheckBinding kChecks[] = {
    {IDC_MISC_WINDOW_START, &COpContinuePage::WindowStart},
    {IDC_MISC_START_TRAY, &COpContinuePage::StartTray},
    {IDC_MISC_MOUSE_CURSOR, &COpContinuePage::MouseCursor},
    {IDC_MISC_LAYERED, &COpContinuePage::Layered},
    {IDC_MISC_POINTER_EFFECT, &COpContinuePage::PointerEffect},
    {IDC_MISC_MAGNIFIER_EFFECT, &COpContinuePage::MagnifierEffect},
    {IDC_MISC_TOOLTIP_EFFECT, &COpContinuePage::ToolTipEffect},
    {IDC_MISC_SOUND_EFFECT, &COpContinuePage::SoundEffect},
};

}  // namespace

BEGIN_MESSAGE_MAP(COpContinuePage, CPropertyPage)
    ON_EN_UPDATE(IDC_MISC_COOKIE_NUMBER, OnCookieNumberChanged)
    ON_BN_CLICKED(IDC_MISC_WINDOW_START, OnWindowStart)
END_MESSAGE_MAP()

void COpContinuePage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    for (const CheckBinding& check : kChecks)
        DDX_Check(pDX, static_cast<int>(check.id), this->*check.field);
    DDX_Text(pDX, IDC_MISC_COOKIE_NUMBER, CookieNumber);
    DDX_Control(pDX, IDC_MISC_COOKIE_HEADING, m_wndHeading);
}

BOOL COpContinuePage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    for (const CheckBinding& check : kChecks)
        SetDlgItemText(check.id, LoadResString(check.id));
    SetDlgItemText(IDC_MISC_COOKIE_HEADING, LoadResString(IDC_MISC_COOKIE_HEADING));
    SetDlgItemText(IDC_MISC_COOKIE_LABEL, LoadResString(IDC_MISC_COOKIE_LABEL));
    m_wndHeading.m_nMode = CDrawStaticWnd::kHeader;
    return TRUE;
}

BOOL COpContinuePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (lParam && HIWORD(wParam) == BN_CLICKED) {
        for (const CheckBinding& check : kChecks) {
            if (LOWORD(wParam) == check.id) {
                SetModified(TRUE);
                Modified = true;
            }
        }
    }
    return CPropertyPage::OnCommand(wParam, lParam);
}

void COpContinuePage::OnCookieNumberChanged() {
    SetModified(TRUE);
    Modified = true;
}

void COpContinuePage::OnWindowStart() {}

BOOL COpContinuePage::OnApply() {
    const BOOL result = CPropertyPage::OnApply();
    CPropertySheet* sheet = GetSheet();
    if (!sheet || sheet->GetActivePage() != this)
        return result;
    Modified = false;
    const profile::SectionValues changed = m_kept.WriteChanges(
        profile::kMiscSection, [this](const profile::ValueWriter& write) { Store(write); }, m_strSettingsPath);
    // The Run value too only when changed here: another copy may have set it.
    // A Run key we may not change is reported there; the settings are saved.
    if (changed.count(L"WindowStart"))
        ApplyRunValue();
    KeepForCancel();
    if (changed.count(L"MouseCursor"))
        HandToQuickBar(QuickSwitch::MouseCursor, MouseCursor ? 1 : 0);
    return result;
}
