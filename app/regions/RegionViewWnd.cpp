#include "app/regions/RegionViewWnd.h"

#include "app/AppMessages.h"
#include "app/regions/RegionGeometry.h"
#include "resources/resource.h"

#include <string>

namespace {

constexpr COLORREF kBackground = 0x3C2B1A;
constexpr COLORREF kKeyColor = 0xE3EEEF;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

BEGIN_MESSAGE_MAP(CRegionViewWnd, CFramedSkinDialog)
    ON_WM_PAINT()
    ON_WM_NCHITTEST()
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_REGION_REFRESH, OnRegionRefresh)
    ON_MESSAGE(WM_ENTERSIZEMOVE, OnEnterSizeMove)
    ON_MESSAGE(WM_EXITSIZEMOVE, OnExitSizeMove)
END_MESSAGE_MAP()

CRegionViewWnd::CRegionViewWnd(IRegionOwner* pOwner) : CFramedSkinDialog(IDD_REGION_VIEW), m_pOwner(pOwner) {}

CRegionViewWnd::~CRegionViewWnd() { FreeFrame(); }

BOOL CRegionViewWnd::Create(CWnd* pParentWnd) { return CDialog::Create(IDD_REGION_VIEW, pParentWnd); }

void CRegionViewWnd::DoDataExchange(CDataExchange* pDX) {
    CFramedSkinDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_POINTER_VIEW, m_view);
}

void CRegionViewWnd::SetUpFrame() {
    if (m_frame.IsLoaded())
        return;
    m_frame.Load(this);
    m_nCaptionHeight = SystemCaptionHeight();
    CreateMainFont(m_boldFont, FW_BOLD);
    CreateMainFont(m_normalFont, FW_NORMAL);
}

BOOL CRegionViewWnd::OnInitDialog() {
    CFramedSkinDialog::OnInitDialog();
    SetUpSkin(kKeyColor, 220);
    m_cxScreen = ::GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = ::GetSystemMetrics(SM_CYSCREEN);
    SetTimer(0, 100);
    return TRUE;
}

void CRegionViewWnd::OnTimer(UINT_PTR) { PostMessage(WM_REGION_REFRESH); }

LRESULT CRegionViewWnd::OnNcHitTest(CPoint point) {
    // A pointer over the window is one it hops away from at the next tick: until
    // then a press there belongs to the capture underneath, as if it had gone.
    CRect window;
    GetWindowRect(&window);
    GeoPoint to;
    if (!m_bUserMoving && InfoWindowHop({window.left, window.top, window.right, window.bottom}, {point.x, point.y},
                                        m_cxScreen, m_cyScreen, &to))
        return HTTRANSPARENT;
    return CFramedSkinDialog::OnNcHitTest(point);
}

LRESULT CRegionViewWnd::OnEnterSizeMove(WPARAM, LPARAM) {
    m_bUserMoving = true;
    return 0;
}

LRESULT CRegionViewWnd::OnExitSizeMove(WPARAM, LPARAM) {
    m_bUserMoving = false;
    return 0;
}

LRESULT CRegionViewWnd::OnRegionRefresh(WPARAM, LPARAM) {
    if (!m_view.GetSafeHwnd())
        return 0;
    CPoint p;
    ::GetCursorPos(&p);
    CRect window;
    GetWindowRect(&window);
    GeoPoint to;
    if (!m_bUserMoving &&
        InfoWindowHop({window.left, window.top, window.right, window.bottom}, {p.x, p.y}, m_cxScreen, m_cyScreen, &to))
        SetWindowPos(nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_view.SetZoom(1, false, false);
    m_view.Invalidate();

    CRect view;
    m_view.GetWindowRect(&view);
    ScreenToClient(&view);
    CRect text(view.left, view.bottom + 5, view.right, view.bottom + 80);

    const COLORREF color = m_pOwner ? m_pOwner->GetColorAt(p) : 0;
    RegionSize size;
    if (m_pOwner) {
        const RECT r = m_pOwner->GetRegion();
        size = ShownRegionSize({r.left, r.top, r.right, r.bottom}, m_bLiveScreen, m_pOwner->IsTrackerMode(),
                               m_cxScreen, m_cyScreen);
    }

    CClientDC dc(this);
    dc.FillSolidRect(text.left, text.top, text.Width(), text.Height() + 10, kBackground);
    dc.SetBkMode(TRANSPARENT);
    {
        CScopedSelectObject font(dc, m_normalFont);
        dc.SetTextColor(0xFFFFFF);
        const std::wstring pointer =
            Widen(PointerText({p.x, p.y}, GetRValue(color), GetGValue(color), GetBValue(color)));
        dc.DrawText(pointer.c_str(), static_cast<int>(pointer.size()), &text, DT_CENTER | DT_VCENTER);
    }
    {
        CScopedSelectObject font(dc, m_boldFont);
        dc.SetTextColor(0x02FFB4);
        CRect sizeArea(text.left, text.top + 70, text.right, text.bottom + 100);
        const std::wstring sizeText = Widen(RegionSizeText(size));
        dc.DrawText(sizeText.c_str(), static_cast<int>(sizeText.size()), &sizeArea, DT_CENTER | DT_VCENTER);
    }
    return 0;
}

void CRegionViewWnd::PaintFrame() {
    CRect window;
    GetWindowRect(&window);
    const int W = window.Width();
    const int H = window.Height();
    const int c = m_nCaptionHeight;
    CWindowDC dc(this);
    m_frame.Paint(&dc, W, H, c);

    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(0xF4F2F0);
    CString caption;
    caption.LoadString(IDS_POINTER_VIEW);
    CRect captionArea(0, 0, W, c);
    {
        CScopedSelectObject font(dc, m_boldFont);
        dc.DrawText(caption, &captionArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }

    // The dark background, seen through the window's alpha.
    CRect client;
    GetClientRect(&client);
    ClientToScreen(&client);
    client.OffsetRect(-window.left, -window.top);
    dc.FillSolidRect(&client, kBackground);
}

void CRegionViewWnd::OnPaint() {
    CFramedSkinDialog::OnPaint();
    // The fill covered the texts: draw them again now, not at the next tick.
    PostMessage(WM_REGION_REFRESH);
}

void CRegionViewWnd::OnDestroy() {
    KillTimer(0);
    CFramedSkinDialog::OnDestroy();
}

void CRegionViewWnd::FreeFrame() {
    m_frame.Free();
    m_boldFont.DeleteObject();
    m_normalFont.DeleteObject();
}

void CRegionViewWnd::PostNcDestroy() {
    FreeFrame();
    CFramedSkinDialog::PostNcDestroy();
}
