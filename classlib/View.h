// Views: CView, CScrollView and CFormView.
//
// So far only what form views need: no documents, MM_TEXT scrolling, and a
// form made from a dialog template. The owner of a view object keeps it alive
// for as long as its window exists.
#pragma once

#include "AfxDefs.h"
#include "Wnd.h"

class CView : public CWnd {
public:
    // Runs once after creation, on WM_INITIALUPDATE from the frame.
    virtual void OnInitialUpdate();

protected:
    virtual void OnDraw(CDC* pDC) = 0;
    // Prepares a DC for drawing the view's contents (scroll offset, mapping mode).
    virtual void OnPrepareDC(CDC* pDC);
    // Repaints the view; lHint and pHint are free for derived views.
    virtual void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint);

    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;

    afx_msg void OnPaint();
    afx_msg LRESULT HandleInitialUpdate(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

class CScrollView : public CView {
public:
    // Page and line sizes that SetScrollSizes derives from the view's size.
    static const SIZE sizeDefault;

    // Only MM_TEXT is supported; other modes leave the sizes unchanged.
    void SetScrollSizes(int nMapMode, SIZE sizeTotal, const SIZE& sizePage = sizeDefault,
                        const SIZE& sizeLine = sizeDefault);
    CSize GetTotalSize() const { return m_totalLog; }
    void GetDeviceScrollSizes(int& nMapMode, SIZE& sizeTotal, SIZE& sizePage, SIZE& sizeLine) const;
    CPoint GetScrollPosition() const { return GetDeviceScrollPosition(); }
    CPoint GetDeviceScrollPosition() const;
    void ScrollToPosition(POINT pt);

protected:
    void OnPrepareDC(CDC* pDC) override;
    // Shows, hides and sizes the scroll bars for the current client size.
    void UpdateBars();
    virtual BOOL OnScroll(UINT nScrollCode, UINT nPos, BOOL bDoScroll = TRUE);
    virtual BOOL OnScrollBy(CSize sizeScroll, BOOL bDoScroll = TRUE);

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);

    int m_nMapMode = 0;  // 0 until SetScrollSizes
    CSize m_totalLog;
    CSize m_totalDev;
    CSize m_pageDev;
    CSize m_lineDev;

    DECLARE_MESSAGE_MAP()

private:
    bool m_bInsideUpdate = false;
};

class CFormView : public CScrollView {
public:
    // Creates the form from its template as a child of pParentWnd, placed at
    // rect; the template's size becomes the scroll size.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID, CCreateContext* pContext = nullptr) override;
    // Fills the controls (UpdateData(FALSE)), then the scroll view's update.
    void OnInitialUpdate() override;
    // Dialog keyboard navigation between the form's controls.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    explicit CFormView(UINT nIDTemplate);
    explicit CFormView(LPCWSTR lpszTemplateName);

    void OnDraw(CDC* pDC) override;

    LPCWSTR m_lpszTemplateName = nullptr;

private:
    static INT_PTR CALLBACK FormDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    CString m_strTemplateName;  // keeps a string template name alive
};
