#include "app/bars/QuickDialogBarWnd.h"

#include "app/AppStrings.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CQuickDialogBarWnd, CResizeableDlgBar)
    ON_MESSAGE(WM_INITDIALOG, OnInitDialog)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CQuickDialogBarWnd::CQuickDialogBarWnd() = default;

CQuickDialogBarWnd::~CQuickDialogBarWnd() {
    // The statics are members: the window goes before they do.
    if (m_hWnd)
        DestroyWindow();
    if (m_bHooked)
        SetQuickBarHook(nullptr);
}

void CQuickDialogBarWnd::DoDataExchange(CDataExchange* pDX) {
    CResizeableDlgBar::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_QUICK_CURSOR, m_wndCursor);
    DDX_Control(pDX, IDC_QUICK_EDITOR, m_wndEditor);
    DDX_Control(pDX, IDC_QUICK_WATERMARK, m_wndWatermark);
    DDX_Control(pDX, IDC_QUICK_KEEP_REGION, m_wndKeepRegion);
    DDX_Control(pDX, IDC_QUICK_HOMEPAGE, m_wndHomePage);
    DDX_Control(pDX, IDC_QUICK_VERSION, m_wndVersion);
    DDX_Control(pDX, IDC_QUICK_TRAY, m_wndTray);
    DDX_Control(pDX, IDC_QUICK_LABEL, m_wndLabel);
}

LRESULT CQuickDialogBarWnd::OnInitDialog(WPARAM, LPARAM) {
    const LRESULT result = Default();
    UpdateData(FALSE);

    struct Switch {
        CDrawStaticCheckWnd& wnd;
        int role;
        UINT textId, offIcon, onIcon;
    };
    const Switch switches[] = {
        {m_wndCursor, CDrawStaticCheckWnd::kMouseCursor, IDC_QUICK_CURSOR, IDI_QUICK_CURSOR_OFF, IDI_QUICK_CURSOR_ON},
        {m_wndEditor, CDrawStaticCheckWnd::kEditAfterCapture, IDC_QUICK_EDITOR, IDI_QUICK_EDITOR_OFF,
         IDI_QUICK_EDITOR_ON},
        {m_wndWatermark, CDrawStaticCheckWnd::kWatermark, IDC_QUICK_WATERMARK, IDI_QUICK_WATERMARK_OFF,
         IDI_QUICK_WATERMARK_ON},
        {m_wndKeepRegion, CDrawStaticCheckWnd::kKeepEffect, IDC_QUICK_KEEP_REGION, IDI_QUICK_KEEP_REGION_OFF,
         IDI_QUICK_KEEP_REGION_ON},
        {m_wndHomePage, CDrawStaticCheckWnd::kHomePage, IDC_QUICK_HOMEPAGE, IDI_QUICK_HOMEPAGE_OFF,
         IDI_QUICK_HOMEPAGE_ON},
        {m_wndVersion, CDrawStaticCheckWnd::kVersionCheck, IDC_QUICK_VERSION, IDI_QUICK_VERSION_OFF,
         IDI_QUICK_VERSION_ON},
        {m_wndTray, CDrawStaticCheckWnd::kToTray, IDC_QUICK_TRAY, IDI_QUICK_TRAY_OFF, IDI_QUICK_TRAY_ON},
    };
    for (const Switch& s : switches) {
        if (!s.wnd.m_hWnd)
            continue;
        s.wnd.SetTargets(&m_targets);
        s.wnd.Init(s.role, LoadResString(s.textId), s.offIcon, s.onIcon, s.role == CDrawStaticCheckWnd::kHomePage);
    }

    // The option switches start from the objects and write their values back.
    if (m_targets.misc) {
        m_wndCursor.ApplyRole(m_targets.misc->MouseCursor != 0);
        m_wndKeepRegion.ApplyRole(m_targets.misc->KeepEffect != 0);
    }
    if (m_targets.file)
        m_wndEditor.ApplyRole(m_targets.file->EditedChecked != 0);
    if (m_targets.watermark)
        m_wndWatermark.ApplyRole(m_targets.watermark->WaterMark != 0);

    if (m_wndLabel.m_hWnd) {
        m_wndLabel.m_nMode = CDrawStaticWnd::kHeader;
        m_wndLabel.SetWindowText(LoadResString(IDC_QUICK_LABEL));
    }

    SetQuickBarHook(this);
    m_bHooked = true;
    return result;
}

void CQuickDialogBarWnd::OnDestroy() {
    if (m_bHooked) {
        SetQuickBarHook(nullptr);
        m_bHooked = false;
    }
    CResizeableDlgBar::OnDestroy();
}

void CQuickDialogBarWnd::SetSwitch(QuickSwitch which, int value) {
    switch (which) {
    case QuickSwitch::MouseCursor: m_wndCursor.ApplyRole(value != 0); break;
    case QuickSwitch::EditedChecked: m_wndEditor.ApplyRole(value != 0); break;
    case QuickSwitch::WaterMark: m_wndWatermark.ApplyRole(value != 0); break;
    }
}
