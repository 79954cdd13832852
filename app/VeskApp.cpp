#include "app/VeskApp.h"

#include "app/AppStrings.h"
#include "app/VeskDlg.h"
#include "app/capture/CaptureJob.h"
#include "app/capture/FailureBox.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpTreeWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/Profile.h"
#include "workarea/CustomOccManager.h"
#include "resources/resource.h"
#include "workarea/ImpIDispatch.h"

#include <ole2.h>

// GDI+ start-up through its flat entry points; the C++ headers are not needed here.
namespace {
struct GdiplusInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
}  // namespace
extern "C" int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusInput* input, void* output);
extern "C" void WINAPI GdiplusShutdown(ULONG_PTR token);

CVeskApp theApp;

BEGIN_MESSAGE_MAP(CVeskApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CVeskApp::CVeskApp() = default;
CVeskApp::~CVeskApp() = default;

BOOL CVeskApp::InitInstance() {
    // The browser's control sites are managed for the whole run: the class
    // library keeps a pointer to the manager until the process ends.
    static CCustomOccManager occManager;
    m_pDispatch = new CImpIDispatch;
    occManager.SetExternal(m_pDispatch);

    GdiplusInput input;
    m_bGdiplusStarted = GdiplusStartup(&m_gdiplusToken, &input, nullptr) == 0;

    INITCOMMONCONTROLSEX icc = {8, 0xFF};
    ::InitCommonControlsEx(&icc);
    // The new-style folder browser needs OLE on this thread.
    m_bOleStarted = SUCCEEDED(::OleInitialize(nullptr));

    CWinApp::InitInstance();
    AfxEnableControlContainer(&occManager);
    SetRegistryKey(L"로컬 응용 프로그램 마법사에서 생성된 응용 프로그램");

    m_pFileOptions = new COpFilePropertyPage;
    m_pWatermarkOptions = new COpWatermarkPropertyPage;
    m_pOptionsTree = new COpTreeWnd;
    m_pMiscOptions = new COpContinuePage;

    m_strSettingsPath = profile::SettingsPathIn(profile::ExecutableFolder());
    LoadSettings();

    {
        CVeskDlg dlg;
        m_pMainDlg = &dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        m_pMainDlg = nullptr;
    }
    return FALSE;
}

namespace {

// A warning about the settings file, naming it (or where it was kept) and,
// for texts that have room for it, the system's reason.
void WarnAboutSettings(UINT textId, LPCWSTR path, LPCWSTR reason = L"") {
    CString text;
    text.Format(LoadResString(textId), path, reason);
    AfxMessageBox(FitMessageToScreen(text), MB_OK | MB_ICONWARNING);
}

}  // namespace

void CVeskApp::LoadSettings() {
    // Settings that cannot be saved are reported once a run, wherever the save was.
    profile::SetWriteFailureHandler([reported = false](const wchar_t* path, DWORD error) mutable {
        if (!reported)
            WarnAboutSettings(IDS_SETTINGS_NOT_SAVED, path, SystemReason(error));
        reported = true;
    });

    const CString folder = profile::ExecutableFolder();
    const profile::PreparedFile prepared = profile::PrepareSettingsFile(m_strSettingsPath, folder);
    if (!prepared.usable) {
        // Without a file the loaders would give empty folders and names; run on
        // the defaults instead, and leave a file that is there as it is.
        profile::KeepInMemory(m_strSettingsPath);
        WarnAboutSettings(IDS_SETTINGS_UNUSABLE, m_strSettingsPath);
    } else if (prepared.heldInMemory) {
        WarnAboutSettings(m_strSettingsPath.GetLength() >= MAX_PATH ? IDS_SETTINGS_PATH_TOO_LONG
                                                                     : IDS_SETTINGS_NOT_CONVERTED,
                          m_strSettingsPath);
    } else if (!prepared.keptAs.IsEmpty()) {
        WarnAboutSettings(IDS_SETTINGS_DAMAGED, prepared.keptAs);
    }
    m_pFileOptions->LoadOptions(m_strSettingsPath);
    m_pWatermarkOptions->LoadOptions(m_strSettingsPath);
    m_pMiscOptions->LoadOptions(m_strSettingsPath);
}

int CVeskApp::ExitInstance() {
    if (m_bGdiplusStarted)
        GdiplusShutdown(m_gdiplusToken);
    m_bGdiplusStarted = false;
    delete m_pMiscOptions;
    m_pMiscOptions = nullptr;
    delete m_pWatermarkOptions;
    m_pWatermarkOptions = nullptr;
    delete m_pOptionsTree;
    m_pOptionsTree = nullptr;
    delete m_pFileOptions;
    m_pFileOptions = nullptr;
    if (auto* manager = CCustomOccManager::Get())
        manager->SetExternal(nullptr);
    delete m_pDispatch;
    m_pDispatch = nullptr;
    if (m_bOleStarted)
        ::OleUninitialize();
    m_bOleStarted = false;
    return CWinApp::ExitInstance();
}
