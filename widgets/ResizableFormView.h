// CResizableFormView: a form view whose controls stay anchored when it is resized.
//
// Anchors resolve over the whole scrollable form. The size grip shows only
// while the view fills the bottom-right corner of a resizable, restored
// parent and is at least as large as its form.
#pragma once

#include "Afx.h"
#include "View.h"
#include "widgets/ResizableGrip.h"
#include "widgets/ResizableLayout.h"
#include "widgets/ResizableMinMax.h"

class CResizableFormView : public CFormView, public CResizableLayout, public CResizableGrip, public CResizableMinMax {
public:
    explicit CResizableFormView(UINT nIDTemplate);
    explicit CResizableFormView(LPCWSTR lpszTemplateName);

    void OnInitialUpdate() override;

protected:
    CWnd* GetLayoutWindow() override { return this; }
    CWnd* GetResizableWnd() override { return this; }
    void GetLayoutClientRect(LPRECT lpRect) override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnDestroy();

    enum : DWORD {
        GRIP_PARENT_RESTORED = 1,  // the parent frame is not maximised
        GRIP_FORM_FITS = 2,        // the view is at least as large as its form
        GRIP_AT_CORNER = 4,        // the view fills the bottom-right corner of a sizable parent
    };
    BOOL m_bInitDone = FALSE;
    DWORD m_dwGripTempState = GRIP_PARENT_RESTORED | GRIP_FORM_FITS | GRIP_AT_CORNER;

    DECLARE_MESSAGE_MAP()
};
