// CQuickDialogBarWnd: the dockable quick options bar. Its switches show the
// main options as they were when the bar was made and write every change to
// the option objects and the settings file at once; the option pages hand
// their own changes in through the quick-bar hook.
#pragma once

#include "app/bars/DrawStaticCheckWnd.h"
#include "app/continuous/DrawStaticWnd.h"
#include "app/settings/QuickBarHook.h"
#include "widgets/ResizeableDlgBar.h"

class CQuickDialogBarWnd : public CResizeableDlgBar, public IQuickBarHook {
public:
    enum { IDD = 224 };

    CQuickDialogBarWnd();
    ~CQuickDialogBarWnd() override;

    // Where the switches write; set before the bar is created.
    void SetTargets(const QuickOptionTargets& targets) { m_targets = targets; }

    // IQuickBarHook: shows an option page's value, which also writes its key.
    void SetSwitch(QuickSwitch which, int value) override;
    // The main window is back from the notification area: the tray switch shows off.
    void ClearTrayCheck() { m_wndTray.SetLook(FALSE); }

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg LRESULT OnInitDialog(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    QuickOptionTargets m_targets;
    CDrawStaticCheckWnd m_wndCursor;
    CDrawStaticCheckWnd m_wndEditor;
    CDrawStaticCheckWnd m_wndWatermark;
    CDrawStaticCheckWnd m_wndKeepRegion;
    CDrawStaticCheckWnd m_wndHomePage;
    CDrawStaticCheckWnd m_wndVersion;
    CDrawStaticCheckWnd m_wndTray;
    CDrawStaticWnd m_wndLabel;  // a section header
    bool m_bHooked = false;
};
