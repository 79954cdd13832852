#include "workarea/web/WebBrowserSite.h"

#include <mshtml.h>

#include <algorithm>

namespace {

// Releases the interface it holds; nothing more.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (m_p)
            m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

template <class T>
bool QueryFrom(IUnknown* from, REFIID iid, ComRef<T>& to) {
    return from && SUCCEEDED(from->QueryInterface(iid, to.OutVoid())) && to;
}

bool HtmlDocumentOf(IWebBrowser2* browser, ComRef<IHTMLDocument2>& document) {
    if (!browser)
        return false;
    ComRef<IDispatch> dispatch;
    if (FAILED(browser->get_Document(dispatch.Out())) || !dispatch)
        return false;
    return QueryFrom(dispatch.Get(), IID_IHTMLDocument2, document);
}

// The larger of scrollWidth/scrollHeight and clientWidth/clientHeight of an element.
void GrowToElement(IHTMLElement* element, LONG& width, LONG& height) {
    ComRef<IHTMLElement2> element2;
    if (!QueryFrom(element, IID_IHTMLElement2, element2))
        return;
    LONG value = 0;
    if (SUCCEEDED(element2->get_scrollWidth(&value)))
        width = std::max(width, value);
    if (SUCCEEDED(element2->get_scrollHeight(&value)))
        height = std::max(height, value);
}

}  // namespace

CWebBrowserSite::CWebBrowserSite(HWND hParent, IDispatch* pExternal) : m_hParent(hParent), m_pExternal(pExternal) {
    if (m_pExternal)
        m_pExternal->AddRef();
}

CWebBrowserSite::~CWebBrowserSite() {
    Close();
    if (m_pExternal)
        m_pExternal->Release();
}

HRESULT CWebBrowserSite::CreateControl(const RECT& rect) {
    if (m_pObject)
        return E_UNEXPECTED;
    m_rect = rect;
    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(&m_pObject));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = m_pObject->SetClientSite(static_cast<IOleClientSite*>(this))) ||
        FAILED(hr = m_pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                      m_hParent, &m_rect)) ||
        FAILED(hr = m_pObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_pBrowser)))) {
        Close();
        return hr;
    }
    m_pObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_pInPlace));
    SetRect(rect);
    return S_OK;
}

void CWebBrowserSite::Close() {
    if (m_pBrowser) {
        m_pBrowser->Stop();
        m_pBrowser->Release();
        m_pBrowser = nullptr;
    }
    if (m_pInPlace) {
        m_pInPlace->InPlaceDeactivate();
        m_pInPlace->Release();
        m_pInPlace = nullptr;
    }
    if (m_pObject) {
        IOleObject* object = m_pObject;
        m_pObject = nullptr;
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        object->Release();
    }
}

HRESULT CWebBrowserSite::Navigate(LPCWSTR lpszUrl) {
    if (!m_pBrowser)
        return E_UNEXPECTED;
    BSTR url = ::SysAllocString(lpszUrl ? lpszUrl : L"");
    if (!url)
        return E_OUTOFMEMORY;
    VARIANT empty;
    ::VariantInit(&empty);
    const HRESULT hr = m_pBrowser->Navigate(url, &empty, &empty, &empty, &empty);
    ::SysFreeString(url);
    return hr;
}

void CWebBrowserSite::SetRect(const RECT& rect) {
    m_rect = rect;
    if (m_pInPlace)
        m_pInPlace->SetObjectRects(&m_rect, &m_rect);
}

HWND CWebBrowserSite::GetControlWindow() const {
    HWND hWnd = nullptr;
    if (m_pInPlace)
        m_pInPlace->GetWindow(&hWnd);
    return hWnd;
}

READYSTATE CWebBrowserSite::GetReadyState() const {
    READYSTATE state = READYSTATE_UNINITIALIZED;
    if (!m_pBrowser || FAILED(m_pBrowser->get_ReadyState(&state)))
        return READYSTATE_UNINITIALIZED;
    return state;
}

bool CWebBrowserSite::HasDocument() const {
    ComRef<IHTMLDocument2> document;
    return HtmlDocumentOf(m_pBrowser, document);
}

// IUnknown

