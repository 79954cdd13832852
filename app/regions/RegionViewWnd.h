// CRegionViewWnd: the region captures' information window. A skinned,
// semi-transparent window with a 1:1 view around the pointer, the pointer
// position, the colour under it and the size of the region being chosen; it
// hops between the screen corners to stay out of the pointer's way and can be
// dragged anywhere by the user. A press made over it before it has hopped
// away reaches the capture underneath. Created and ended by its region
// window, which deletes the object.
#pragma once

#include "Afx.h"
#include "app/regions/ColorViewStatic.h"
#include "app/regions/FramedSkinDialog.h"
#include "app/regions/RegionOwner.h"

class CRegionViewWnd : public CFramedSkinDialog {
public:
    explicit CRegionViewWnd(IRegionOwner* pOwner);
    ~CRegionViewWnd() override;

    BOOL Create(CWnd* pParentWnd);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Set by the opener before creation: true for the dynamic capture.
    bool m_bLiveScreen = false;

protected:
    void PostNcDestroy() override;

    afx_msg void OnPaint();
    afx_msg LRESULT OnNcHitTest(CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnRegionRefresh(WPARAM, LPARAM);
    afx_msg LRESULT OnEnterSizeMove(WPARAM, LPARAM);
    afx_msg LRESULT OnExitSizeMove(WPARAM, LPARAM);

    void SetUpFrame() override;
    void PaintFrame() override;
    void FreeFrame();

    CColorViewStatic m_view;
    IRegionOwner* m_pOwner;
    CFont m_boldFont;
    CFont m_normalFont;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    // While the user drags the window it does not hop away from under the pointer.
    bool m_bUserMoving = false;

    DECLARE_MESSAGE_MAP()
};
