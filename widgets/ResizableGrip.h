// CResizableGrip: the size grip in the bottom-right corner of a resizable window.
//
// A mix-in like CResizableLayout. The grip shows while its show count is above
// zero; each host keeps a status word whose bits are the reasons that
// currently allow it (AllowGripReason / DenyGripReason).
#pragma once

#include "Afx.h"

class CResizableGrip {
public:
    class CSizeGrip : public CScrollBar {
    public:
        // A triangular grip only takes the mouse over its triangle.
        void SetTriangleRegion(BOOL bEnable = TRUE);
        BOOL IsTriangular() const { return m_bTriangular; }
        const SIZE& GetGripSize() const { return m_size; }

    protected:
        BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        void ReadMetrics();
        void OnSettingChange();
        UINT SizingEdge() const;

        SIZE m_size = {};
        BOOL m_bTriangular = FALSE;
    };

    CResizableGrip() = default;
    CResizableGrip(const CResizableGrip&) = delete;
    CResizableGrip& operator=(const CResizableGrip&) = delete;
    virtual ~CResizableGrip() = default;

protected:
    virtual CWnd* GetResizableWnd() = 0;

    BOOL CreateGrip(BOOL bVisible = TRUE, BOOL bTriangular = TRUE);
    // Puts the grip into the host's bottom-right corner, shown or hidden.
    void PlaceGrip();
    void AllowGripReason(DWORD& dwStatus, DWORD dwReason);
    void DenyGripReason(DWORD& dwStatus, DWORD dwReason);
    void SetGripShown(BOOL bShown) { m_nShowCount = bShown ? 1 : 0; }
    BOOL IsGripShown() const { return m_nShowCount > 0; }

    CSizeGrip m_wndGrip;
    int m_nShowCount = 0;
};
