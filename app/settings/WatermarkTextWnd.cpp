#include "app/settings/WatermarkTextWnd.h"

#include "app/capture/FallbackText.h"
#include "app/capture/ScopedGdi.h"
#include "resources/resource.h"

#include <cwchar>

BEGIN_MESSAGE_MAP(CWatermarkTextWnd, CDialog)
    ON_BN_CLICKED(IDC_WMTEXT_FONT, OnChooseFont)
    ON_BN_CLICKED(IDC_WMTEXT_COLOR, OnChooseTextColor)
    ON_BN_CLICKED(IDC_WMTEXT_BACK, OnChooseBackColor)
    ON_EN_CHANGE(IDC_WMTEXT_TEXT, OnTextChanged)
    ON_WM_DRAWITEM()
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

// The sample draws itself: the face may have no glyphs for some of the text.
void CWatermarkTextWnd::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT draw) {
    if (nIDCtl != IDC_WMTEXT_SAMPLE || !draw) {
        CDialog::OnDrawItem(nIDCtl, draw);
        return;
    }
    ScopedBrush back(::CreateSolidBrush(m_crBack));
    ::FillRect(draw->hDC, &draw->rcItem, back.Get());
    const HFONT font = static_cast<HFONT>(m_font.GetSafeHandle());
    const CFallbackText line(draw->hDC, font, m_strText, m_strText.GetLength());
    ScopedSelect select(draw->hDC, font);
    ::SetBkMode(draw->hDC, TRANSPARENT);
    ::SetTextColor(draw->hDC, m_crText);
    line.Draw(draw->hDC, draw->rcItem);
}
