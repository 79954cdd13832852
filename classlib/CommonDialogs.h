// The system's common dialogs (file, colour, font) behind DoModal.
#pragma once

#include "AfxDefs.h"
#include "Dialog.h"

#include <string>

class CCommonDialog : public CDialog {
public:
    explicit CCommonDialog(CWnd* pParentWnd) : CDialog(static_cast<UINT>(0), pParentWnd) {}
};

class CFileDialog : public CCommonDialog {
public:
    // lpszFilter: pairs of description and pattern, either separated by '|' and
    // ended by "||", or each followed by a NUL and ended by an empty string.
    explicit CFileDialog(BOOL bOpenFileDialog, LPCWSTR lpszDefExt = nullptr, LPCWSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr);

    OPENFILENAMEW m_ofn;

    // IDOK with the chosen path, IDCANCEL when the user cancels or the dialog fails.
    INT_PTR DoModal() override;
    CString GetPathName() const;
    CString GetFileName() const;
    CString GetFileExt() const;
    CString GetFileTitle() const;

protected:
    BOOL m_bOpenFileDialog;
    WCHAR m_szFileName[MAX_PATH * 4] = {};
    WCHAR m_szFileTitle[MAX_PATH] = {};
    std::wstring m_strFilter;
    CString m_strDefExt;
};

class CColorDialog : public CCommonDialog {
public:
    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);

    CHOOSECOLORW m_cc;

    INT_PTR DoModal() override;
    COLORREF GetColor() const { return m_cc.rgbResult; }
    void SetCurrentColor(COLORREF clr) { m_cc.rgbResult = clr; m_cc.Flags |= CC_RGBINIT; }
    // The custom colours, shared by all colour dialogs of the program.
    static COLORREF* PASCAL GetSavedCustomColors();
};

class CFontDialog : public CCommonDialog {
public:
    explicit CFontDialog(const LOGFONTW* lplfInitial = nullptr, DWORD dwFlags = CF_EFFECTS | CF_SCREENFONTS,
                         CDC* pdcPrinter = nullptr, CWnd* pParentWnd = nullptr);

    CHOOSEFONTW m_cf;

    INT_PTR DoModal() override;
    void GetCurrentFont(LPLOGFONTW lplf) const { *lplf = m_lf; }
    CString GetFaceName() const { return CString(m_lf.lfFaceName); }
    // In tenths of a point.
    int GetSize() const { return m_cf.iPointSize; }
    COLORREF GetColor() const { return m_cf.rgbColors; }
    int GetWeight() const { return m_lf.lfWeight; }
    BOOL IsBold() const { return m_lf.lfWeight >= FW_SEMIBOLD; }
    BOOL IsItalic() const { return m_lf.lfItalic; }
    BOOL IsUnderline() const { return m_lf.lfUnderline; }
    BOOL IsStrikeOut() const { return m_lf.lfStrikeOut; }

protected:
    LOGFONTW m_lf = {};
    WCHAR m_szStyleName[64] = {};
};
