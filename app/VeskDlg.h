// The main dialog: toolbar in a rebar, the work area above a splitter, the
// pane tabs below it, the tray icon, accelerators and command dispatch.
#pragma once

#include "widgets/ResizableDialog.h"
#include "widgets/SplitterControl.h"

#include <mutex>

class CVeskDlg : public CResizableDialog {
public:
    enum { IDD = 103 };
    CVeskDlg();
    ~CVeskDlg() override;

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void AddTrayIcon();
    // Called by capture workers from their own threads.
    void ShowCaptureBalloon(LPCWSTR lpszPath);

    int m_nSaveTarget = 0;  // 0 saved files, 1 saved-DC list

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnSetSaveTarget(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGoTray(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);
    afx_msg void OnToolbarDropDown(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSplitterMoved(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSaveButton();
    afx_msg void OnExit();
    afx_msg void OnTrayExit();
    afx_msg void OnTrayRestore();
    afx_msg void OnTrayCommand(UINT nID);

    DECLARE_MESSAGE_MAP()

private:
    // OnInitDialog's steps, in order.
    void AddAboutToSystemMenu();
    void CreateReBar();
    void CreateToolBar();
    void AddToolBarButtons();
    void InsertToolBarBand();
    void CreateToolTips();
    CRect PlaceWorkArea();
    void CreateSplitter(const CRect& workArea);
    void PlacePaneTabs(const CRect& workArea);
    void AnchorChildren();

    void RemoveTrayIcon();
    // Bottom of the work area: the frame's when it exists, else just above the splitter.
    int WorkAreaBottom() const;

    HICON m_hIcon = nullptr;
    CReBarCtrl m_wndReBar;
    CToolBar m_wndToolBar;
    CImageList m_toolBarImages;
    CSplitterControl m_wndSplitter;
    CToolTipCtrl* m_pToolTip = nullptr;
    HACCEL m_hAccel = nullptr;
    int m_nSplitterPercent = 0;
    CTabCtrl m_wndPaneTabs;
    CFont* m_pDialogFont = nullptr;
    HWND m_hBalloonWnd = nullptr;

    // The tray record is shared with capture workers (ShowCaptureBalloon).
    std::mutex m_trayLock;
    NOTIFYICONDATAW m_trayIcon = {};
    bool m_bInTray = false;  // hidden into the tray: nothing but a restore shows the dialog
};
