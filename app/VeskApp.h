// The application object: starts the settings and runs the main dialog, whose
// life is the life of the process.
#pragma once

#include "Afx.h"

class CVeskDlg;
class COpFilePropertyPage;
class COpWatermarkPropertyPage;
class COpTreeWnd;
class COpContinuePage;
class CImpIDispatch;

class CVeskApp : public CWinApp {
public:
    CVeskApp();
    ~CVeskApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    CVeskDlg* m_pMainDlg = nullptr;  // valid while the main dialog object exists
    COpFilePropertyPage* m_pFileOptions = nullptr;
    COpWatermarkPropertyPage* m_pWatermarkOptions = nullptr;
    COpTreeWnd* m_pOptionsTree = nullptr;
    COpContinuePage* m_pMiscOptions = nullptr;
    CString m_strSettingsPath;  // full path of "vesk.ini"; empty until InitInstance
    // The browser's window.external object; ExitInstance deletes it.
    CImpIDispatch* m_pDispatch = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    void LoadSettings();

    ULONG_PTR m_gdiplusToken = 0;
    bool m_bGdiplusStarted = false;
    bool m_bOleStarted = false;
};

// The one application object.
extern CVeskApp theApp;
