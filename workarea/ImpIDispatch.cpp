#include "workarea/ImpIDispatch.h"

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

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetIDsOfNames(REFIID riid, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (cNames && !rgDispId)
        return E_POINTER;
    // The script methods come with the web tools; until then no name is known.
    for (UINT i = 0; i < cNames; ++i)
        rgDispId[i] = DISPID_UNKNOWN;
    return cNames ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::Invoke(DISPID, REFIID riid, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                EXCEPINFO*, UINT*) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return DISP_E_MEMBERNOTFOUND;
}
