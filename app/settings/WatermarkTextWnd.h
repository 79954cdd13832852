// CWatermarkTextWnd: the modal editor of a text watermark. It starts from its
// own defaults, or from the mark its caller hands it with StartFrom, so that
// OK without a change gives that mark back. The font comes from the system's
// font dialog and both colours from its colour dialog. After IDOK its caller
// reads the text, the font (a LOGFONT with weight 700 or 400), the text colour
// and the background colour.
#pragma once

#include "Afx.h"

class CWatermarkTextWnd : public CDialog {
public:
    enum { IDD = 210 };
    explicit CWatermarkTextWnd(CWnd* pParentWnd = nullptr);
    // Before DoModal: the mark the editor opens at.
    void StartFrom(const CString& text, const LOGFONTW& font, COLORREF textColour, COLORREF backColour);

    const CString& GetText() const { return m_strText; }
    CFont& GetFont() { return m_font; }
    COLORREF GetTextColor() const { return m_crText; }
    COLORREF GetBackColor() const { return m_crBack; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnChooseFont();
    afx_msg void OnChooseTextColor();
    afx_msg void OnChooseBackColor();
    afx_msg void OnTextChanged();
    afx_msg void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT draw);

    DECLARE_MESSAGE_MAP()

private:
    // Keeps only what a watermark font carries and makes the font from it.
    void SetLogFont(const LOGFONTW& logFont);
    void ShowSample();

    CString m_strText;
    LOGFONTW m_logFont = {};
    CFont m_font;
    COLORREF m_crText;
    COLORREF m_crBack;
};
