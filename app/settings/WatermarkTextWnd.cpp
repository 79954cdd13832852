#include "app/settings/WatermarkTextWnd.h"

#include "resources/resource.h"

#include <cwchar>

BEGIN_MESSAGE_MAP(CWatermarkTextWnd, CDialog)
    ON_BN_CLICKED(IDC_WMTEXT_FONT, OnChooseFont)
    ON_BN_CLICKED(IDC_WMTEXT_COLOR, OnChooseTextColor)
    ON_BN_CLICKED(IDC_WMTEXT_BACK, OnChooseBackColor)
    ON_EN_CHANGE(IDC_WMTEXT_TEXT, OnTextChanged)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CWatermarkTextWnd::CWatermarkTextWnd(CWnd* pParentWnd)
    : CDialog(IDD, pParentWnd), m_strText(L"Vesk Capture V0.6"), m_crText(RGB(240, 251, 255)),
      m_crBack(RGB(0, 115, 183)) {
    LOGFONTW logFont = {};
    logFont.lfHeight = 32;
    logFont.lfWeight = FW_BOLD;
    logFont.lfCharSet = DEFAULT_CHARSET;
    std::wcscpy(logFont.lfFaceName, L"Arial");
    SetLogFont(logFont);
}

void CWatermarkTextWnd::SetLogFont(const LOGFONTW& chosen) {
    LOGFONTW logFont = {};
    logFont.lfHeight = chosen.lfHeight;
    logFont.lfWeight = chosen.lfWeight >= FW_SEMIBOLD ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = chosen.lfItalic ? TRUE : FALSE;
    logFont.lfUnderline = chosen.lfUnderline ? TRUE : FALSE;
    logFont.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(logFont.lfFaceName, chosen.lfFaceName, LF_FACESIZE - 1);
    m_logFont = logFont;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&m_logFont);
}

void CWatermarkTextWnd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_WMTEXT_TEXT, m_strText);
}

BOOL CWatermarkTextWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    UpdateData(FALSE);
    ShowSample();
    return TRUE;
}

void CWatermarkTextWnd::ShowSample() {
    m_backBrush.DeleteObject();
    m_backBrush.CreateSolidBrush(m_crBack);
    if (CWnd* sample = GetDlgItem(IDC_WMTEXT_SAMPLE)) {
        sample->SetFont(&m_font, FALSE);
        sample->SetWindowText(m_strText);
        sample->Invalidate();
    }
}

void CWatermarkTextWnd::OnTextChanged() {
    UpdateData(TRUE);
    ShowSample();
}

void CWatermarkTextWnd::OnChooseFont() {
    CFontDialog dialog(&m_logFont, CF_EFFECTS | CF_SCREENFONTS, nullptr, this);
    dialog.m_cf.rgbColors = m_crText;
    if (dialog.DoModal() != IDOK)
        return;
    LOGFONTW chosen = {};
    dialog.GetCurrentFont(&chosen);
    SetLogFont(chosen);
    m_crText = dialog.GetColor();
    ShowSample();
}

void CWatermarkTextWnd::OnChooseTextColor() {
    CColorDialog dialog(m_crText, CC_FULLOPEN, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_crText = dialog.GetColor();
    ShowSample();
}

void CWatermarkTextWnd::OnChooseBackColor() {
    CColorDialog dialog(m_crBack, CC_FULLOPEN, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_crBack = dialog.GetColor();
    ShowSample();
}

HBRUSH CWatermarkTextWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    if (pWnd && pWnd->GetDlgCtrlID() == IDC_WMTEXT_SAMPLE && m_backBrush.GetSafeHandle()) {
        pDC->SetTextColor(m_crText);
        pDC->SetBkColor(m_crBack);
        return m_backBrush;
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}
