#include "app/settings/OpFilePropertyPage.h"

#include "app/AppStrings.h"
#include "app/settings/Profile.h"
#include "app/settings/QuickBarHook.h"
#include "resources/resource.h"
#include "widgets/FolderDialog.h"

COpFilePropertyPage::COpFilePropertyPage() : CPropertyPage(IDD) {
    // The sheet puts the icon in its header itself: with PSP_USEICONID the
    // system sheet would load it too, and under Wine it leaks three bitmaps
    // per page at every opening.
    m_psp.pszIcon = MAKEINTRESOURCEW(IDI_OPTIONS_FILE);
}

void COpFilePropertyPage::LoadOptions(const wchar_t* path) {
    m_strSettingsPath = path;
    Load(profile::FileReader(path));
    Modified = false;
    m_stored.clear();
    Store(profile::MemoryWriter(m_stored));
}

void COpFilePropertyPage::LoadDefaults(const CString& executableFolder) {
    Load(profile::DefaultsReader(executableFolder));
}

void COpFilePropertyPage::Load(const profile::ValueReader& read) {
    using namespace profile;
    // Paths and names are read whole: a cut one saved back would damage the setting.
    const CString directory = read(kFileSection, L"Directory", kWholeValue);
    const CString fileName = read(kFileSection, L"FileName", kWholeValue);
    const CString fileCount = read(kFileSection, L"FileCount", 260);
    const CString fileType = read(kFileSection, L"FileType", 260);
    const CString editedChecked = read(kFileSection, L"EditedChecked", 260);
    const CString editedTool = read(kFileSection, L"EditedTool", kWholeValue);

    // An empty folder would put captures at the root of the drive; a name no
    // file can have or an unknown type would fail every capture, or save it
    // elsewhere: such values read as the defaults.
    Directory = directory.IsEmpty() ? ExecutableFolder() : directory;
    FileName = IsUsableFileName(fileName) ? fileName : DefaultValue(kFileSection, L"FileName", CString());
    FileCount = ParseNumber(fileCount, 0, 0);
    NameWithCount.Format(L"%s_%d", static_cast<LPCWSTR>(FileName), FileCount);
    FileType = DefaultValue(kFileSection, L"FileType", CString());
    for (const wchar_t* type : kFileTypes)
        if (fileType.CompareNoCase(type) == 0)
            FileType = fileType;
    EditedChecked = ParseNumber(editedChecked, 0);
    EditedTool = editedTool;
}

CString COpFilePropertyPage::SaveFolder() const {
    return profile::FolderFromExecutable(Directory);
}

void COpFilePropertyPage::Store(const profile::ValueWriter& write) const {
    using namespace profile;
    write(kFileSection, L"Directory", Directory);
    write(kFileSection, L"FileName", FileName);
    write(kFileSection, L"FileCount", IntToString(FileCount));
    write(kFileSection, L"FileType", FileType);
    write(kFileSection, L"EditedChecked", IntToString(EditedChecked));
    write(kFileSection, L"EditedTool", EditedTool);
}

void COpFilePropertyPage::SaveOptions(const wchar_t* path) {
    // Saved or not, the values are what the file holds for this run now (a
    // failed write holds the file in memory with them).
    m_stored.clear();
    Store(profile::MemoryWriter(m_stored));
    profile::WriteWhole([this](const profile::ValueWriter& write) { Store(write); }, path);
    HandToQuickBar(QuickSwitch::EditedChecked, EditedChecked ? 1 : 0);
}

void COpFilePropertyPage::SaveChanges(const wchar_t* path) {
    profile::SectionValues now = GetSafeHwnd() ? m_kept.Values() : profile::SectionValues();
    if (now.empty())
        Store(profile::MemoryWriter(now));
    profile::SectionValues changed;
    for (const auto& [key, value] : now) {
        const auto stored = m_stored.find(key);
        if (stored == m_stored.end() || stored->second != value)
            changed[key] = m_stored[key] = value;
    }
    profile::WriteKeys(profile::kFileSection, changed, path);
}

void COpFilePropertyPage::KeepForCancel() {
    m_kept.Keep([this](const profile::ValueWriter& write) { Store(write); }, Modified);
}

void COpFilePropertyPage::RestoreKept() {
    m_kept.Restore([this](const profile::ValueReader& read) { Load(read); }, Modified);
}

// ---------------------------------------------------------------------------
// The page

const wchar_t* const COpFilePropertyPage::kFileTypes[7] = {L"bmp", L"jpg", L"png", L"gif", L"tif", L"ico", L"cur"};

BEGIN_MESSAGE_MAP(COpFilePropertyPage, CPropertyPage)
    ON_BN_CLICKED(IDC_FILE_BROWSE_FOLDER, OnBrowseFolder)
    ON_BN_CLICKED(IDC_FILE_EDITED_CHECK, OnEditorCheck)
    ON_BN_CLICKED(IDC_FILE_BROWSE_EDITOR, OnBrowseEditor)
    ON_EN_UPDATE(IDC_FILE_NAME, OnNameChanged)
