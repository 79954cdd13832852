#include "workarea/ImpIDispatch.h"

#include <iterator>

HRESULT STDMETHODCALLTYPE CImpIDispatch::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CImpIDispatch::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CImpIDispatch::Release() {
    // The owner deletes this object; a count at zero stays at zero.
    LONG refs = m_refs;
    while (refs > 0) {
        const LONG seen = ::InterlockedCompareExchange(&m_refs, refs - 1, refs);
        if (seen == refs)
            return static_cast<ULONG>(refs - 1);
        refs = seen;
    }
    return 0;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo)
        *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

namespace {

// Script names in the order of their DISPIDs, from 1.
const wchar_t* const kMethodNames[] = {
    L"CB_IsOurCustomBrowser", L"CB_Close",           L"CB_Function",           L"CB_CustomFunctionWithParams",
    L"CB_OpenWindow",         L"CB_ShowModalDialog", L"CB_ShowModelessDialog", L"IB_Function",
};

}  // namespace

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                                       DISPID* rgDispId) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (cNames && (!rgszNames || !rgDispId))
        return E_POINTER;
    // Only method names are asked for: the argument names that may follow are unknown.
    HRESULT hr = S_OK;
    for (UINT i = 0; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        for (DISPID id = 0; i == 0 && rgszNames[i] && id < static_cast<DISPID>(std::size(kMethodNames)); ++id) {
            if (::lstrcmpiW(rgszNames[i], kMethodNames[id]) == 0)
                rgDispId[i] = id + 1;
        }
        if (rgDispId[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS*,
                                                VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (dispIdMember < DISPID_CB_IsOurCustomBrowser || dispIdMember > DISPID_IB_Function)
        return DISP_E_MEMBERNOTFOUND;
    if (!(wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (pVarResult)
        ::VariantInit(pVarResult);
    switch (dispIdMember) {
    case DISPID_CB_IsOurCustomBrowser:
        if (pVarResult) {
            pVarResult->vt = VT_BOOL;
            pVarResult->boolVal = VARIANT_TRUE;
        }
        break;
    case DISPID_CB_Close:
        if (m_onClose)
            m_onClose();
        break;
    default:
        break;  // accepted; they have nothing to do in this program
    }
    return S_OK;
}
