#include "app/tools/gif/GifResizeWnd.h"

#include "app/continuous/FrameFit.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CGifResizeWnd, CDialog)
    ON_EN_CHANGE(IDC_GIF_RESIZE_WIDTH, OnWidthChange)
    ON_EN_CHANGE(IDC_GIF_RESIZE_HEIGHT, OnHeightChange)
END_MESSAGE_MAP()

CGifResizeWnd::CGifResizeWnd(HBITMAP sample, int width, int height, CWnd* pParent)
    : CDialog(IDD_GIF_RESIZE, pParent),
      m_hSample(sample),
      m_nSampleWidth(width),
      m_nSampleHeight(height),
      m_nWidth(width),
      m_nHeight(height) {}

void CGifResizeWnd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_GIF_RESIZE_PREVIEW, m_wndPreview);
    DDX_Text(pDX, IDC_GIF_RESIZE_WIDTH, m_nWidth);
    DDV_MinMaxInt(pDX, m_nWidth, 1, kMaxSide);
    DDX_Text(pDX, IDC_GIF_RESIZE_HEIGHT, m_nHeight);
    DDV_MinMaxInt(pDX, m_nHeight, 1, kMaxSide);
    DDX_Check(pDX, IDC_GIF_RESIZE_KEEP_RATIO, m_bKeepRatio);
    DDX_Text(pDX, IDC_GIF_RESIZE_LEFT, m_margins.left);
    DDX_Text(pDX, IDC_GIF_RESIZE_TOP, m_margins.top);
    DDX_Text(pDX, IDC_GIF_RESIZE_RIGHT, m_margins.right);
    DDX_Text(pDX, IDC_GIF_RESIZE_BOTTOM, m_margins.bottom);
}

BOOL CGifResizeWnd::OnInitDialog() {
    m_bSettingSize = true;
    CDialog::OnInitDialog();
    m_bSettingSize = false;
    m_wndPreview.m_nMode = CDrawStaticWnd::kOverlay;
    m_wndPreview.SetMarginsOwner(this);
    UpdatePreview();
    return TRUE;
}

void CGifResizeWnd::SetCentringMargins(const FrameMargins& first, const FrameMargins& second) {
    m_margins = first;
    m_previewMargins = second;
    m_bSettingSize = true;
    SetDlgItemInt(IDC_GIF_RESIZE_LEFT, static_cast<UINT>(first.left), TRUE);
    SetDlgItemInt(IDC_GIF_RESIZE_TOP, static_cast<UINT>(first.top), TRUE);
    SetDlgItemInt(IDC_GIF_RESIZE_RIGHT, static_cast<UINT>(first.right), TRUE);
    SetDlgItemInt(IDC_GIF_RESIZE_BOTTOM, static_cast<UINT>(first.bottom), TRUE);
    m_bSettingSize = false;
}

void CGifResizeWnd::UpdatePreview() {
    if (!m_wndPreview.m_hWnd || m_nWidth <= 0 || m_nHeight <= 0 || m_nWidth > kMaxSide || m_nHeight > kMaxSide)
        return;
    // One picture serves as both, the preview scales each to its given size.
    // The larger size is the base, so the overlay sits inside it and the
    // margins are the gap on each side.
    if (m_nWidth >= m_nSampleWidth && m_nHeight >= m_nSampleHeight)
        m_wndPreview.FitImage(m_hSample, m_nWidth, m_nHeight, m_hSample, m_nSampleWidth, m_nSampleHeight);
    else
        m_wndPreview.FitImage(m_hSample, m_nSampleWidth, m_nSampleHeight, m_hSample, m_nWidth, m_nHeight);
    m_wndPreview.SetCenter(true);
}

// The size edits read only their own controls: pulling every field on each
// keystroke would complain about the other edit while it is being typed.
void CGifResizeWnd::OnWidthChange() {
    if (m_bSettingSize)
        return;
    BOOL ok = FALSE;
    const int width = static_cast<int>(GetDlgItemInt(IDC_GIF_RESIZE_WIDTH, &ok, TRUE));
    if (!ok)
        return;
    m_nWidth = width;
    if (IsDlgButtonChecked(IDC_GIF_RESIZE_KEEP_RATIO)) {
        const int height = frame_fit::ProportionalSide(width, static_cast<float>(m_nSampleWidth),
                                                       static_cast<float>(m_nSampleHeight));
        if (height >= 0) {
            m_nHeight = height;
            m_bSettingSize = true;
            SetDlgItemInt(IDC_GIF_RESIZE_HEIGHT, static_cast<UINT>(height), TRUE);
            m_bSettingSize = false;
        }
    }
    UpdatePreview();
}

void CGifResizeWnd::OnHeightChange() {
    if (m_bSettingSize)
        return;
    BOOL ok = FALSE;
    const int height = static_cast<int>(GetDlgItemInt(IDC_GIF_RESIZE_HEIGHT, &ok, TRUE));
    if (!ok)
        return;
    m_nHeight = height;
    if (IsDlgButtonChecked(IDC_GIF_RESIZE_KEEP_RATIO)) {
        const int width = frame_fit::ProportionalSide(height, static_cast<float>(m_nSampleHeight),
                                                      static_cast<float>(m_nSampleWidth));
        if (width >= 0) {
            m_nWidth = width;
            m_bSettingSize = true;
            SetDlgItemInt(IDC_GIF_RESIZE_WIDTH, static_cast<UINT>(width), TRUE);
            m_bSettingSize = false;
        }
    }
    UpdatePreview();
}
