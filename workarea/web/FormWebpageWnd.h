// The web page tab of the work area: an address box, the hosted Web Browser
// control and a capture button that hands the whole page to the capture
// engine. Without the system's HTML engine the control comes up but never
// gets a document; the tab then says so instead of waiting for ever.
#pragma once

#include "Afx.h"
#include "workarea/web/PageCapture.h"
#include "workarea/web/PageFit.h"

class CWebBrowserSite;

// Posted to the tab's parent when a page asks to close the tab (CB_Close).
constexpr UINT WM_WEBPAGE_CLOSE = WM_USER + 0x301;

class CAddressEdit : public CEdit {
protected:
    // Enter navigates instead of reaching the dialog that holds the work area.
    afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    DECLARE_MESSAGE_MAP()
};

class CFormWebpageWnd : public CWnd {
public:
    // How long a navigation may go without any document before the HTML
    // engine is taken to be missing.
    static constexpr DWORD kDocumentTimeoutMs = 5000;
    static constexpr const wchar_t* kStartPage = L"about:blank";

    enum class State { Loading, Ready, NoEngine, NoControl };

    CFormWebpageWnd() = default;
    ~CFormWebpageWnd() override;

    // Creates the tab's controls and the browser, and opens the start page.
    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);
    void SetCaptureHandler(PageCaptureHandler handler) { m_onCapture = std::move(handler); }
    void Navigate(LPCWSTR lpszUrl);

    // The whole loaded page, drawn into a memory DC of page width x height,
    // goes to the capture handler; nothing is captured before the document
    // has completed loading.
    PageCaptureResult CapturePage();
    // The same from a given document.
    PageCaptureResult CapturePage(IWebPageDocument& document);
    // What the user is told about a result; empty for a plain success.
    CString DescribeResult(PageCaptureResult result) const;

    State GetState() const { return m_state; }
    // The text the tab shows in place of the page; empty while there is none.
    CString GetMessageText() const;
    CWebBrowserSite* GetSite() const { return m_pSite; }
    // The narrowest width whose address row holds the box at a usable width
    // and both buttons whole.
    static int GetMinimumWidth();

protected:
    void LayoutControls();
    void ShowMessage(UINT nIDText);
    void CheckDocument();

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg void OnGo();
    afx_msg void OnCapture();
    DECLARE_MESSAGE_MAP()

private:
    CRect BrowserRect() const;
    void ReleaseSite();

    CAddressEdit m_wndAddress;
    CButton m_wndGo;
    CButton m_wndCapture;
    CStatic m_wndMessage;
    CWebBrowserSite* m_pSite = nullptr;  // one reference, released on destroy
    PageCaptureHandler m_onCapture;
    State m_state = State::Loading;
    DWORD m_navigateTick = 0;
    PageFit m_lastFit;
};
