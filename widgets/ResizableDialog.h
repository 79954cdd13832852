// CResizableDialog: a dialog whose controls stay anchored when it is resized.
//
// A top-level dialog gets a sizing frame, a size grip and, as its minimum
// tracking size, its size at creation. Derived dialogs register their
// controls with AddAnchor in OnInitDialog.
#pragma once

#include "Afx.h"
#include "widgets/ResizableGrip.h"
#include "widgets/ResizableLayout.h"
#include "widgets/ResizableMinMax.h"

class CResizableDialog : public CDialog, public CResizableLayout, public CResizableGrip, public CResizableMinMax {
public:
    CResizableDialog() = default;
    explicit CResizableDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CResizableDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);

    // Also callable directly to force a re-arrangement.
    afx_msg void OnSize(UINT nType, int cx, int cy);

protected:
    CWnd* GetLayoutWindow() override { return this; }
    CWnd* GetResizableWnd() override { return this; }

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnDestroy();

    enum : DWORD { GRIP_NOT_MAXIMIZED = 1 };
    DWORD m_dwGripTempState = GRIP_NOT_MAXIMIZED;

    DECLARE_MESSAGE_MAP()
};
