// The browser's window.external object. Its owner (the application) creates
// and deletes it; reference counting never frees it.
//
// Pages call eight methods. CB_IsOurCustomBrowser answers true, CB_Close
// closes the web page tab (through the handler the tab installs); the others
// are accepted and do nothing.
#pragma once

#include "AfxDefs.h"

#include <oaidl.h>

#include <functional>

class CImpIDispatch : public IDispatch {
public:
    CImpIDispatch() = default;
    virtual ~CImpIDispatch() = default;
    CImpIDispatch(const CImpIDispatch&) = delete;
    CImpIDispatch& operator=(const CImpIDispatch&) = delete;

    enum : DISPID {
        DISPID_CB_IsOurCustomBrowser = 1,
        DISPID_CB_Close,
        DISPID_CB_Function,
        DISPID_CB_CustomFunctionWithParams,
        DISPID_CB_OpenWindow,
        DISPID_CB_ShowModalDialog,
        DISPID_CB_ShowModelessDialog,
        DISPID_IB_Function,
    };

    ULONG GetRefCount() const { return static_cast<ULONG>(m_refs); }
    // Called on CB_Close; the web page tab sets it while it exists.
    void SetCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) override;

private:
    volatile LONG m_refs = 0;
    std::function<void()> m_onClose;
};
