// CColorDialogBarWnd: the dockable colour bar. Ten times a second it shows the
// screen around the pointer magnified, the colour under the pointer as a
// swatch and in three notations, and keeps a list of colours picked with the
// eyedropper; the copy button puts the selected one on the clipboard as
// "#RRGGBB".
#pragma once

#include "app/bars/ColorBarLayout.h"
#include "app/bars/NcComboBox.h"
#include "app/regions/ColorViewStatic.h"
#include "widgets/FlatButton.h"
#include "widgets/ResizeableDlgBar.h"

class CColorDialogBarWnd : public CResizeableDlgBar {
public:
    enum { IDD = 105 };
    static constexpr UINT_PTR kTimerId = 0;
    static constexpr UINT kTimerMs = 100;

    CColorDialogBarWnd();
    ~CColorDialogBarWnd() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg LRESULT OnInitDialog(WPARAM wParam, LPARAM lParam);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnDestroy();
    afx_msg void OnEyedropper();
    afx_msg void OnCopyColor();
    afx_msg void OnZoomChange();

    DECLARE_MESSAGE_MAP()

private:
    colorbar::Edges BarEdges() const;
    colorbar::ControlSizes ControlSizes() const;
    void Apply(const colorbar::Layout& layout);
    static void Place(CWnd& control, const colorbar::Place& place);
    static void Move(CWnd& control, const colorbar::Place& place);

    CColorViewStatic m_wndZoomView;
    CColorViewStatic m_wndSwatch;
    colorbar::Place m_rcZoomView;
    CString m_strColorText;
    colorbar::Place m_rcSwatch;
    colorbar::Place m_rcText;
    int m_nInitialWidth = 0;
    int m_nInitialHeight = 0;
    int m_nZoomFactor = 1;
    CNcComboBox m_wndPickedColors;
    CFlatButton m_btnEyedropper;
    CFlatButton m_btnCopy;
    colorbar::Place m_rcPickedList;
    colorbar::Place m_rcZoomList;
    bool m_bEyedropperRunning = false;
    bool m_bColorPicked = false;
    CComboBox m_wndZoomList;
};
