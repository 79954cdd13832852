// The control-site manager of the embedded browser. The application keeps
// it for the whole run (AfxEnableControlContainer) and gives it the
// window.external object that every browser site hands to its pages.
#pragma once

#include "Afx.h"

class CImpIDispatch;
class CWebBrowserSite;

class CCustomOccManager : public COccManager {
public:
    CCustomOccManager() = default;
    ~CCustomOccManager() override = default;

    void SetExternal(CImpIDispatch* pExternal) { m_pExternal = pExternal; }
    CImpIDispatch* GetExternal() const { return m_pExternal; }

    // A site in hParent holding a new, in-place active Web Browser control
    // over rect; the caller owns the one reference. Null with *pResult set
    // when the control cannot be created.
    CWebBrowserSite* CreateBrowserSite(HWND hParent, const RECT& rect, HRESULT* pResult = nullptr);

    // The manager the application enabled, when it is ours.
    static CCustomOccManager* Get();

private:
    CImpIDispatch* m_pExternal = nullptr;
};
