#include "app/settings/WatermarkTextWnd.h"

#include "app/capture/FallbackText.h"
#include "app/capture/ScopedGdi.h"
#include "resources/resource.h"

#include <dlgs.h>

#include <cwchar>
#include <string>

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

void CWatermarkTextWnd::StartFrom(const CString& text, const LOGFONTW& font, COLORREF textColour,
                                  COLORREF backColour) {
    m_strText = text;
    SetLogFont(font);
    m_crText = textColour;
    m_crBack = backColour;
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

namespace {

// What the font dialog's face, style, size, colour and underline controls
// show. The dialog falls back to its first entry for a face it does not list
// (a vertical "@" face under Wine) and to its nearest colour for one not in
// its list; handed back on OK, those would replace what the user never
// touched. So a field counts as chosen only when its control changed.
struct FontDialogControls {
    std::wstring face, size;
    LRESULT style = CB_ERR, colour = CB_ERR;
    UINT underline = BST_UNCHECKED;

    explicit FontDialogControls(HWND dialog = nullptr) {
        if (!dialog)
            return;
        WCHAR text[LF_FACESIZE] = {};
        ::GetDlgItemTextW(dialog, cmb1, text, LF_FACESIZE);
        face = text;
        ::GetDlgItemTextW(dialog, cmb3, text, LF_FACESIZE);
        size = text;
        style = ::SendDlgItemMessageW(dialog, cmb2, CB_GETCURSEL, 0, 0);
        colour = ::SendDlgItemMessageW(dialog, cmb4, CB_GETCURSEL, 0, 0);
        underline = ::IsDlgButtonChecked(dialog, chx2);
    }
};

struct FontDialogWatch {
    FontDialogControls shown, chosen;
};

constexpr wchar_t kWatchProperty[] = L"VeskFontDialogWatch";

UINT_PTR CALLBACK WatchFontDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* watch = reinterpret_cast<FontDialogWatch*>(reinterpret_cast<CHOOSEFONTW*>(lParam)->lCustData);
        watch->shown = FontDialogControls(dialog);
        ::SetPropW(dialog, kWatchProperty, watch);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        if (auto* watch = static_cast<FontDialogWatch*>(::GetPropW(dialog, kWatchProperty)))
            watch->chosen = FontDialogControls(dialog);
    } else if (message == WM_DESTROY) {
        ::RemovePropW(dialog, kWatchProperty);
    }
    return 0;
}

}  // namespace

void CWatermarkTextWnd::OnChooseFont() {
    CFontDialog dialog(&m_logFont, CF_EFFECTS | CF_SCREENFONTS, nullptr, this);
    FontDialogWatch watch;
    dialog.m_cf.rgbColors = m_crText;
    dialog.m_cf.Flags |= CF_ENABLEHOOK;
    dialog.m_cf.lpfnHook = WatchFontDialog;
    dialog.m_cf.lCustData = reinterpret_cast<LPARAM>(&watch);
    if (dialog.DoModal() != IDOK)
        return;
    LOGFONTW chosen = {};
    dialog.GetCurrentFont(&chosen);
    LOGFONTW kept = m_logFont;
    if (watch.chosen.face != watch.shown.face) {
        // A vertical face would turn Hangul on its side: the mark is one horizontal line.
        const wchar_t* face = chosen.lfFaceName[0] == L'@' ? chosen.lfFaceName + 1 : chosen.lfFaceName;
        std::wcsncpy(kept.lfFaceName, face, LF_FACESIZE - 1);
    }
    if (watch.chosen.size != watch.shown.size)
        kept.lfHeight = chosen.lfHeight;
    if (watch.chosen.style != watch.shown.style) {
        kept.lfWeight = chosen.lfWeight;
        kept.lfItalic = chosen.lfItalic;
    }
    if (watch.chosen.underline != watch.shown.underline)
        kept.lfUnderline = chosen.lfUnderline;
    if (watch.chosen.colour != watch.shown.colour)
        m_crText = dialog.GetColor();
    SetLogFont(kept);
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
