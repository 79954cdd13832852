#include "workarea/CustomOccManager.h"

#include "workarea/ImpIDispatch.h"
#include "workarea/web/WebBrowserSite.h"

CWebBrowserSite* CCustomOccManager::CreateBrowserSite(HWND hParent, const RECT& rect, HRESULT* pResult) {
    auto* site = new CWebBrowserSite(hParent, m_pExternal);
    const HRESULT hr = site->CreateControl(rect);
    if (pResult)
        *pResult = hr;
    if (FAILED(hr)) {
        site->Release();
        return nullptr;
    }
    return site;
}

CCustomOccManager* CCustomOccManager::Get() {
    return dynamic_cast<CCustomOccManager*>(AfxGetOccManager());
}
