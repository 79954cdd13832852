#include "app/bars/ColorDialogBarWnd.h"

#include "app/AppStrings.h"
#include "app/finder/SpoideWnd.h"
#include "resources/resource.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr UINT kEyedropperIcon = 209;
constexpr UINT kCopyIcon = 262;
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct ZoomChoice {
    const wchar_t* text;
    int factor;
};
constexpr ZoomChoice kZoomChoices[] = {{L"1x", 1}, {L"2x", 2}, {L"4x", 4}, {L"6x", 6}, {L"8x", 8}, {L"10x", 10}};

colorbar::Place PlaceOf(const CWnd& control) {
    CRect r;
    if (control.m_hWnd)
        control.GetWindowRect(&r);
    return {r.left, r.top, r.Width(), r.Height()};
}

// Global memory for the clipboard, freed unless the clipboard took it.
class ClipboardText {
public:
    explicit ClipboardText(const CString& text) {
        const SIZE_T bytes = (static_cast<SIZE_T>(text.GetLength()) + 1) * sizeof(wchar_t);
        m_hMem = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, bytes);
        if (!m_hMem)
            return;
        if (void* p = ::GlobalLock(m_hMem)) {
            std::wmemcpy(static_cast<wchar_t*>(p), static_cast<LPCWSTR>(text), text.GetLength() + 1);
            ::GlobalUnlock(m_hMem);
        } else {
            ::GlobalFree(m_hMem);
            m_hMem = nullptr;
        }
    }
    ~ClipboardText() {
        if (m_hMem)
            ::GlobalFree(m_hMem);
    }
    ClipboardText(const ClipboardText&) = delete;
    ClipboardText& operator=(const ClipboardText&) = delete;

    HGLOBAL Get() const { return m_hMem; }
    void HandedOver() { m_hMem = nullptr; }

private:
    HGLOBAL m_hMem = nullptr;
};

}  // namespace

BEGIN_MESSAGE_MAP(CColorDialogBarWnd, CResizeableDlgBar)
    ON_MESSAGE(WM_INITDIALOG, OnInitDialog)
    ON_WM_TIMER()
    ON_WM_SIZE()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_COLOR_EYEDROPPER, OnEyedropper)
    ON_BN_CLICKED(IDC_COLOR_COPY, OnCopyColor)
    ON_CBN_SELCHANGE(IDC_COLOR_ZOOM_LIST, OnZoomChange)
END_MESSAGE_MAP()

CColorDialogBarWnd::CColorDialogBarWnd() = default;

CColorDialogBarWnd::~CColorDialogBarWnd() {
    // The controls are members: the window goes before they do.
    if (m_hWnd) {
        KillTimer(kTimerId);
        DestroyWindow();
    }
}

void CColorDialogBarWnd::DoDataExchange(CDataExchange* pDX) {
    CResizeableDlgBar::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_COLOR_ZOOM_VIEW, m_wndZoomView);
    DDX_Control(pDX, IDC_COLOR_SWATCH, m_wndSwatch);
    DDX_Control(pDX, IDC_COLOR_PICKED, m_wndPickedColors);
    DDX_Control(pDX, IDC_COLOR_EYEDROPPER, m_btnEyedropper);
    DDX_Control(pDX, IDC_COLOR_COPY, m_btnCopy);
    DDX_Control(pDX, IDC_COLOR_ZOOM_LIST, m_wndZoomList);
    DDX_Text(pDX, IDC_COLOR_TEXT, m_strColorText);
}

colorbar::Edges CColorDialogBarWnd::BarEdges() const {
    CRect r;
    GetWindowRect(&r);
    ScreenToClient(&r);
    return {r.left, r.top, r.right, r.bottom};
}

colorbar::ControlSizes CColorDialogBarWnd::ControlSizes() const {
    colorbar::ControlSizes sizes;
    sizes.picked = PlaceOf(m_wndPickedColors);
    sizes.zoomList = PlaceOf(m_wndZoomList);
    const colorbar::Place eyedropper = PlaceOf(m_btnEyedropper);
    sizes.eyedropperWidth = eyedropper.width;
    sizes.buttonHeight = eyedropper.height;
    sizes.copyWidth = PlaceOf(m_btnCopy).width;
    if (CWnd* text = GetDlgItem(IDC_COLOR_TEXT)) {
        CClientDC dc(text);
        CFont* old = dc.SelectObject(text->GetFont());
        TEXTMETRICW metrics = {};
        if (dc.GetTextMetrics(&metrics))
            sizes.textHeight = 3 * metrics.tmHeight;
        if (old)
            dc.SelectObject(old);
    }
    return sizes;
}

void CColorDialogBarWnd::Place(CWnd& control, const colorbar::Place& place) {
    if (control.m_hWnd)
        control.MoveWindow(place.x, place.y, place.width, place.height);
}

