// CGifResizeWnd: the GIF maker's frame-size dialog. The user types the new
// width and height (optionally keeping the first frame's ratio); the preview
// lays the first frame at the smaller of the two sizes over it at the larger,
// and the margin edits show the preview's centring margins: the gap on each
// side between the two sizes. On OK the caller resizes every frame.
#pragma once

#include "Afx.h"
#include "app/continuous/DrawStaticWnd.h"

class CGifResizeWnd : public CDialog, public ICentringMarginsOwner {
public:
    static constexpr int kMaxSide = 8192;

    // `sample`: the first frame's picture (borrowed), shown in the preview.
    CGifResizeWnd(HBITMAP sample, int width, int height, CWnd* pParent = nullptr);

    int GetNewWidth() const { return m_nWidth; }
    int GetNewHeight() const { return m_nHeight; }
    const FrameMargins& GetMargins() const { return m_margins; }

    void SetCentringMargins(const FrameMargins& first, const FrameMargins& second) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnWidthChange();
    afx_msg void OnHeightChange();
    DECLARE_MESSAGE_MAP()

private:
    // Lays out the preview for the typed size and takes its margins.
    void UpdatePreview();

    CDrawStaticWnd m_wndPreview;
    HBITMAP m_hSample;
    int m_nSampleWidth;
    int m_nSampleHeight;
    int m_nWidth;
    int m_nHeight;
    int m_bKeepRatio = 1;
    // The two groups of margins the preview writes; the edits show the first.
    FrameMargins m_margins;
    FrameMargins m_previewMargins;
    bool m_bSettingSize = false;
};
