#include "workarea/web/FormWebpageWnd.h"

#include "resources/resource.h"
#include "workarea/CustomOccManager.h"
#include "workarea/ImpIDispatch.h"
#include "workarea/WorkText.h"
#include "workarea/web/WebBrowserSite.h"

namespace {

constexpr UINT_PTR kDocumentTimer = 1;
constexpr UINT kDocumentPollMs = 250;
constexpr int kMargin = 4;
constexpr int kRowHeight = 24;
constexpr int kGoWidth = 60;
constexpr int kCaptureWidth = 100;
constexpr int kAddressMinWidth = 120;  // some 20 characters of the dialog font

}  // namespace

BEGIN_MESSAGE_MAP(CAddressEdit, CEdit)
    ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
    ON_WM_KEYDOWN()
END_MESSAGE_MAP()

LRESULT CAddressEdit::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    LRESULT code = DefWindowProc(WM_GETDLGCODE, wParam, lParam);
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
    return code;
}

void CAddressEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_RETURN) {
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_WEB_GO, BN_CLICKED), 0);
        return;
    }
    DefWindowProc(WM_KEYDOWN, nChar, MAKELPARAM(nRepCnt, nFlags));
}

BEGIN_MESSAGE_MAP(CFormWebpageWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_WEB_GO, OnGo)
    ON_BN_CLICKED(IDC_WEB_CAPTURE, OnCapture)
END_MESSAGE_MAP()

CFormWebpageWnd::~CFormWebpageWnd() {
    if (m_hWnd)
        DestroyWindow();
    ReleaseSite();
}

BOOL CFormWebpageWnd::Create(CWnd* pParentWnd, const RECT& rect, UINT nID) {
    LPCWSTR cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (!CWnd::Create(cls, L"", WS_CHILD | WS_CLIPCHILDREN, rect, pParentWnd, nID))
        return FALSE;
    const CRect none(0, 0, 0, 0);
    auto* font = CFont::FromHandle(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    if (!m_wndAddress.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, none, this,
                             IDC_WEB_ADDRESS) ||
        !m_wndGo.Create(LoadText(IDS_WEB_GO), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, none, this,
                        IDC_WEB_GO) ||
        !m_wndCapture.Create(LoadText(IDS_WEB_CAPTURE), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, none, this,
                             IDC_WEB_CAPTURE) ||
        !m_wndMessage.Create(L"", WS_CHILD | SS_CENTER, none, this, IDC_WEB_MESSAGE))
        return FALSE;
    for (CWnd* child : {static_cast<CWnd*>(&m_wndAddress), static_cast<CWnd*>(&m_wndGo),
                        static_cast<CWnd*>(&m_wndCapture), static_cast<CWnd*>(&m_wndMessage)})
        child->SetFont(font, FALSE);
    m_wndAddress.SetWindowText(kStartPage);
    LayoutControls();

    // Pages closing themselves through window.external close this tab.
    CCustomOccManager* manager = CCustomOccManager::Get();
    if (manager && manager->GetExternal()) {
        const HWND parent = pParentWnd->GetSafeHwnd();
        const HWND self = m_hWnd;
        manager->GetExternal()->SetCloseHandler(
            [parent, self] { ::PostMessageW(parent, WM_WEBPAGE_CLOSE, 0, reinterpret_cast<LPARAM>(self)); });
    }

    HRESULT hr = E_FAIL;
    if (manager)
        m_pSite = manager->CreateBrowserSite(m_hWnd, BrowserRect(), &hr);
    if (!m_pSite) {
        m_state = State::NoControl;
        ShowMessage(IDS_WEB_NO_CONTROL);
        return TRUE;  // the tab stays and says why it is empty
    }
    Navigate(kStartPage);
    return TRUE;
}

void CFormWebpageWnd::Navigate(LPCWSTR lpszUrl) {
    if (!m_pSite)
        return;
    m_state = State::Loading;
    m_wndMessage.ShowWindow(SW_HIDE);
    if (HWND control = m_pSite->GetControlWindow())
        ::ShowWindow(control, SW_SHOW);
    m_navigateTick = ::GetTickCount();
    if (FAILED(m_pSite->Navigate(lpszUrl))) {
        m_state = State::NoEngine;
        ShowMessage(IDS_WEB_NO_ENGINE);
        return;
    }
    SetTimer(kDocumentTimer, kDocumentPollMs);
}

void CFormWebpageWnd::CheckDocument() {
    if (!m_pSite || m_state != State::Loading) {
        KillTimer(kDocumentTimer);
        return;
    }
    const bool hasDocument = m_pSite->HasDocument();
    if (hasDocument && m_pSite->GetReadyState() == READYSTATE_COMPLETE) {
        m_state = State::Ready;
        KillTimer(kDocumentTimer);
    } else if (!hasDocument && ::GetTickCount() - m_navigateTick >= kDocumentTimeoutMs) {
        // The control accepted the navigation but nothing will ever render it.
        m_state = State::NoEngine;
        KillTimer(kDocumentTimer);
        ShowMessage(IDS_WEB_NO_ENGINE);
    }
}

void CFormWebpageWnd::ShowMessage(UINT nIDText) {
    if (m_pSite) {
        if (HWND control = m_pSite->GetControlWindow())
            ::ShowWindow(control, SW_HIDE);
    }
    m_wndMessage.SetWindowText(LoadText(nIDText));
    m_wndMessage.ShowWindow(SW_SHOW);
}

CString CFormWebpageWnd::GetMessageText() const {
    CString text;
    if (m_wndMessage.GetSafeHwnd() && m_wndMessage.IsWindowVisible())
        m_wndMessage.GetWindowText(text);
    return text;
}