END_MESSAGE_MAP()

void COpFilePropertyPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FILE_DIRECTORY, Directory);
    DDX_Text(pDX, IDC_FILE_NAME, NameWithCount);
    DDX_CBString(pDX, IDC_FILE_TYPE, FileType);
    DDX_Check(pDX, IDC_FILE_EDITED_CHECK, EditedChecked);
    DDX_Text(pDX, IDC_FILE_EDITED_TOOL, EditedTool);
}

BOOL COpFilePropertyPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    for (UINT id : {IDC_FILE_FOLDER_GROUP, IDC_FILE_NOTICE, IDC_FILE_NAME_LABEL, IDC_FILE_TYPE_LABEL,
                    IDC_FILE_EDITOR_GROUP, IDC_FILE_EDITED_CHECK})
        SetDlgItemText(id, LoadResString(id));

    HWND combo = ::GetDlgItem(m_hWnd, IDC_FILE_TYPE);
    for (const wchar_t* type : kFileTypes)
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
    ::SendMessageW(combo, CB_SETCURSEL, ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                       reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(FileType))),
                   0);

    UpdateData(FALSE);
    EnableEditorControls();
    return TRUE;
}

BOOL COpFilePropertyPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (lParam) {  // from a control, not a menu or an accelerator
        if (LOWORD(wParam) == IDC_FILE_EDITED_CHECK)
            MarkModified();
        else if (LOWORD(wParam) == IDC_FILE_TYPE && HIWORD(wParam) == CBN_SELCHANGE)
            OnNameChanged();
    }
    return CPropertyPage::OnCommand(wParam, lParam);
}

void COpFilePropertyPage::MarkModified() {
    SetModified(TRUE);
    Modified = true;
}

void COpFilePropertyPage::EnableEditorControls() {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_FILE_EDITED_TOOL), EditedChecked != 0);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_FILE_BROWSE_EDITOR), EditedChecked != 0);
}

void COpFilePropertyPage::OnNameChanged() {
    // The visible name always carries the counter, and a new name or type
    // starts counting again.
    UpdateData(TRUE);
    MarkModified();
    FileCount = 0;
    const int underscore = NameWithCount.ReverseFind(L'_');
    const CString base = underscore >= 0 ? NameWithCount.Left(underscore) : NameWithCount;
    FormattedName.Format(L"%s_%d", static_cast<LPCWSTR>(base), 0);
    NameWithCount = FormattedName;
    FileName = NameWithCount.Left(NameWithCount.ReverseFind(L'_'));
    UpdateData(FALSE);
    // Setting the text puts the caret at the start; typing goes on after the name.
    ::SendMessageW(::GetDlgItem(m_hWnd, IDC_FILE_NAME), EM_SETSEL, base.GetLength(), base.GetLength());
}

void COpFilePropertyPage::OnEditorCheck() {
    UpdateData(TRUE);
    EnableEditorControls();
}

void COpFilePropertyPage::OnBrowseFolder() {
    CFolderDialog dialog(L"Save Folder", SaveFolder(), this);
    if (dialog.DoModal() != IDOK)
        return;
    MarkModified();
    Directory = dialog.GetFolderPath();
    UpdateData(FALSE);
}

void COpFilePropertyPage::OnBrowseEditor() {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, L"Exe Files(*.exe)|*.exe||");
    if (dialog.DoModal() != IDOK)
        return;
    const CString path = dialog.GetPathName();
    if (path.IsEmpty())
        return;
    MarkModified();
    EditedTool = path;
    UpdateData(FALSE);
}

BOOL COpFilePropertyPage::OnKillActive() {
    if (!CPropertyPage::OnKillActive())
        return FALSE;
    if (profile::IsUsableFileName(FileName))
        return TRUE;
    // OK, Apply and a page change all ask here first: the sheet stays on the name.
    AfxMessageBox(LoadResString(IDS_FILE_NAME_INVALID), MB_OK | MB_ICONEXCLAMATION);
    HWND name = ::GetDlgItem(m_hWnd, IDC_FILE_NAME);
    ::SetFocus(name);
    ::SendMessageW(name, EM_SETSEL, 0, FileName.GetLength());
    return FALSE;
}

BOOL COpFilePropertyPage::OnApply() {
    const BOOL result = CPropertyPage::OnApply();
    CPropertySheet* sheet = GetSheet();
    if (sheet && sheet->GetActivePage() == this) {
        Modified = false;
        const profile::SectionValues changed = m_kept.WriteChanges(
            profile::kFileSection, [this](const profile::ValueWriter& write) { Store(write); }, m_strSettingsPath);
        for (const auto& [key, value] : changed)
            m_stored[key] = value;
        if (changed.count(L"EditedChecked"))
            HandToQuickBar(QuickSwitch::EditedChecked, EditedChecked ? 1 : 0);
        KeepForCancel();
    }
    return result;
}
