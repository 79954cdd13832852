#include "WinApp.h"

#include "ThreadState.h"
#include "Wnd.h"

#include <atomic>
#include <memory>
#include <process.h>

using afx_detail::GetThreadState;

namespace {

std::atomic<CWinApp*> g_pApp{nullptr};
std::atomic<HINSTANCE> g_hInstResource{nullptr};
std::atomic<COccManager*> g_pOccManager{nullptr};
std::atomic<AfxMessageBoxHook> g_messageBoxHook{nullptr};

bool IsDialogWindow(HWND hWnd) {
    return (::GetClassLongW(hWnd, GCW_ATOM) & 0xFFFF) == 0x8002;
}

// True when every window that holds hWnd, up to its top-level window, is
// visible and enabled.
bool InsideShownWindows(HWND hWnd) {
    for (HWND h = ::GetParent(hWnd); h && (::GetWindowLongW(h, GWL_STYLE) & WS_CHILD); h = ::GetParent(h)) {
        if ((::GetWindowLongW(h, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE)
            return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Globals

CWinApp* AfxGetApp() {
    return g_pApp.load();
}

CWinThread* AfxGetThread() {
    CWinThread* pThread = GetThreadState().pCurrentThread;
    return pThread ? pThread : AfxGetApp();
}

CWnd* AfxGetMainWnd() {
    CWinThread* pThread = AfxGetThread();
    CWnd* pWnd = pThread ? pThread->GetMainWnd() : nullptr;
    if (!pWnd && pThread != AfxGetApp() && AfxGetApp())
        pWnd = AfxGetApp()->GetMainWnd();
    return pWnd;
}

CString AfxGetModuleFileName(HMODULE hModule) {
    // The buffer grows until the path fits: a path cut at 260 characters
    // would name another folder.
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        std::unique_ptr<WCHAR[]> buffer(new WCHAR[size]());
        const DWORD length = ::GetModuleFileNameW(hModule, buffer.get(), size);
        if (length == 0)
            return CString();
        if (length < size)
            return CString(buffer.get(), static_cast<int>(length));
    }
    return CString();
}

HINSTANCE AfxGetInstanceHandle() {
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_hInstance)
        return pApp->m_hInstance;
    return ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    HINSTANCE h = g_hInstResource.load();
    return h ? h : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource) {
    g_hInstResource = hInstResource;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType) {
    for (HINSTANCE h : {AfxGetResourceHandle(), AfxGetInstanceHandle()}) {
        if (h && ::FindResourceW(h, lpszName, lpszType))
            return h;
    }
    return AfxGetResourceHandle();
}

HINSTANCE AfxFindStringResourceHandle(UINT nID) {
    // Strings live in blocks of 16 in RT_STRING resources numbered id / 16 + 1.
    LPCWSTR block = MAKEINTRESOURCEW(nID / 16 + 1);
    for (HINSTANCE h : {AfxGetResourceHandle(), AfxGetInstanceHandle()}) {
        if (h && ::FindResourceW(h, block, MAKEINTRESOURCEW(6)))  // RT_STRING
            return h;
    }
    return nullptr;
}

void AfxEnableControlContainer(COccManager* pOccManager) {
    g_pOccManager = pOccManager;
}

COccManager* AfxGetOccManager() {
    return g_pOccManager.load();
}

AfxMessageBoxHook AfxSetMessageBoxHook(AfxMessageBoxHook hook) {
    return g_messageBoxHook.exchange(hook);
}

int AfxShowMessageBox(HWND hWndOwner, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType) {
    if (AfxMessageBoxHook hook = g_messageBoxHook.load())
        return hook(hWndOwner, lpszText ? lpszText : L"", lpszCaption ? lpszCaption : L"", nType);
    return ::MessageBoxW(hWndOwner, lpszText, lpszCaption, nType);
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT nIDHelp) {
    if (CWinApp* pApp = AfxGetApp())
        return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    CWnd* pOwner = CWnd::GetSafeOwner();
    return AfxShowMessageBox(pOwner ? pOwner->m_hWnd : nullptr, lpszText, nullptr, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}

void AfxDeleteTempMaps() {
    GetThreadState().DeleteTemporaries();
}

BOOL AfxIsDialogMessage(HWND hDlg, MSG* pMsg) {
    // The system finds the control a character is the mnemonic of by walking
    // the dialog's windows from the target on, stepping only into visible,
    // enabled windows, until the walk is back at the target. From a target
    // inside a hidden or disabled window it never is: under Wine the thread
    // then spins for good (measured). Such a target gets the character itself.
    if ((pMsg->message == WM_CHAR || pMsg->message == WM_SYSCHAR) && !InsideShownWindows(pMsg->hwnd))
        return FALSE;
    return ::IsDialogMessageW(hDlg, pMsg);
}

BOOL AfxPreTranslateMessage(MSG* pMsg) {
    if (CWinThread* pThread = AfxGetThread())
        return pThread->PreTranslateMessage(pMsg);
    CWnd* pMainWnd = AfxGetMainWnd();
    return CWnd::WalkPreTranslateTree(pMainWnd ? pMainWnd->m_hWnd : nullptr, pMsg);
}

namespace {
bool IsEditControl(HWND hWnd) {
    wchar_t cls[16] = {};
    return hWnd && ::GetClassNameW(hWnd, cls, 16) && ::lstrcmpiW(cls, L"Edit") == 0;
}
}  // namespace

bool AfxIsTextEditingKey(const MSG* pMsg) {
    if (!pMsg || (pMsg->message != WM_KEYDOWN && pMsg->message != WM_KEYUP))
        return false;
    switch (pMsg->wParam) {
    case 'A': case 'C': case 'V': case 'X': case 'Z':
        return IsEditControl(pMsg->hwnd);
    default:
        return false;
    }
}

void AfxDispatchQueuedMessage(MSG& msg) {
    if (AfxPreTranslateMessage(&msg))
        return;
    // Ctrl+A selects the whole text of a field, as users expect of every text
    // field; the system's edit control only knows Ctrl+C, V, X and Z itself.
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0 &&
        ::GetKeyState(VK_MENU) >= 0 && IsEditControl(msg.hwnd)) {
        ::SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
        return;
    }
    // Keyboard navigation of the dialog the target belongs to (modal or modeless).
    if (msg.hwnd && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        HWND hTop = msg.hwnd;
        while (hTop && (::GetWindowLongW(hTop, GWL_STYLE) & WS_CHILD) && ::GetParent(hTop))
            hTop = ::GetParent(hTop);
        if (hTop && IsDialogWindow(hTop) && AfxIsDialogMessage(hTop, &msg))
            return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

// ---------------------------------------------------------------------------
// CWinThread

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread)
        ::CloseHandle(m_hThread);
    m_hThread = nullptr;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam) {
    auto* pThread = static_cast<CWinThread*>(pParam);
    GetThreadState().pCurrentThread = pThread;
    UINT nResult = 0;
    if (pThread->m_pfnThreadProc) {
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    } else if (pThread->InitInstance()) {
        nResult = static_cast<UINT>(pThread->Run());
    } else {
        nResult = static_cast<UINT>(pThread->ExitInstance());
    }
    afx_detail::ReleaseThreadState();
    pThread->Delete();  // the object may be gone from here on
    return nResult;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (m_hThread)
        return FALSE;
    // Always start suspended, so the handle is stored before the thread can end
    // (and, with automatic deletion, delete this object).
    unsigned threadId = 0;
    uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                                 CREATE_SUSPENDED, &threadId);
    if (!h)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = threadId;
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(m_hThread);
    return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }
DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }
int CWinThread::GetThreadPriority() { return ::GetThreadPriority(m_hThread); }
BOOL CWinThread::SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::ExitInstance() {
    AfxDeleteTempMaps();
    return static_cast<int>(m_msgCur.wParam);
}

CWnd* CWinThread::GetMainWnd() {
    return m_pActiveWnd ? m_pActiveWnd : m_pMainWnd;
}

void CWinThread::Delete() {
    if (m_bAutoDelete)
        delete this;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hMain = pMainWnd ? pMainWnd->m_hWnd : nullptr;
    if (CWnd::WalkPreTranslateTree(hMain, pMsg))
        return TRUE;
    // The main window gets a last chance at messages of windows outside it,
    // so its accelerators work there too.
    if (hMain && pMsg->hwnd) {
        HWND hTop = pMsg->hwnd;
        for (HWND h = hTop; h; h = ::GetParent(h))
            hTop = h;
        if (hTop != hMain)
            return pMainWnd->PreTranslateMessage(pMsg);
    }
    return FALSE;
}

BOOL CWinThread::PumpMessage() {
    if (!::GetMessageW(&m_msgCur, nullptr, 0, 0))
        return FALSE;
    AfxDispatchQueuedMessage(m_msgCur);
    return TRUE;
}

BOOL CWinThread::OnIdle(LONG lCount) {
    if (lCount <= 0) {
        CWnd* pMainWnd = m_pMainWnd;
        if (pMainWnd && pMainWnd->m_hWnd && ::IsWindowVisible(pMainWnd->m_hWnd)) {
            pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE);
            pMainWnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
        }
        return TRUE;
    }
    AfxDeleteTempMaps();
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg) {
    // Repeated mouse moves to the same place, paints and caret blinks do not
    // restart idle processing.
    if (pMsg->message == WM_MOUSEMOVE || pMsg->message == WM_NCMOUSEMOVE) {
        if (m_nMsgLast == pMsg->message && m_ptCursorLast.x == pMsg->pt.x && m_ptCursorLast.y == pMsg->pt.y)
            return FALSE;
        m_ptCursorLast = pMsg->pt;
        m_nMsgLast = pMsg->message;
        return TRUE;
    }
    return pMsg->message != WM_PAINT && pMsg->message != 0x0118;  // WM_SYSTIMER
}

