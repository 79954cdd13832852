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

// Where the preview opens: beside the sheet, never over it, so that the
// controls being tried stay in view; to the right or the left where the work
// area has room, else the sheet moves over just enough, else below or above
// it, else the preview narrows to the wider side, down to minimumWidth (its
// least width, above zero), and lies within the work area, over the sheet
// if it must.
struct PreviewPlacement {
    int sheetShift = 0;  // the sheet first moves sideways by this much
    CRect preview;
};
PreviewPlacement PreviewBesideSheet(const CRect& sheet, const CSize& preview, int minimumWidth, const CRect& work);
