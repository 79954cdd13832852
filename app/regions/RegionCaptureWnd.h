// CRegionCaptureWnd: what the static and the dynamic region windows share over
// their different dialog bases: the region, the tracker and its close box, the
// information window and the magnifier, the end of a selection, and a
// self-deleting life that must survive the tracker's own message loop.
#pragma once

#include "Afx.h"
#include "app/regions/NcTracker.h"
#include "app/regions/RegionCaptureHost.h"
#include "app/regions/RegionOwner.h"
#include "app/regions/RegionSelection.h"
#include "widgets/SkinDialog.h"

#include <memory>

class CMagnifierWnd;
class CRegionViewWnd;

template <class TBase>
class CRegionCaptureWnd : public TBase, public IRegionOwner {
public:
    // Ends the window and its auxiliary windows.
    void EndCapture();

    HWND GetRegionWindow() const override { return this->m_hWnd; }
    bool IsTrackerMode() const override { return m_bTrackerMode; }
    // While the tracker's loop runs, its rectangle as it is now.
    RECT GetRegion() const override { return m_bInTrack && m_pTracker ? RegionOfTracker() : m_region; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    CRegionCaptureWnd(UINT nIDTemplate, IRegionCaptureHost* pHost, bool bTrackerMode);
    ~CRegionCaptureWnd() override;

    // Creates pWnd from its template and shows it; from then on it deletes
    // itself. False, with pWnd deleted, when it could not be made.
    static bool CreateSelfDeleting(CRegionCaptureWnd* pWnd, UINT nIDTemplate);

    void OnOK() override {}
    void OnCancel() override { EndAfterRelease(); }
    void PostNcDestroy() override;

    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnRButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg void OnDestroy();

    // Frees the auxiliary windows, the threads and the tracker; every destroy path runs it.
    virtual void TearDown() = 0;
    // The selection when the button comes up: from the tracker, or at the end of a drag.
    virtual GeoRect TrackerSelection() const = 0;
    // The region the tracker's rectangle stands for (the tracker exists).
    virtual RECT RegionOfTracker() const = 0;
    virtual GeoRect EndDrag(CPoint point, const RegionCaptureOptions& options) = 0;
    // Hands a non-empty selection (screen coordinates) to the capture engine,
    // with where the button came up.
    virtual void CaptureSelection(const RECT& selection, POINT release, const RegionCaptureOptions& options) = 0;
    // Leaves on the screen only the window that had the press, reduced to a
    // pixel under the pointer, and gives it the mouse capture, so that it keeps
    // the mouse until the releases. Without the capture the releases would go
    // to whatever lies under the pointer once our windows have gone: a press
    // outside the tracker, or a right press, does not take it.
    virtual void KeepOnlyMouseHold() = 0;

    // Ends the window, but while a button is down everything goes except what
    // keeps the mouse: the releases then reach no other program, and the last
    // of them ends the window. A button counts as down until its release is
    // handled, whatever the mouse has done since.
    void EndAfterRelease();
    // Gives the activation back to the window that had it when the session
    // opened, while one of ours has it: hiding or destroying the active window
    // would hand it to whatever lies beneath, another program as a rule.
    void GiveFocusBackHome();
    // True while the window waits for those releases; ends it once no button
    // is down (also when a release went astray).
    bool WaitsForRelease();

    RegionCaptureOptions GetOptions() const;
    // Sizes the window to the screen; gives where the pointer was, where the tracker opens.
    CPoint CoverScreen();
    void OpenInfoWindows(const RegionCaptureOptions& options, bool bLiveScreen);
    // Puts the info window and magnifier back over this window: without a
    // window manager, showing a full-screen owner stacks it over the owned
    // windows it opened while being created.
    void RaiseInfoWindows();
    void DestroyInfoWindows();
    // The tracker at the pointer, moved onto the screen where the pointer is
    // near an edge, with its close box drawn.
    void OpenTracker(CPoint cursor);
    void FreeTracker();
    void PlaceCloseBox();
    // Runs the tracker's own loop from point. False when the window ended or
    // was deleted meanwhile: the caller then returns without touching it.
    bool TrackFrom(CPoint point);
    bool IsTracking() const { return m_bInTrack; }

    IRegionCaptureHost* m_pHost;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    RECT m_region = {};
    bool m_bTrackerMode;
    std::unique_ptr<CNcTracker> m_pTracker;
    CImageList m_buttons;
    RECT m_closeBox = {};
    std::unique_ptr<CRegionViewWnd> m_pViewWnd;
    std::unique_ptr<CMagnifierWnd> m_pMagnifierWnd;

private:
    HWND m_hWndHome = nullptr;
    bool m_bSelfDeleting = false;
    bool m_bEnding = false;
    // Track runs its own loop: what arrives meanwhile must not free the tracker or this object.
    bool m_bInTrack = false;
    bool m_bEndAfterTrack = false;
    bool m_bDeleteAfterTrack = false;
    bool m_bEndOnRelease = false;
};

extern template class CRegionCaptureWnd<CDialog>;
extern template class CRegionCaptureWnd<CSkinDialog>;