int CWinThread::Run() {
    m_bInRun = true;
    BOOL bIdle = TRUE;
    LONG lIdleCount = 0;
    for (;;) {
        while (bIdle && !::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(lIdleCount++))
                bIdle = FALSE;
        }
        do {
            if (!PumpMessage()) {
                m_bInRun = false;
                return ExitInstance();
            }
            if (IsIdleMessage(&m_msgCur)) {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    }
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (!pfnThreadProc)
        return nullptr;
    auto thread = std::make_unique<CWinThread>(pfnThreadProc, pParam);
    if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
        return nullptr;
    // From here the thread owns itself (automatic deletion) or the caller does.
    CWinThread* pThread = thread.release();
    ::SetThreadPriority(pThread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(pThread->m_hThread);
    return pThread;
}

// ---------------------------------------------------------------------------
// CWinApp

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCWSTR lpszAppName) {
    g_pApp = this;
    CString exe = AfxGetModuleFileName();
    exe = exe.Mid(exe.ReverseFind(L'\\') + 1);
    int dot = exe.ReverseFind(L'.');
    if (dot > 0)
        exe = exe.Left(dot);
    m_strExeName = exe;
    m_pszExeName = m_strExeName;

    if (lpszAppName) {
        m_strAppName = lpszAppName;
    } else {
        HINSTANCE h = ::GetModuleHandleW(nullptr);
        if (!m_strAppName.LoadString(h, AFX_IDS_APP_TITLE))
            m_strAppName = m_strExeName;
    }
    m_pszAppName = m_strAppName;
}

CWinApp::~CWinApp() {
    CWinApp* self = this;
    g_pApp.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() {
    AfxDeleteTempMaps();
    return static_cast<int>(m_msgCur.wParam);
}

int CWinApp::Run() {
    if (!m_pMainWnd) {
        // Nothing to run for: the application ends.
        ::PostQuitMessage(0);
    }
    return CWinThread::Run();
}

BOOL CWinApp::OnIdle(LONG lCount) {
    if (lCount <= 0) {
        CWinThread::OnIdle(lCount);
        return TRUE;
    }
    if (lCount == 1)
        CWinThread::OnIdle(lCount);
    return FALSE;
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : L"";
    m_pszRegistryKey = m_strRegistryKey;
    m_pszProfileName = m_pszAppName;
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString key;
    key.LoadString(nIDRegistryKey);
    SetRegistryKey(key);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const { return LoadIcon(MAKEINTRESOURCEW(nIDResource)); }
HICON CWinApp::LoadIcon(LPCWSTR lpszResourceName) const {
    return ::LoadIconW(AfxFindResourceHandle(lpszResourceName, MAKEINTRESOURCEW(14)), lpszResourceName);  // RT_GROUP_ICON
}
HCURSOR CWinApp::LoadCursor(UINT nIDResource) const {
    LPCWSTR name = MAKEINTRESOURCEW(nIDResource);
    return ::LoadCursorW(AfxFindResourceHandle(name, MAKEINTRESOURCEW(12)), name);  // RT_GROUP_CURSOR
}
HCURSOR CWinApp::LoadStandardCursor(LPCWSTR lpszCursorName) const { return ::LoadCursorW(nullptr, lpszCursorName); }
HICON CWinApp::LoadStandardIcon(LPCWSTR lpszIconName) const { return ::LoadIconW(nullptr, lpszIconName); }

int CWinApp::DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT) {
    // Without an explicit icon, OK boxes warn and yes/no boxes ask.
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            nType |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            nType |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    CWnd* pOwner = CWnd::GetSafeOwner();
    HWND hOwner = pOwner ? pOwner->m_hWnd : nullptr;
    if (hOwner && !::IsWindowEnabled(hOwner))
        hOwner = ::GetLastActivePopup(hOwner);
    return AfxShowMessageBox(hOwner, lpszPrompt, m_pszAppName, nType);
}

void CWinApp::OnHelp() {
    // The program ships no help file.
}

// ---------------------------------------------------------------------------
// Entry

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;

    int nReturnCode = -1;
    if (!pApp->InitApplication()) {
        nReturnCode = pApp->ExitInstance();
    } else if (!pApp->InitInstance()) {
        nReturnCode = pApp->ExitInstance();
    } else {
        nReturnCode = pApp->Run();
    }
    AfxDeleteTempMaps();
    return nReturnCode;
}
