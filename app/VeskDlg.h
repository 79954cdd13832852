// The main dialog: toolbar in a rebar, the work area above a splitter, the
// pane tabs below it, the tray icon, accelerators and command dispatch.
#pragma once

#include "app/capture/CaptureEngine.h"
#include "app/continuous/NavigatorWnd.h"
#include "app/panes/DcTabWnd.h"
#include "app/panes/FileTabCtrl.h"
#include "app/panes/FileTabWnd.h"
#include "app/regions/RegionCaptureHost.h"
#include "widgets/ResizableDialog.h"
#include "widgets/SplitterControl.h"

#include <memory>
#include <mutex>

class CColorDialogBarWnd;
class CDynamicRegionWnd;
class CMainFrmWnd;
class CQuickDialogBarWnd;
class CStaticRegionWnd;
class CWebImageWnd;

class CVeskDlg : public CResizableDialog, public IRegionCaptureHost {
public:
    enum { IDD = 103 };
    CVeskDlg();
    ~CVeskDlg() override;

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void AddTrayIcon();
    // Capture windows hand over `hSource` and the bitmap selected in it.
    void StartCapture(HDC hSource, RECT rect, BOOL bNoList, bool bSeries, int nSeriesCount,
                      HBITMAP hSourceBitmap = nullptr, const POINT* pCursorAt = nullptr);
    CCaptureEngine* GetCaptureEngine() const { return m_pCaptureEngine.get(); }
    // Rebuilds the watermark laid on captures from the watermark options.
    void BuildWatermarkBitmap();
    // Called by capture workers from their own threads.
    void ShowCaptureBalloon(LPCWSTR lpszPath);

    int m_nSaveTarget = 0;  // 0 saved files, 1 saved-DC list

    // The region capture windows read the options and hand their copies here.
    RegionCaptureOptions GetRegionCaptureOptions() const override;
    void StartRegionCapture(HDC hSource, const RECT& rect, HBITMAP hBitmap, POINT releasedAt) override;
    void OnRegionWindowGone(CWnd* pWnd) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnSetSaveTarget(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGoTray(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);
    afx_msg void OnToolbarDropDown(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSplitterMoved(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnSaveButton();
    afx_msg LRESULT OnCaptureDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnFullScreenCapture();
    afx_msg void OnCursorCapture();
    afx_msg void OnRegionCapture(UINT nID);
    afx_msg void OnControlCapture();
    afx_msg void OnNavigator();
    afx_msg void OnWatermarkTool();
    afx_msg void OnToggleColorBar();
    afx_msg void OnToggleQuickBar();
    afx_msg void OnSaveItem();
    afx_msg void OnSaveItemAs();
    afx_msg void OnDeleteItem();
    afx_msg void OnWebPage();
    afx_msg void OnWebImage();
    afx_msg void OnGifMaker();
    afx_msg void OnClose();
    afx_msg LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
    // The menu's and the tray's exit, the close box: each asks first.
    afx_msg void OnExit();
    afx_msg void OnTrayRestore();
    afx_msg void OnTrayCommand(UINT nID);
    // The options sheet: all pages, or the file, watermark or miscellaneous page alone.
    afx_msg void OnOptionsAll();
    afx_msg void OnOptionsFile();
    afx_msg void OnOptionsWatermark();
    afx_msg void OnOptionsMisc();

    DECLARE_MESSAGE_MAP()

private:
    // OnInitDialog's steps, in order.
    void AddAboutToSystemMenu();
    void CreateReBar();
    void CreateToolBar();
    void AddToolBarButtons();
    void InsertToolBarBand();
    void CreateToolTips();
    CRect CreateWorkArea();
    void CreateFrameBars();
    void DestroyFrameBars();
    void CreateSplitter(const CRect& workArea);
    void CreatePaneTabs(const CRect& workArea);
    void CreateWebImageWnd();
    void AnchorChildren();
    void StartCaptureEngine();
    // Runs the options sheet once; single-page mode shows only `page`.
    INT_PTR RunOptionsSheet(bool singlePage, int page);
    // While a modal window of ours is open over this dialog, it (or the
    // question open over it) comes to the front, and the command that asked
    // does nothing else. False when none is open.
    bool BringModalToFront();
    // That window, or null when none is open.
    HWND FrontModalWindow() const;
    // The exit met the modal window this dialog runs: asks it to close, and
    // exits once its loop has ended. A window that refuses stays, and so does the program.
    void CloseModalThenExit();

    void RemoveTrayIcon();
    // Every child paints again, wherever the layout has put it meanwhile.
    void RepaintAll();
    // A key typed into this dialog or one of its children while it is the active window.
    bool IsKeyForThisDialog(HWND hWnd) const;
    // Bottom of the work area: the frame's when it has a window, else just above the splitter.
    int WorkAreaBottom() const;

    HICON m_hIcon = nullptr;
    CReBarCtrl m_wndReBar;
    CToolBar m_wndToolBar;
    CImageList m_toolBarImages;
    CSplitterControl m_wndSplitter;
    CToolTipCtrl* m_pToolTip = nullptr;
    HACCEL m_hAccel = nullptr;
    int m_nSplitterPercent = 0;
    // The main dialog is the one owner of the work-area frame and the web image window.
    std::unique_ptr<CMainFrmWnd> m_pWorkArea;
    CFileTabCtrl m_wndPaneTabs;
    CDcTabWnd m_wndDcTab;
    CFileTabWnd m_wndFileTab;
    std::unique_ptr<CWebImageWnd> m_pWebImageWnd;
    // The frame's colour bar (docked right) and quick options bar (docked left);
    // made in the frame, owned here, destroyed before the frame.
    std::unique_ptr<CColorDialogBarWnd> m_pColorBar;
    std::unique_ptr<CQuickDialogBarWnd> m_pQuickBar;
    HWND m_hBalloonWnd = nullptr;
    // Results go to the panes through the sink; both end before the panes do.
    std::unique_ptr<ICaptureSink> m_pCaptureSink;
    std::unique_ptr<CCaptureEngine> m_pCaptureEngine;
    // Run modally by its command; its window exists only meanwhile.
    CNavigatorWnd m_navigator{this};
    bool m_bNavigatorOpen = false;
    // The modal window this dialog runs now (sheet, tool, navigator, about box), if any.
    CWnd* m_pModalWnd = nullptr;

    // The tray record is shared with capture workers (ShowCaptureBalloon).
    std::mutex m_trayLock;
    NOTIFYICONDATAW m_trayIcon = {};
    bool m_bInTray = false;  // hidden into the tray: nothing but a restore shows the dialog
    bool m_bMinimized = false;

    // One region capture at a time: ends the one open; false when it cannot end yet.
    bool EndRegionSession();
    // A new region window over the live (`frozen` false) or a frozen screen,
    // chosen by mouse drag or by tracker.
    void OpenRegionCapture(bool frozen, bool tracker);

    // Captures that exist only in memory: entries of the saved-DC pane and
    // the continuous panel's frames of a bitmap series.
    struct UnsavedCaptures {
        int savedDc = 0;
        int panelFrames = 0;
        bool Any() const { return savedDc > 0 || panelFrames > 0; }
    };
    UnsavedCaptures CountUnsavedCaptures() const;
    // True when the program may end: nothing unsaved, or the user said so.
    bool ConfirmLeaving();
    bool m_bAskingToLeave = false;
    bool m_bShutdownBlocked = false;

    // The region capture window open, if any; it clears its pointer when it goes.
    CDynamicRegionWnd* m_pDynamicRegionWnd = nullptr;
    CStaticRegionWnd* m_pStaticRegionWnd = nullptr;
};
