#include "app/settings/OptionsPropertySheet.h"

#include "app/AppStrings.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpTreeWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"
#include "widgets/WorkAreaFit.h"

#include <algorithm>

namespace {

constexpr UINT kApplyButton = 0x3021;  // ID_APPLY_NOW
constexpr UINT kTabControl = 0x3020;  // the system sheet's tab strip
constexpr int kButtonGap = 7;
constexpr int kHeaderStrips = 256;
constexpr int kTitleIndent = 20;
// Posted to the sheet: wParam the control to focus again, lParam its selection.
constexpr UINT kRefocusAfterRefusal = WM_APP + 50;
// Bound for reading the system's sheet template when its buffer size is unknown.
constexpr size_t kTemplateReadLimit = 0x10000;

// The bytes the common controls allocated for the sheet's template, when
// the buffer is a block of the process heap; 0 when that cannot be told.
size_t HeapBlockSize(const void* p) {
    HANDLE heap = ::GetProcessHeap();
    if (!p || !::HeapValidate(heap, 0, p))
        return 0;
    const SIZE_T size = ::HeapSize(heap, 0, p);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

CRect ClientRectOf(HWND hWnd, HWND hParent) {
    CRect rect;
    ::GetWindowRect(hWnd, &rect);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

BEGIN_MESSAGE_MAP(COptionsPropertySheet, CPropertySheet)
    ON_WM_ERASEBKGND()
    ON_MESSAGE(kRefocusAfterRefusal, OnRefocusAfterRefusal)
END_MESSAGE_MAP()

COptionsPropertySheet::COptionsPropertySheet(COpFilePropertyPage& file, COpWatermarkPropertyPage& watermark,
                                             COpContinuePage& misc, COpTreeWnd& tree)
    : CPropertySheet(L"Options", nullptr, 0), m_file(file), m_watermark(watermark), m_misc(misc), m_tree(tree) {
    m_psh.dwFlags &= ~PSH_HASHELP;
    AddPage(&m_file);
    AddPage(&m_watermark);
    AddPage(&m_misc);
}

COptionsPropertySheet::~COptionsPropertySheet() {
    if (HeaderIcon)
        ::DestroyIcon(HeaderIcon);
}

INT_PTR COptionsPropertySheet::DoModal() {
    m_psh.dwFlags |= PSH_USECALLBACK;
    m_psh.pfnCallback = &COptionsPropertySheet::SheetCallback;
    // The pages are the options captures use: whatever a cancelled sheet
    // changed and no Apply wrote goes back, so that it reaches neither a
    // capture nor, through a later save, the file.
    m_file.KeepForCancel();
    m_watermark.KeepForCancel();
    m_misc.KeepForCancel();
    const INT_PTR result = CPropertySheet::DoModal();
    if (result != IDOK) {
        m_file.RestoreKept();
        m_watermark.RestoreKept();
        m_misc.RestoreKept();
    }
    return result;
}

int CALLBACK COptionsPropertySheet::SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message != PSCB_PRECREATE || !lParam)
        return 0;
    // The template lives in a buffer of the common controls whose size is not
    // documented: rewrite it only when the result fits the known bytes.
    void* tmpl = reinterpret_cast<void*>(lParam);
    size_t capacity = HeapBlockSize(tmpl);
    const size_t size = CDialogTemplate::TemplateSize(tmpl, capacity ? capacity : kTemplateReadLimit);
    if (!capacity)
        capacity = size;
    CDialogTemplate editor;
    if (size && editor.SetTemplate(tmpl, size) && editor.SetFont(kFontFace, kFontSize))
        editor.WriteTo(tmpl, capacity);
    return 0;
}

void COptionsPropertySheet::BuildPropPageArray() {
    CPropertySheet::BuildPropPageArray();
    for (int page = 0; page < GetPageCount(); ++page) {
        size_t capacity = 0;
        DLGTEMPLATE* tmpl = GetPageTemplate(page, &capacity);
        CDialogTemplate editor;
        if (tmpl && editor.SetTemplate(tmpl, capacity) && editor.SetFont(kFontFace, kFontSize))
            editor.WriteTo(tmpl, capacity);
    }
}

BOOL COptionsPropertySheet::OnInitDialog() {
    SetPageIcons();
    const BOOL result = CPropertySheet::OnInitDialog();
    SetTabImages();

    // The header's font: the main window's, in bold.
    CWnd* main = AfxGetMainWnd();
    HFONT base = reinterpret_cast<HFONT>(::SendMessageW(main ? main->m_hWnd : m_hWnd, WM_GETFONT, 0, 0));
    if (!base)
        base = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf = {};
    ::GetObjectW(base, sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    HeaderFont.CreateFontIndirect(&lf);

    CTabCtrl* tab = GetTabControl();
    if (SinglePage) {
        if (tab)
            tab->ShowWindow(SW_HIDE);
        m_tree.Create(COpTreeWnd::IDD, this);
        m_tree.ShowWindow(SW_HIDE);
        PostMessage(PSM_SETCURSEL, static_cast<WPARAM>(PageIndex));
        SetHeaderIcon(PageIndex);
        // The freshly armed tree answers this with SelectPage.
        m_tree.Tree().Select(m_tree.Item(PageIndex), TVGN_CARET);
        HeaderTitle = m_tree.Tree().GetItemText(m_tree.Tree().GetSelectedItem());
    } else {
        LayOutAllPages();
        PostMessage(PSM_SETCURSEL, 0);
    }
    // The sheet opens over the main window, and the tree widens it on both
    // sides: near a screen edge it would reach past it, buttons and all.
    KeepInWorkArea(m_hWnd);
    return result;
}

void COptionsPropertySheet::LayOutAllPages() {
    if (!m_tree.Create(COpTreeWnd::IDD, this))
        return;
    CTabCtrl* tab = GetTabControl();
    CRect tree;
    m_tree.GetWindowRect(&tree);
    const int width = tree.Width();

    CRect tabRect = tab ? ClientRectOf(tab->m_hWnd, m_hWnd) : CRect(0, 0, 0, tree.Height());
    if (tab) {
        tab->SetWindowPos(nullptr, tabRect.left + width, tabRect.top, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
    m_tree.SetWindowPos(nullptr, 0, 0, width, tabRect.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);

    CRect page;
    if (CPropertyPage* active = GetActivePage(); active && active->m_hWnd) {
        page = ClientRectOf(active->m_hWnd, m_hWnd);
        page.OffsetRect(width, 0);
        active->SetWindowPos(nullptr, page.left, page.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    CRect sheet;
    GetWindowRect(&sheet);
    const int half = width / 2;
    SetWindowPos(nullptr, sheet.left - half, sheet.top, sheet.Width() + 2 * half, sheet.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // OK, Cancel and Apply close ranks at the page's right edge.
    HWND apply = ::GetDlgItem(m_hWnd, kApplyButton);
    HWND cancel = ::GetDlgItem(m_hWnd, IDCANCEL);
    HWND ok = ::GetDlgItem(m_hWnd, IDOK);
    int right = page.IsRectEmpty() ? 0 : page.right;
    for (HWND button : {apply, cancel, ok}) {
        if (!button || !right)
            continue;
        CRect r = ClientRectOf(button, m_hWnd);
        ::SetWindowPos(button, nullptr, right - r.Width(), r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        right = right - r.Width() - kButtonGap;
    }
}

void COptionsPropertySheet::SetPageIcons() {
    // A page names its icon without asking the system sheet to load it (see
    // the pages' constructors). The hidden tabs carry the icons all the same,
    // given before the system sizes the sheet by them, so that the sheet and
    // the header band, which takes the tabs' height, stay as they were.
    const HWND tab = ::GetDlgItem(m_hWnd, kTabControl);
    if (!tab || !m_tabImages.Create(16, 16, ILC_COLOR32 | ILC_MASK, GetPageCount(), 1))
        return;
    m_tabImageOf.assign(static_cast<size_t>(GetPageCount()), -1);
    for (int index = 0; index < GetPageCount(); ++index) {
        const PROPSHEETPAGEW& psp = GetPage(index)->m_psp;
        if (psp.dwFlags & PSP_USEHICON) {
            m_tabImageOf[static_cast<size_t>(index)] = m_tabImages.Add(psp.hIcon);
        } else if (psp.pszIcon) {
            HICON icon = static_cast<HICON>(::LoadImageW(psp.hInstance, psp.pszIcon, IMAGE_ICON, 16, 16, 0));
            if (icon) {
                m_tabImageOf[static_cast<size_t>(index)] = m_tabImages.Add(icon);
                ::DestroyIcon(icon);
            }
        }
    }
    ::SendMessageW(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_tabImages.m_hImageList));
}

void COptionsPropertySheet::SetTabImages() {
    const HWND tab = ::GetDlgItem(m_hWnd, kTabControl);
    if (!tab || !m_tabImages.m_hImageList)
        return;
    ::SendMessageW(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_tabImages.m_hImageList));
    for (size_t index = 0; index < m_tabImageOf.size(); ++index) {
        if (m_tabImageOf[index] < 0)
            continue;
        TCITEMW item = {};
        item.mask = TCIF_IMAGE;
        item.iImage = m_tabImageOf[index];
        ::SendMessageW(tab, TCM_SETITEMW, index, reinterpret_cast<LPARAM>(&item));
    }
}

void COptionsPropertySheet::SetHeaderIcon(int nPage) {
    HICON icon = ::ImageList_GetIcon(m_tree.Images().m_hImageList, nPage, ILD_NORMAL);
    if (HeaderIcon)
        ::DestroyIcon(HeaderIcon);
    HeaderIcon = icon;
}

bool COptionsPropertySheet::PageModified(int nPage) const {
    switch (nPage) {
    case COpTreeWnd::kFilePage: return m_file.Modified;
    case COpTreeWnd::kWatermarkPage: return m_watermark.Modified;
    case COpTreeWnd::kMiscPage: return m_misc.Modified;
    default: return false;
    }
}

void COptionsPropertySheet::SelectPage(int nPage, const CString&) {
    // An armed tree answers the selection below with a call of its own.
    if (m_bFollowingPage)
        return;
    CTabCtrl* tab = GetTabControl();
    NMHDR header = {};
    header.hwndFrom = tab ? tab->m_hWnd : nullptr;
    header.idFrom = tab ? static_cast<UINT_PTR>(::GetDlgCtrlID(tab->m_hWnd)) : 0;
    m_bTreeSwitch = true;
    header.code = static_cast<UINT>(TCN_SELCHANGING);
    // The system sheet asks the page whether it may be left. One that refuses
    // has said why: asked again by the page change, it would say it twice.
    const bool refused = SendMessage(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) != 0;
    if (!refused) {
        SetActivePage(nPage);
        header.code = static_cast<UINT>(TCN_SELCHANGE);
        SendMessage(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    m_bTreeSwitch = false;
    if (refused) {
        // The page put the focus on what to mend; the tree takes it once its
        // click is done, so it goes back after that.
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(m_hWnd, focus))
            PostMessage(kRefocusAfterRefusal, reinterpret_cast<WPARAM>(focus),
                        ::SendMessageW(focus, EM_GETSEL, 0, 0));
    }

    const int active = GetActiveIndex();
    SetHeaderIcon(active);
    m_bFollowingPage = true;
    m_tree.Tree().Select(m_tree.Item(active), TVGN_CARET);
    m_bFollowingPage = false;
    HeaderTitle = m_tree.Tree().GetItemText(m_tree.Tree().GetSelectedItem());
    Invalidate();
}

LRESULT COptionsPropertySheet::OnRefocusAfterRefusal(WPARAM wParam, LPARAM lParam) {
    const HWND control = reinterpret_cast<HWND>(wParam);
    if (!::IsWindow(control) || !::IsChild(m_hWnd, control) || !::IsWindowVisible(control))
        return 0;
    ::SetFocus(control);
    ::SendMessageW(control, EM_SETSEL, LOWORD(lParam), HIWORD(lParam));
    return 0;
}

BOOL COptionsPropertySheet::PreTranslateMessage(MSG* pMsg) {
    // The system sheet would change pages on Ctrl+Tab, Ctrl+Shift+Tab and
    // Ctrl+PageDown/PageUp behind the header's and the tree's back: these go
    // the tree's way instead, warning included.
    // With the focus gone (in a page just hidden) the keys come as system
    // keys to the sheet itself.
    const bool keyDown = pMsg->message == WM_KEYDOWN ||
                         (pMsg->message == WM_SYSKEYDOWN && !(pMsg->lParam & (1 << 29)));  // no Alt
    if (m_hWnd && keyDown && (::GetKeyState(VK_CONTROL) & 0x8000) &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd))) {
        int step = 0;
        if (pMsg->wParam == VK_TAB)
            step = (::GetKeyState(VK_SHIFT) & 0x8000) ? -1 : 1;
        else if (pMsg->wParam == VK_NEXT)
            step = 1;
        else if (pMsg->wParam == VK_PRIOR)
            step = -1;
        const LRESULT code =
            step ? ::SendMessageW(pMsg->hwnd, WM_GETDLGCODE, pMsg->wParam, reinterpret_cast<LPARAM>(pMsg)) : 0;
        const int count = GetPageCount();
        if (step && !(code & DLGC_WANTMESSAGE) && count > 0) {
            const int active = std::max(0, GetActiveIndex());
            SelectPage((active + step + count) % count, CString());
            // The keys go on working from the page now on show.
            const HWND focus = ::GetFocus();
            CPropertyPage* page = GetActivePage();
            if (page && page->m_hWnd && (!focus || !::IsWindowVisible(focus))) {
                const HWND first = ::GetNextDlgTabItem(page->m_hWnd, nullptr, FALSE);
                ::SetFocus(first ? first : page->m_hWnd);
            }
            return TRUE;
        }
    }
    return CPropertySheet::PreTranslateMessage(pMsg);
}

BOOL COptionsPropertySheet::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    CTabCtrl* tab = GetTabControl();
    if (pNMHDR && tab && pNMHDR->hwndFrom == tab->m_hWnd) {
        if (pNMHDR->code == static_cast<UINT>(TCN_SELCHANGING)) {
            PreviousPage = GetActiveIndex();
        } else if (pNMHDR->code == static_cast<UINT>(TCN_SELCHANGE)) {
            // Only a change the user makes in the tree warns; a single page
            // has nowhere to go back to.
            if (m_bTreeSwitch && !SinglePage && PreviousPage != GetActiveIndex() && PageModified(PreviousPage) &&
                AfxMessageBox(LoadResString(IDS_OPTIONS_UNSAVED), MB_OKCANCEL) == IDOK) {
                SetActivePage(PreviousPage);
                *pResult = 0;
                return TRUE;
            }
            ::EnableWindow(::GetDlgItem(m_hWnd, kApplyButton), PageModified(GetActiveIndex()));
        }
    }
    return CPropertySheet::OnNotify(wParam, lParam, pResult);
}

BOOL COptionsPropertySheet::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CPropertySheet::OnEraseBkgnd(pDC);
    if (pDC)
        DrawHeader(*pDC);
    return result;
}

void COptionsPropertySheet::DrawHeader(CDC& dc) {
    CPropertyPage* active = GetActivePage();
    CTabCtrl* tab = GetTabControl();
    if (!active || !active->m_hWnd || !tab)
        return;
    const CRect page = ClientRectOf(active->m_hWnd, m_hWnd);
    const CRect tabRect = ClientRectOf(tab->m_hWnd, m_hWnd);
    CRect item;
    tab->SendMessage(TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    const int bandHeight = item.Height();
    const int w = page.Width();
    const int hh = SinglePage ? tabRect.Height() : tabRect.Height() - (page.left - tabRect.left);

    // A thin dark line along the top and left, a three-pixel shadow along the others.
    const int x = page.left - 1;
    const int y = tabRect.top;
    dc.Draw3dRect(x, y, w + 3, hh + 2, RGB(208, 206, 191), RGB(208, 206, 191));
    dc.Draw3dRect(x, y, w + 4, hh + 3, RGB(227, 224, 208), RGB(227, 224, 208));
    dc.Draw3dRect(x, y, w + 2, hh + 1, RGB(145, 155, 156), RGB(145, 155, 156));

    // Deep sky blue fading to white.
    const int top = tabRect.top + 2;
    for (int i = 0; i < kHeaderStrips; ++i) {
        const int left = page.left + static_cast<int>(static_cast<double>(i) * w / kHeaderStrips);
        const int right = page.left + static_cast<int>(static_cast<double>(i + 1) * w / kHeaderStrips);
        dc.FillSolidRect(left, top, right - left, bandHeight, RGB(std::max(38, i), std::max(147, i), 255));
    }

    if (HeaderIcon)
        ::DrawStateW(dc.m_hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(HeaderIcon), 0, page.left, top, 0, 0, DST_ICON);
    if (!HeaderTitle.IsEmpty()) {
        CRect text(page.left + kTitleIndent, top, page.right, top + bandHeight);
        CFont* oldFont = dc.SelectObject(&HeaderFont);
        const COLORREF oldColor = dc.SetTextColor(RGB(255, 255, 255));
        const int oldMode = dc.SetBkMode(TRANSPARENT);
        dc.DrawText(HeaderTitle, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
        dc.SetBkMode(oldMode);
        dc.SetTextColor(oldColor);
        dc.SelectObject(oldFont);
    }
}
