// Threads, the application object and the library's global functions.
#pragma once

#include "AfxDefs.h"
#include "CmdTarget.h"
#include "String.h"

class CWinThread : public CCmdTarget {
public:
    CWinThread() = default;
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    CWnd* m_pMainWnd = nullptr;
    CWnd* m_pActiveWnd = nullptr;
    // Delete the object when its thread ends. With FALSE the creator joins
    // (waits on m_hThread) and deletes it.
    BOOL m_bAutoDelete = TRUE;
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;

    operator HANDLE() const { return m_hThread; }

    // Starts the thread (CREATE_SUSPENDED keeps it waiting for ResumeThread).
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread();
    DWORD SuspendThread();
    int GetThreadPriority();
    BOOL SetThreadPriority(int nPriority);

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL PumpMessage();
    // Idle processing; TRUE asks for another call with a higher count.
    virtual BOOL OnIdle(LONG lCount);
    virtual BOOL IsIdleMessage(MSG* pMsg);
    virtual CWnd* GetMainWnd();
    virtual void Delete();

    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;

protected:
    MSG m_msgCur = {};
    bool m_bInRun = false;

private:
    friend class CWnd;
    static unsigned __stdcall ThreadEntry(void* pParam);
    POINT m_ptCursorLast = {-1, -1};
    UINT m_nMsgLast = 0;
};

class CWinApp : public CWinThread {
public:
    // Registers this object as the application; there is one per process.
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszExeName = nullptr;
    LPCWSTR m_pszRegistryKey = nullptr;
    LPCWSTR m_pszProfileName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    virtual BOOL InitApplication();
    BOOL InitInstance() override;
    int ExitInstance() override;
    int Run() override;
    // Count 0: idle-updates the main window and its permanent descendants,
    // returns TRUE. Count 1: frees the temporary handle maps, returns FALSE.
    BOOL OnIdle(LONG lCount) override;

    // Profile settings go under HKCU\Software\<key>\<app name>; sets the names only.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);

    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadIcon(LPCWSTR lpszResourceName) const;
    HCURSOR LoadCursor(UINT nIDResource) const;
    HCURSOR LoadStandardCursor(LPCWSTR lpszCursorName) const;
    HICON LoadStandardIcon(LPCWSTR lpszIconName) const;

    virtual int DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT nIDPrompt);
    afx_msg void OnHelp();

    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
    CString m_strExeName;
    CString m_strRegistryKey;
};

// Control-site manager for hosted controls; the embedding code derives from it.
class COccManager : public CObject {
public:
    ~COccManager() override = default;
};

// Thrown by a failed data exchange; UpdateData catches it.
class CUserException {};

CWinApp* AfxGetApp();
// The current thread's object: the application on the main thread.
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// The whole path of a module (null: the running program), however long.
CString AfxGetModuleFileName(HMODULE hModule = nullptr);
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// The module holding a resource of that type and name (the resource module first).
HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType);
// The module whose string table has nID; null when none has it.
HINSTANCE AfxFindStringResourceHandle(UINT nID);

// Keeps the control-site manager for the controls hosted later.
void AfxEnableControlContainer(COccManager* pOccManager = nullptr);
COccManager* AfxGetOccManager();

int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
// Every message box of the library goes through this hook when one is set
// (tests answer them without a click). Returns the previous hook.
using AfxMessageBoxHook = int (*)(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType);
AfxMessageBoxHook AfxSetMessageBoxHook(AfxMessageBoxHook hook);
int AfxShowMessageBox(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType);

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// Frees the temporary objects of the current thread's handle maps.
void AfxDeleteTempMaps();

// One pass of message processing for a queued message: the PreTranslateMessage
// walk, then dialog keyboard handling, then translate and dispatch.
void AfxDispatchQueuedMessage(MSG& msg);
BOOL AfxPreTranslateMessage(MSG* pMsg);
// IsDialogMessageW, safe for a character sent to a window inside a hidden one.
BOOL AfxIsDialogMessage(HWND hDlg, MSG* pMsg);
// True for a key a text box keeps for itself whatever the modifiers: A (Ctrl+A
// selects all, see AfxDispatchQueuedMessage), C, V, X and Z, pressed in an edit
// control. A window's accelerators must leave these to it.
bool AfxIsTextEditingKey(const MSG* pMsg);

// The entry's work: runs the one application object. Constructs nothing itself.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
