// CDialogBar: a control bar made from a dialog template, docked in a frame.
#pragma once

#include "AfxDefs.h"
#include "ControlBar.h"

class CDialogBar : public CControlBar {
public:
    CDialogBar() = default;
    ~CDialogBar() override;

    // nStyle: CBRS_* alignment and size flags plus window styles.
    virtual BOOL Create(CWnd* pParentWnd, UINT nIDTemplate, UINT nStyle, UINT nID);
    virtual BOOL Create(CWnd* pParentWnd, LPCWSTR lpszTemplateName, UINT nStyle, UINT nID);

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;

    // The template's size in pixels.
    CSize m_sizeDefault;

protected:
    // Commands from the bar's controls go to the bar first, then to its
    // owner (the frame's parent when the frame does not handle them).
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK BarDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
