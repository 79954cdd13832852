// CToolBar: a toolbar control as a bar, usable inside a dialog.
#pragma once

#include "AfxDefs.h"
#include "ControlBar.h"
#include "Controls.h"

#ifndef ID_SEPARATOR
#define ID_SEPARATOR 0
#endif

constexpr UINT TBBS_BUTTON = TBSTYLE_BUTTON;
constexpr UINT TBBS_SEPARATOR = TBSTYLE_SEP;
constexpr UINT TBBS_CHECKBOX = TBSTYLE_CHECK;
constexpr UINT TBBS_CHECKED = MAKELONG(0, TBSTATE_CHECKED);
constexpr UINT TBBS_DISABLED = MAKELONG(0, TBSTATE_ENABLED);
constexpr UINT TBBS_PRESSED = MAKELONG(0, TBSTATE_PRESSED);

class CToolBar : public CControlBar {
public:
    CToolBar() = default;
    ~CToolBar() override;

    // dwCtrlStyle: TBSTYLE_* of the control; dwStyle: window and CBRS_* styles.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT nID = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect rcBorders = CRect(0, 0, 0, 0),
                  UINT nID = AFX_IDW_TOOLBAR);

    // Replaces all buttons: ID_SEPARATOR entries become separators, the others
    // buttons with consecutive images. A null array makes nIDCount separators.
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    // nStyle: the button style in the low word, state bits in the high word
    // with TBSTATE_ENABLED meaning disabled (TBBS_DISABLED). For a separator,
    // iImage is its width.
    void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
    void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
    BOOL SetButtonText(int nIndex, LPCWSTR lpszText);
    CString GetButtonText(int nIndex) const;
    UINT GetButtonStyle(int nIndex) const;
    void SetButtonStyle(int nIndex, UINT nStyle);
    UINT GetItemID(int nIndex) const;
    int CommandToIndex(UINT nIDFind) const;
    void GetItemRect(int nIndex, LPRECT lpRect) const;
    void SetSizes(SIZE sizeButton, SIZE sizeImage);

    CToolBarCtrl& GetToolBarCtrl() const;

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;

private:
    BOOL GetButton(int nIndex, TBBUTTON& button) const;
    void ReplaceButton(int nIndex, const TBBUTTON& button);

    mutable CToolBarCtrl m_ctrl;  // a second view of this window as its control
};