int CFormWebpageWnd::GetMinimumWidth() {
    return 4 * kMargin + kAddressMinWidth + kGoWidth + kCaptureWidth;
}

CRect CFormWebpageWnd::BrowserRect() const {
    CRect client(0, 0, 0, 0);
    if (m_hWnd)
        GetClientRect(&client);
    client.top = std::min(client.bottom, static_cast<LONG>(kRowHeight + 2 * kMargin));
    return client;
}

void CFormWebpageWnd::LayoutControls() {
    if (!m_wndAddress.GetSafeHwnd())
        return;
    CRect client;
    GetClientRect(&client);
    // The address box takes what the buttons leave, but never less than its
    // minimum: in a tab too narrow for the row the buttons run past its right
    // edge instead of over the box or each other.
    const int addressWidth =
        std::max(kAddressMinWidth, static_cast<int>(client.right) - GetMinimumWidth() + kAddressMinWidth);
    const int goLeft = 2 * kMargin + addressWidth;
    const int captureLeft = goLeft + kGoWidth + kMargin;
    m_wndAddress.MoveWindow(kMargin, kMargin, addressWidth, kRowHeight);
    m_wndGo.MoveWindow(goLeft, kMargin, kGoWidth, kRowHeight);
    m_wndCapture.MoveWindow(captureLeft, kMargin, kCaptureWidth, kRowHeight);
    const CRect browser = BrowserRect();
    CRect message = browser;
    message.DeflateRect(16, 24);
    if (message.IsRectEmpty())
        message = browser;
    m_wndMessage.MoveWindow(&message);
    if (m_pSite)
        m_pSite->SetRect(browser);
}

void CFormWebpageWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    LayoutControls();
}

void CFormWebpageWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kDocumentTimer)
        CheckDocument();
}

void CFormWebpageWnd::ReleaseSite() {
    if (!m_pSite)
        return;
    CWebBrowserSite* site = m_pSite;
    m_pSite = nullptr;
    site->Close();
    site->Release();
}

void CFormWebpageWnd::OnDestroy() {
    KillTimer(kDocumentTimer);
    if (CCustomOccManager* manager = CCustomOccManager::Get()) {
        if (manager->GetExternal())
            manager->GetExternal()->SetCloseHandler(nullptr);
    }
    // The control's window is our child: let go of it while it still exists.
    ReleaseSite();
    CWnd::OnDestroy();
}

void CFormWebpageWnd::OnGo() {
    CString url;
    m_wndAddress.GetWindowText(url);
    url.Trim();
    if (!url.IsEmpty())
        Navigate(url);
}

void CFormWebpageWnd::OnCapture() {
    const PageCaptureResult result = CapturePage();
    const CString text = DescribeResult(result);
    if (!text.IsEmpty())
        AfxMessageBox(text, result == PageCaptureResult::Capped ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONWARNING);
}

PageCaptureResult CFormWebpageWnd::CapturePage() {
    if (!m_pSite || m_state == State::NoControl || m_state == State::NoEngine)
        return PageCaptureResult::NoEngine;
    CheckDocument();
    if (!m_pSite->HasDocument() || m_pSite->GetReadyState() != READYSTATE_COMPLETE)
        return m_state == State::NoEngine ? PageCaptureResult::NoEngine : PageCaptureResult::NotLoaded;
    CBrowserPageDocument document(*m_pSite);
    return CapturePage(document);
}

PageCaptureResult CFormWebpageWnd::CapturePage(IWebPageDocument& document) {
    if (!m_onCapture)
        return PageCaptureResult::NoReceiver;
    SIZE page = {};
    if (!document.GetPageSize(page))
        return PageCaptureResult::NotLoaded;
    m_lastFit = FitPageForCapture(page.cx, page.cy);
    if (m_lastFit.width == 0)
        return PageCaptureResult::EmptyPage;

    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!dc)
        return PageCaptureResult::NoMemory;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = m_lastFit.width;
    info.bmiHeader.biHeight = -m_lastFit.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        ::DeleteDC(dc);
        return PageCaptureResult::NoMemory;
    }
    ::SelectObject(dc, bitmap);
    ::PatBlt(dc, 0, 0, m_lastFit.width, m_lastFit.height, WHITENESS);
    if (!document.DrawPage(dc, SIZE{m_lastFit.width, m_lastFit.height})) {
        ::DeleteDC(dc);  // the DC goes first: the bitmap is still selected in it
        ::DeleteObject(bitmap);
        return PageCaptureResult::DrawFailed;
    }
    // From here the capture worker owns both.
    m_onCapture(dc, RECT{0, 0, m_lastFit.width, m_lastFit.height}, bitmap);
    return m_lastFit.capped ? PageCaptureResult::Capped : PageCaptureResult::Captured;
}

CString CFormWebpageWnd::DescribeResult(PageCaptureResult result) const {
    CString text;
    switch (result) {
    case PageCaptureResult::Captured:
        break;
    case PageCaptureResult::Capped:
        text.Format(LoadText(IDS_WEB_PAGE_CAPPED), m_lastFit.width, m_lastFit.height);
        break;
    case PageCaptureResult::NotLoaded:
        text = LoadText(IDS_WEB_LOADING);
        break;
    case PageCaptureResult::NoEngine:
        text = LoadText(m_state == State::NoControl ? IDS_WEB_NO_CONTROL : IDS_WEB_NO_ENGINE);
        break;
    case PageCaptureResult::EmptyPage:
        text = LoadText(IDS_WEB_EMPTY_PAGE);
        break;
    case PageCaptureResult::NoMemory:
    case PageCaptureResult::DrawFailed:
    case PageCaptureResult::NoReceiver:
        text = LoadText(IDS_WEB_CAPTURE_FAILED);
        break;
    }
    return text;
}