void CColorDialogBarWnd::Move(CWnd& control, const colorbar::Place& place) {
    if (control.m_hWnd)
        control.SetWindowPos(nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CColorDialogBarWnd::Apply(const colorbar::Layout& layout) {
    Place(m_wndZoomView, layout.zoom);
    Place(m_wndSwatch, layout.swatch);
    if (CWnd* text = GetDlgItem(IDC_COLOR_TEXT))
        Place(*text, layout.text);
    // A combo's height includes its drop-down list: only move them.
    Move(m_wndPickedColors, layout.picked);
    Move(m_wndZoomList, layout.zoomList);
    Place(m_btnEyedropper, layout.eyedropper);
    Place(m_btnCopy, layout.copy);
}

LRESULT CColorDialogBarWnd::OnInitDialog(WPARAM, LPARAM) {
    const LRESULT result = Default();
    UpdateData(FALSE);

    CRect window;
    GetWindowRect(&window);
    m_nInitialWidth = window.Width();
    m_nInitialHeight = window.Height();

    m_wndZoomView.SetZoom(1, true, false);
    m_wndSwatch.SetActive(false);
    m_wndSwatch.SetColor(kWhite);

    // The fixed-height owner-drawn list was measured before it was ours.
    m_wndPickedColors.SetItemHeight(-1, CNcComboBox::kItemHeight);
    m_wndPickedColors.SetItemHeight(0, CNcComboBox::kItemHeight);
    m_wndPickedColors.AddColor(kWhite);
    m_wndPickedColors.SetCurSel(0);

    for (const ZoomChoice& choice : kZoomChoices) {
        const int index = m_wndZoomList.AddString(choice.text);
        if (index >= 0)
            m_wndZoomList.SetItemData(index, static_cast<DWORD_PTR>(choice.factor));
    }
    m_wndZoomList.SetCurSel(0);

    m_btnEyedropper.SetIcon(kEyedropperIcon);
    m_btnEyedropper.SetTooltipText(LoadResString(IDC_COLOR_EYEDROPPER));
    m_btnCopy.SetIcon(kCopyIcon);
    m_btnCopy.SetTooltipText(LoadResString(IDC_COLOR_COPY));

    const colorbar::Layout layout = colorbar::InitialLayout(BarEdges(), ControlSizes());
    Apply(layout);
    m_rcZoomView = layout.zoom;
    m_rcSwatch = layout.swatch;
    m_rcText = layout.text;
    m_rcPickedList = layout.picked;
    m_rcZoomList = layout.zoomList;

    SetTimer(kTimerId, kTimerMs, nullptr);
    return result;
}

void CColorDialogBarWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kTimerId) {
        CResizeableDlgBar::OnTimer(nIDEvent);
        return;
    }
    // Nobody sees a hidden bar (nor one in a window sent to the tray): leave the screen alone.
    if (!IsWindowVisible())
        return;
    UpdateData(TRUE);
    m_wndZoomView.SetZoom(m_nZoomFactor, false, m_bEyedropperRunning);
    m_wndZoomView.Invalidate();

    CPoint cursor;
    ::GetCursorPos(&cursor);
    COLORREF color;
    {
        HDC screen = ::GetDCEx(nullptr, nullptr, 0);
        color = screen ? ::GetPixel(screen, cursor.x, cursor.y) : CLR_INVALID;
        if (screen)
            ::ReleaseDC(nullptr, screen);
    }
    if (color == CLR_INVALID)
        color = 0;
    m_wndSwatch.SetColor(color);
    m_wndSwatch.SetActive(false);
    m_wndSwatch.Invalidate();
    m_strColorText = colorbar::ColorText(GetRValue(color), GetGValue(color), GetBValue(color)).c_str();

    if (m_bColorPicked) {
        m_bColorPicked = false;
        if (m_btnEyedropper.IsCheckBox()) {
            m_btnEyedropper.SetCheck(BST_UNCHECKED);
            m_btnEyedropper.Invalidate();
        }
        const int index = m_wndPickedColors.AddColor(color);
        if (index >= 0)
            m_wndPickedColors.SetCurSel(index);
    }
    UpdateData(FALSE);
}

void CColorDialogBarWnd::OnSize(UINT nType, int cx, int cy) {
    CResizeableDlgBar::OnSize(nType, cx, cy);
    if (!m_wndZoomView.m_hWnd)
        return;  // still being created
    colorbar::Layout layout;
    const bool vertical = m_bDocked && m_bDockedVertically;
    if (colorbar::ResizedLayout(BarEdges(), ControlSizes(), m_sizeDocked.cx - m_nInitialWidth,
                                m_sizeDocked.cy - m_nInitialHeight, vertical, layout))
        Apply(layout);
}

void CColorDialogBarWnd::OnDestroy() {
    KillTimer(kTimerId);
    CResizeableDlgBar::OnDestroy();
}

void CColorDialogBarWnd::OnEyedropper() {
    m_bEyedropperRunning = true;
    CSpoideWnd spoide;
    if (spoide.DoModal() == IDOK) {
        // The next tick adds the colour under the pointer and unchecks the button.
        m_bColorPicked = true;
    } else if (m_btnEyedropper.IsCheckBox()) {
        m_btnEyedropper.SetCheck(BST_UNCHECKED);
        m_btnEyedropper.Invalidate();
    }
    m_bEyedropperRunning = false;
}

void CColorDialogBarWnd::OnCopyColor() {
    const CString text = m_wndPickedColors.GetSelectedColorText();
    if (text.IsEmpty())
        return;
    ClipboardText memory(text);
    if (!memory.Get() || !::OpenClipboard(m_hWnd))
        return;
    ::EmptyClipboard();
    if (::SetClipboardData(CF_UNICODETEXT, memory.Get()))
        memory.HandedOver();
    ::CloseClipboard();
}

void CColorDialogBarWnd::OnZoomChange() {
    const int selected = m_wndZoomList.GetCurSel();
    if (selected != CB_ERR)
        m_nZoomFactor = static_cast<int>(m_wndZoomList.GetItemData(selected));
}