HRESULT STDMETHODCALLTYPE CWebBrowserSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler))
        *ppv = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(riid, __uuidof(IDocHostShowUI)))
        *ppv = static_cast<IDocHostShowUI*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CWebBrowserSite::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CWebBrowserSite::Release() {
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

// IOleClientSite

HRESULT STDMETHODCALLTYPE CWebBrowserSite::SaveObject() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ShowObject() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnShowWindow(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// IOleWindow

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetWindow(HWND* phwnd) {
    if (!phwnd)
        return E_POINTER;
    *phwnd = m_hParent;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

// IOleInPlaceSite

HRESULT STDMETHODCALLTYPE CWebBrowserSite::CanInPlaceActivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnInPlaceActivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnUIActivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                                            LPRECT lprcPosRect, LPRECT lprcClipRect,
                                                            LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo)
        return E_POINTER;
    // One window is frame and document window alike.
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *ppDoc = nullptr;
    *lprcPosRect = m_rect;
    *lprcClipRect = m_rect;
    lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = m_hParent;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::Scroll(SIZE) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnUIDeactivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnInPlaceDeactivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::DiscardUndoState() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::DeactivateAndUndo() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnPosRectChange(LPCRECT lprcPosRect) {
    if (!lprcPosRect)
        return E_POINTER;
    SetRect(*lprcPosRect);
    return S_OK;
}

// IOleInPlaceUIWindow

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::SetBorderSpace(LPCBORDERWIDTHS) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
    return S_OK;
}

// IOleInPlaceFrame

HRESULT STDMETHODCALLTYPE CWebBrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::EnableModeless(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

// IDocHostUIHandler: the browser's own behaviour, with our window.external.

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (!pInfo)
        return E_POINTER;
    pInfo->cbSize = sizeof(DOCHOSTUIINFO);
    pInfo->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                                  IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::HideUI() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::UpdateUI() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
    if (pchKey)
        *pchKey = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
    if (ppDropTarget)
        *ppDropTarget = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::GetExternal(IDispatch** ppDispatch) {
    if (!ppDispatch)
        return E_POINTER;
    *ppDispatch = m_pExternal;
    if (!m_pExternal)
        return S_FALSE;
    m_pExternal->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut) {
    if (ppchURLOut)
        *ppchURLOut = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::FilterDataObject(IDataObject*, IDataObject** ppDORet) {
    if (ppDORet)
        *ppDORet = nullptr;
    return S_FALSE;
}

// IDocHostShowUI: the browser shows its own messages and help.

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CWebBrowserSite::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return S_FALSE;
}

// CBrowserPageDocument

bool CBrowserPageDocument::GetPageSize(SIZE& size) {
    ComRef<IHTMLDocument2> document;
    if (!HtmlDocumentOf(m_site.GetBrowser(), document))
        return false;
    LONG width = 0, height = 0;
    ComRef<IHTMLElement> body;
    if (SUCCEEDED(document->get_body(body.Out())) && body)
        GrowToElement(body.Get(), width, height);
    // Pages in standards mode scroll the root element, not the body.
    ComRef<IHTMLDocument3> document3;
    ComRef<IHTMLElement> root;
    if (QueryFrom(document.Get(), IID_IHTMLDocument3, document3) &&
        SUCCEEDED(document3->get_documentElement(root.Out())) && root)
        GrowToElement(root.Get(), width, height);
    size.cx = width;
    size.cy = height;
    return true;
}

bool CBrowserPageDocument::DrawPage(HDC dc, const SIZE& size) {
    ComRef<IHTMLDocument2> document;
    ComRef<IViewObject> view;
    if (!HtmlDocumentOf(m_site.GetBrowser(), document) || !QueryFrom(document.Get(), IID_IViewObject, view))
        return false;
    // The document draws only what its window shows: show all of it while drawing.
    const RECT shown = m_site.GetRect();
    m_site.SetRect(RECT{shown.left, shown.top, shown.left + size.cx, shown.top + size.cy});
    RECTL bounds = {0, 0, size.cx, size.cy};
    const HRESULT hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    m_site.SetRect(shown);
    return SUCCEEDED(hr);
}
