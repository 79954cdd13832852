#include "app/settings/OpContinuePage.h"

#include "app/settings/Profile.h"

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
    Load(profile::FileReader(path));
}

void COpContinuePage::LoadDefaults(const CString& executableFolder) {
    Load(profile::DefaultsReader(executableFolder));
}

void COpContinuePage::Load(const profile::ValueReader& read) {
    using namespace profile;
    for (const KeyDefault& row : kMiscDefaults)
        if (int* field = FieldOf(row.key))
            *field = ParseDecimal(read(kMiscSection, row.key, 8));  // seven characters count
}

void COpContinuePage::SaveOptions(const wchar_t* path) {
    using namespace profile;
    for (const KeyDefault& row : kMiscDefaults)
        if (int* field = FieldOf(row.key))
            WriteValue(kMiscSection, row.key, *field, path);
}

bool COpContinuePage::ApplyRunValue() {
    HKEY key = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        AfxMessageBox(L"시작 프로그램 등록을 바꿀 수 없습니다.\n관리자 권한이 필요합니다.", MB_OK | MB_ICONWARNING);
        return false;
    }
    if (WindowStart) {
        WCHAR exe[MAX_PATH] = {};
        DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        if (length >= MAX_PATH)
            length = MAX_PATH - 1;
        exe[length] = L'\0';
        // Exactly the path and its terminating zero, nothing of the buffer beyond.
        status = ::RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(exe),
                                  (length + 1) * sizeof(WCHAR));
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
