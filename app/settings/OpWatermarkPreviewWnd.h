// COpWatermarkPreviewWnd: the watermark page's live preview, a small resizable
// window that shows the watermark over the screen around the pointer, and the
// colour picker of the page's hide colour while the page's pick button is on.
#pragma once

#include "Afx.h"
#include "app/settings/WatermarkPreviewStatic.h"
#include "widgets/ResizableDialog.h"

class COpWatermarkPropertyPage;

class COpWatermarkPreviewWnd : public CResizableDialog {
public:
    enum { IDD = 231 };
    static constexpr UINT_PTR kRefreshTimer = 0;
    static constexpr UINT kRefreshMs = 100;

    explicit COpWatermarkPreviewWnd(COpWatermarkPropertyPage& page);

    CWatermarkPreviewStatic m_preview;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    COpWatermarkPropertyPage& m_page;
};
