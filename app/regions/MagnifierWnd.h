// CMagnifierWnd: a small window that follows the pointer 20 pixels off, on the
// side away from the region being chosen, showing the screen around the pointer
// four times enlarged. Created and ended by its region window.
#pragma once

#include "Afx.h"
#include "app/regions/ColorViewStatic.h"
#include "app/regions/RegionOwner.h"

class CMagnifierWnd : public CDialog {
public:
    explicit CMagnifierWnd(IRegionOwner* pOwner);

    BOOL Create(CWnd* pParentWnd);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Set by the opener before creation: the dynamic capture's region is read
    // as it stands, the static capture's normalised.
    bool m_bLiveScreen = false;

protected:
    // Moves beside the pointer, off the region and on the pointer's monitor.
    void FollowPointer();

    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnNcHitTest(CPoint point);

    CColorViewStatic m_view;
    IRegionOwner* m_pOwner;

    DECLARE_MESSAGE_MAP()
};
