#include "app/VeskDlg.h"

#include "app/AboutDlg.h"
#include "app/AppMessages.h"
#include "app/AppStrings.h"
#include "app/VeskApp.h"
#include "app/bars/ColorDialogBarWnd.h"
#include "app/bars/QuickDialogBarWnd.h"
#include "app/capture/AddressSpace.h"
#include "app/capture/CursorCapture.h"
#include "app/capture/FailureBox.h"
#include "app/capture/PaneCaptureSink.h"
#include "app/continuous/ContinueWnd.h"
#include "app/capture/PaneItemCommands.h"
#include "app/finder/ControlWnd.h"
#include "app/regions/DynamicRegionWnd.h"
#include "app/regions/StaticRegionWnd.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpTreeWnd.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "app/settings/OptionsPropertySheet.h"
#include "app/settings/Profile.h"
#include "app/tools/gif/GifWnd.h"
#include "app/tools/watermark/WatermarkWnd.h"
#include "resources/resource.h"
#include "workarea/ImagePreviewWnd.h"
#include "workarea/MainFrmWnd.h"
#include "workarea/WebImageWnd.h"
#include "workarea/WorkTab.h"

#include <algorithm>
#include <cwchar>
#include <memory>

namespace {

// The sizes of the Windows versions the program was made for; newer fields stay unused.
constexpr UINT kNotifyIconDataSize = 952;
constexpr UINT kReBarBandInfoSize = 80;
static_assert(sizeof(NOTIFYICONDATAW) >= kNotifyIconDataSize, "NOTIFYICONDATAW too small");
static_assert(sizeof(REBARBANDINFOW) >= kReBarBandInfoSize, "REBARBANDINFOW too small");

// At the end of a session the system tells the user after 5 s that a program
// holds it up: captures already taken get 3 s to finish and those still not
// writing their file 1 s more to give up, which leaves a margin.
constexpr DWORD kSessionEndFinishMs = 3000;
constexpr DWORD kSessionEndGiveUpMs = 1000;

constexpr COLORREF kToolbarMask = 0xE3EEEF;
constexpr int kToolbarImage = 38;
constexpr int kSeparatorWidth = 7;

struct ToolButton {
    UINT command;  // ID_SEPARATOR for a separator
    BYTE style;
};
constexpr ToolButton kToolButtons[] = {
    {ID_TB_SAVE, TBSTYLE_DROPDOWN}, {ID_SEPARATOR, TBSTYLE_SEP},     {ID_TB_TOOLS, BTNS_WHOLEDROPDOWN},
    {ID_SEPARATOR, TBSTYLE_SEP},    {ID_TB_WATERMARK, TBSTYLE_BUTTON}, {ID_TB_GIF, TBSTYLE_BUTTON},
    {ID_SEPARATOR, TBSTYLE_SEP},    {ID_TB_OPTIONS, TBSTYLE_DROPDOWN},
};

// The work area's tool-list buttons and the commands they stand for.
constexpr UINT kToolListCommands[IDC_TOOL_LAST - IDC_TOOL_FIRST + 1] = {
    ID_CAPTURE_FULLSCREEN,      ID_CAPTURE_NAVIGATOR,      ID_CAPTURE_DYNAMIC_MOUSE, ID_CAPTURE_DYNAMIC_TRACKER,
    ID_CAPTURE_STATIC_MOUSE,    ID_CAPTURE_STATIC_TRACKER, ID_CAPTURE_WEBPAGE,       ID_WEB_IMAGE,
    ID_COLOR_BAR,               ID_TB_WATERMARK,           ID_TB_GIF,
};

// The region capture commands: over the live or a frozen screen, by mouse drag or tracker.
struct RegionCommand {
    UINT command;
    bool frozen;
    bool tracker;
};
constexpr RegionCommand kRegionCommands[] = {
    {ID_CAPTURE_DYNAMIC_MOUSE, false, false},
    {ID_CAPTURE_DYNAMIC_TRACKER, false, true},
    {ID_CAPTURE_STATIC_MOUSE, true, false},
    {ID_CAPTURE_STATIC_TRACKER, true, true},
};

// Tray menu entries and the commands they re-post.
struct TrayCommand {
    UINT trayId;
    UINT command;
};
constexpr TrayCommand kTrayCommands[] = {
    {ID_TRAY_FULLSCREEN, ID_CAPTURE_FULLSCREEN},           {ID_TRAY_NAVIGATOR, ID_CAPTURE_NAVIGATOR},
    {ID_TRAY_DYNAMIC_MOUSE, ID_CAPTURE_DYNAMIC_MOUSE},     {ID_TRAY_DYNAMIC_TRACKER, ID_CAPTURE_DYNAMIC_TRACKER},
    {ID_TRAY_STATIC_MOUSE, ID_CAPTURE_STATIC_MOUSE},       {ID_TRAY_STATIC_TRACKER, ID_CAPTURE_STATIC_TRACKER},
    {ID_TRAY_WEBPAGE, ID_CAPTURE_WEBPAGE},                 {ID_TRAY_WEB_IMAGE, ID_WEB_IMAGE},
    {ID_TRAY_CONTROL, ID_CAPTURE_CONTROL},                 {ID_TRAY_CURSOR, ID_CAPTURE_CURSOR},
    {ID_TRAY_WATERMARK, ID_TB_WATERMARK},                  {ID_TRAY_GIF, ID_TB_GIF},
    {ID_TRAY_OPTIONS_FILE, ID_OPTIONS_FILE},               {ID_TRAY_OPTIONS_WATERMARK, ID_OPTIONS_WATERMARK},
    {ID_TRAY_OPTIONS_MISC, ID_OPTIONS_MISC},
};

#ifdef VESK_TRIAL_BUILD
// The in-memory limit tried by the tests without filling the address space:
// VESK_TEST_ADDRESS_HEADROOM_MB puts it that many megabytes after the first
// capture kept in memory. Null when the variable is not set.
CCaptureEngine::AddressSpaceProbe TrialAddressSpaceProbe() {
    wchar_t text[16] = {};
    if (::GetEnvironmentVariableW(L"VESK_TEST_ADDRESS_HEADROOM_MB", text, 16) == 0)
        return nullptr;
    const unsigned long long headroom = static_cast<unsigned long long>(std::max(0, _wtoi(text))) << 20;
    auto baseline = std::make_shared<unsigned long long>(0);
    return [headroom, baseline](unsigned long long needed, unsigned long long block) {
        const unsigned long long used = CommittedAddressSpace();
        if (!*baseline)
            *baseline = used;
        const unsigned long long grown = used > *baseline ? used - *baseline : 0;
        return grown + needed <= headroom &&
               CanReserveAddressSpace(CCaptureEngine::kAddressReserve + needed, block);
    };
}
#else
// The shipped program reads no test variable: the engine asks the system.
CCaptureEngine::AddressSpaceProbe TrialAddressSpaceProbe() { return nullptr; }
#endif

void CopyTruncated(wchar_t* dest, size_t capacity, const wchar_t* src, size_t maxChars) {
    size_t n = std::wcslen(src);
    if (n > maxChars)
        n = maxChars;
    if (n >= capacity)
        n = capacity - 1;
    std::wmemcpy(dest, src, n);
    dest[n] = L'\0';
}

// Notes the modal window the main dialog runs, for as long as it runs.
class ModalScope {
public:
    ModalScope(CWnd*& slot, CWnd& window) : m_slot(slot), m_previous(slot) { slot = &window; }
    ~ModalScope() { m_slot = m_previous; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    CWnd*& m_slot;
    CWnd* m_previous;
};

}  // namespace

BEGIN_MESSAGE_MAP(CVeskDlg, CResizableDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
    ON_MESSAGE(WM_SET_SAVE_TARGET, OnSetSaveTarget)
    ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_GO_TRAY, OnGoTray)
    ON_MESSAGE(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
    ON_NOTIFY(TBN_DROPDOWN, IDW_TOOLBAR, OnToolbarDropDown)
    ON_NOTIFY(SPN_SIZED, IDC_SPLITTER, OnSplitterMoved)
    ON_COMMAND(ID_TB_SAVE, OnSaveButton)
    ON_MESSAGE(WM_CAPTURE_DONE, OnCaptureDone)
    ON_COMMAND(ID_CAPTURE_FULLSCREEN, OnFullScreenCapture)
    ON_COMMAND(ID_CAPTURE_CURSOR, OnCursorCapture)
    ON_COMMAND_RANGE(ID_CAPTURE_DYNAMIC_MOUSE, ID_CAPTURE_DYNAMIC_MOUSE, OnRegionCapture)
    ON_COMMAND_RANGE(ID_CAPTURE_DYNAMIC_TRACKER, ID_CAPTURE_DYNAMIC_TRACKER, OnRegionCapture)
    ON_COMMAND_RANGE(ID_CAPTURE_STATIC_MOUSE, ID_CAPTURE_STATIC_MOUSE, OnRegionCapture)
    ON_COMMAND_RANGE(ID_CAPTURE_STATIC_TRACKER, ID_CAPTURE_STATIC_TRACKER, OnRegionCapture)
    ON_COMMAND(ID_CAPTURE_CONTROL, OnControlCapture)
    ON_COMMAND(ID_CAPTURE_NAVIGATOR, OnNavigator)
    ON_COMMAND(ID_TB_WATERMARK, OnWatermarkTool)
    ON_COMMAND(ID_COLOR_BAR, OnToggleColorBar)
    ON_COMMAND(ID_TOOLBAR_COLOR_BAR, OnToggleColorBar)
    ON_COMMAND(ID_TOOLBAR_QUICK_OPTIONS, OnToggleQuickBar)
    ON_COMMAND(ID_FILE_SAVE_ITEM, OnSaveItem)
    ON_COMMAND(ID_FILE_SAVE_ITEM_AS, OnSaveItemAs)
    ON_COMMAND(ID_FILE_DELETE_ITEM, OnDeleteItem)
    ON_COMMAND(ID_CAPTURE_WEBPAGE, OnWebPage)
    ON_COMMAND(ID_WEB_IMAGE, OnWebImage)
    ON_COMMAND(ID_TB_GIF, OnGifMaker)
    ON_WM_CLOSE()
    ON_MESSAGE(WM_QUERYENDSESSION, OnQueryEndSession)
    ON_MESSAGE(WM_ENDSESSION, OnEndSession)
    ON_COMMAND(ID_FILE_EXIT, OnExit)
    ON_COMMAND(ID_TRAY_EXIT, OnExit)
    ON_COMMAND(ID_TRAY_RESTORE, OnTrayRestore)
    ON_COMMAND_RANGE(ID_TRAY_GIF, ID_TRAY_OPTIONS_MISC, OnTrayCommand)
    ON_COMMAND(ID_TB_OPTIONS, OnOptionsAll)
    ON_COMMAND(ID_OPTIONS_FILE, OnOptionsFile)
    ON_COMMAND(ID_OPTIONS_WATERMARK, OnOptionsWatermark)
    ON_COMMAND(ID_OPTIONS_MISC, OnOptionsMisc)
END_MESSAGE_MAP()

CVeskDlg::CVeskDlg() : CResizableDialog(IDD), m_pWorkArea(std::make_unique<CMainFrmWnd>()) {
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    m_hAccel = ::LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_ACCELERATOR));
}

CVeskDlg::~CVeskDlg() {
    delete m_pToolTip;
}

void CVeskDlg::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PANE_TABS, m_wndPaneTabs);
}

BOOL CVeskDlg::OnInitDialog() {
    CResizableDialog::OnInitDialog();

    AddAboutToSystemMenu();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    SetWindowText(LoadResString(IDS_APP_CAPTION));

    CreateReBar();
    CreateToolBar();
    AddToolBarButtons();
    InsertToolBarBand();
    CreateToolTips();
    const CRect workArea = CreateWorkArea();
    CreateSplitter(workArea);
    CreatePaneTabs(workArea);
    CreateWebImageWnd();
    AnchorChildren();
    StartCaptureEngine();

    PostMessage(WM_COMMAND, ID_COLOR_BAR);
    if (theApp.m_pMiscOptions && theApp.m_pMiscOptions->StartTray)
        PostMessage(WM_GO_TRAY);
    return TRUE;
}

void CVeskDlg::AddAboutToSystemMenu() {
    const CString about = LoadResString(IDS_ABOUTBOX);
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu && !about.IsEmpty()) {
        pSysMenu->AppendMenu(MF_SEPARATOR);
        pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
    }
}

void CVeskDlg::CreateReBar() {
    CRect client;
    GetClientRect(&client);
    m_wndReBar.Create(0x16002540, client, this, IDW_REBAR);
}

void CVeskDlg::CreateToolBar() {
    m_wndToolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect(0, 0, 0, 0), IDW_TOOLBAR);
    CToolBarCtrl& ctrl = m_wndToolBar.GetToolBarCtrl();
    ctrl.SetExtendedStyle(TBSTYLE_EX_DRAWDDARROWS);
    m_toolBarImages.Create(kToolbarImage, kToolbarImage, ILC_COLOR24 | ILC_MASK, 7, 1);
    CBitmap strip;
    if (strip.LoadBitmap(IDB_TOOLBAR))
        m_toolBarImages.Add(&strip, kToolbarMask);
    ctrl.SetImageList(&m_toolBarImages);
    ctrl.SetStyle(ctrl.GetStyle() | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT);
}

void CVeskDlg::AddToolBarButtons() {
    UINT ids[std::size(kToolButtons)];
    for (size_t i = 0; i < std::size(kToolButtons); ++i)
        ids[i] = kToolButtons[i].command;
    m_wndToolBar.SetButtons(ids, static_cast<int>(std::size(ids)));
    int image = 0;
    for (int i = 0; i < static_cast<int>(std::size(kToolButtons)); ++i) {
        const ToolButton& b = kToolButtons[i];
        if (b.command == ID_SEPARATOR) {
            m_wndToolBar.SetButtonInfo(i, ID_SEPARATOR, TBBS_SEPARATOR, kSeparatorWidth);
            continue;
        }
        m_wndToolBar.SetButtonInfo(i, b.command, b.style, image++);
        m_wndToolBar.SetButtonText(i, LoadResString(b.command));
    }
    CRect first;
    m_wndToolBar.GetItemRect(0, &first);
    m_wndToolBar.SetSizes(first.Size(), CSize(kToolbarImage, kToolbarImage));
    m_wndToolBar.SetFont(GetFont());
}

void CVeskDlg::InsertToolBarBand() {
    CRect first;
    m_wndToolBar.GetItemRect(0, &first);
    REBARBANDINFOW band = {};
    band.cbSize = kReBarBandInfoSize;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_BREAK | RBBS_NOGRIPPER | RBBS_USECHEVRON;
    band.hwndChild = m_wndToolBar.GetSafeHwnd();
    band.cxMinChild = first.Width();
    band.cyMinChild = first.Height();
    band.cx = band.cxIdeal = first.Width() * ::GetSystemMetrics(SM_CXSCREEN);
    band.wID = 0;
    m_wndReBar.InsertBand(0, &band);
}

void CVeskDlg::CreateToolTips() {
    m_pToolTip = new CToolTipCtrl;
    if (!m_pToolTip->Create(this)) {
        delete m_pToolTip;
        m_pToolTip = nullptr;
        return;
    }
    for (UINT command = ID_TB_SAVE; command <= ID_TB_OPTIONS; ++command) {
        // The tool covers the command's own button; 32806 has none and no text.
        int index = m_wndToolBar.CommandToIndex(command);
        if (index < 0)
            continue;
        CRect rect;
        m_wndToolBar.GetItemRect(index, &rect);
        m_pToolTip->AddTool(&m_wndToolBar, LoadResString(command + 14), &rect, command);
    }
    m_wndToolBar.GetToolBarCtrl().SetToolTips(m_pToolTip);
}

// The work-area frame goes under the toolbar's first button, full width,
// leaving 140 pixels for the splitter and the pane tabs.
CRect CVeskDlg::CreateWorkArea() {
    CRect client, first;
    GetClientRect(&client);
    m_wndToolBar.GetItemRect(0, &first);
    const int height = std::max(client.Height() - first.Height() - 140, 0);
    const CRect area(0, first.bottom, client.Width(), first.bottom + height);
    if (m_pWorkArea->Create(nullptr, L"VeskFrame", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), this)) {
        m_pWorkArea->MoveWindow(area);
        CreateFrameBars();
        m_pWorkArea->ShowWindow(SW_SHOW);
        // The web page tab's whole-page captures come back as a memory DC and its bitmap.
        m_pWorkArea->GetView()->SetPageCaptureHandler([this](HDC dc, RECT rect, HBITMAP bitmap) {
            StartCapture(dc, rect, FALSE, false, 0, bitmap);
        });
    }
    return area;
}

// Both bars are made shown; the colour bar's toggle posted at the end of
// OnInitDialog hides it until Ctrl+M asks for it.
void CVeskDlg::CreateFrameBars() {
    m_pColorBar = std::make_unique<CColorDialogBarWnd>();
    if (m_pWorkArea->CreateDialogBar(*m_pColorBar, IDD_COLOR_BAR, WS_VISIBLE | CBRS_RIGHT | CBRS_SIZE_DYNAMIC,
                                     IDW_COLOR_BAR))
        m_pWorkArea->AttachColorBar(m_pColorBar.get());
    else
        m_pColorBar.reset();

    m_pQuickBar = std::make_unique<CQuickDialogBarWnd>();
    m_pQuickBar->SetTargets({theApp.m_pFileOptions, theApp.m_pWatermarkOptions, theApp.m_pMiscOptions,
                             theApp.m_strSettingsPath});
    if (m_pWorkArea->CreateDialogBar(*m_pQuickBar, IDD_QUICK_OPTIONS_BAR, WS_VISIBLE | CBRS_LEFT | CBRS_SIZE_DYNAMIC,
                                     IDW_QUICK_BAR))
        m_pWorkArea->AttachQuickBar(m_pQuickBar.get());
    else
        m_pQuickBar.reset();
    m_pWorkArea->RecalcLayout();
}

void CVeskDlg::DestroyFrameBars() {
    if (m_pWorkArea) {
        m_pWorkArea->AttachColorBar(nullptr);
        m_pWorkArea->AttachQuickBar(nullptr);
    }
    m_pColorBar.reset();
    m_pQuickBar.reset();
}

void CVeskDlg::CreateSplitter(const CRect& workArea) {
    CRect client, first;
    GetClientRect(&client);
    m_wndToolBar.GetItemRect(0, &first);
    m_wndSplitter.Create(CRect(0, workArea.bottom, client.Width(), workArea.bottom + CSplitterControl::kThickness), this);
    m_wndSplitter.MoveWindow(0, workArea.bottom + 1, client.Width(), 6);
    m_wndSplitter.SetRange(first.bottom + 4, client.bottom - 15);
}

void CVeskDlg::CreatePaneTabs(const CRect& workArea) {
    m_wndPaneTabs.Init();
    struct Pane {
        CResizableDialog& wnd;
        UINT templateId, titleId, iconId;
    };
    // Tab 0 is the saved-files pane, tab 1 the saved-DC pane.
    const Pane panes[] = {
        {m_wndFileTab, IDD_FILE_TAB, IDS_SAVED_FILES_TAB, IDI_SAVED_FILES},
        {m_wndDcTab, IDD_DC_TAB, IDS_SAVED_DC_TAB, IDI_SAVED_DC},
    };
    for (const Pane& pane : panes) {
        // A pane that fails to come up keeps its tab, so the tab numbers stay the capture targets.
        pane.wnd.Create(pane.templateId, &m_wndPaneTabs);
        // A shared icon stays the module's; the image list keeps its own copy.
        auto icon = static_cast<HICON>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(pane.iconId), IMAGE_ICON,
                                                    16, 16, LR_SHARED));
        m_wndPaneTabs.AddTab(LoadResString(pane.titleId), icon, &pane.wnd);
    }
    m_wndFileTab.SetWorkArea(m_pWorkArea.get());
    m_wndDcTab.SetWorkArea(m_pWorkArea.get());
    // Whatever brings an item's tab up, its pane shows and highlights it.
    if (CFormViewWnd* view = m_pWorkArea ? m_pWorkArea->GetView() : nullptr) {
        view->SetTabShownHandler([this, view] {
            const CImagePreviewWnd* pane = view->GetCurrentPane();
            if (view->GetCurrentKind() == WorkTabSavedFile && pane && m_wndFileTab.ShowItem(pane->GetSourcePath()))
                m_wndPaneTabs.SelectPane(CFileTabCtrl::kFileTab);
            else if (view->GetCurrentKind() == WorkTabSavedDc &&
                     m_wndDcTab.ShowItem(view->GetTabTitle(view->GetCurrentTab())))
                m_wndPaneTabs.SelectPane(CFileTabCtrl::kDcTab);
        });
    }

    CRect client;
    GetClientRect(&client);
    m_wndPaneTabs.MoveWindow(0, workArea.bottom + 10, client.Width(), client.Height() - workArea.bottom - 25);

    // The room left under the work area fits the names under the thumbnails
    // at the standard font size; a larger font (150 %, say) takes what the
    // names lack from the work area, so that they are not cut.
    const int missing = m_wndFileTab.m_list.m_hWnd ? m_wndFileTab.m_list.GetMissingRowHeight() : 0;
    if (missing > 0) {
        if (m_pWorkArea->GetSafeHwnd())
            CSplitterControl::ChangeHeight(m_pWorkArea.get(), -missing, CSplitterControl::CW_TOPALIGN);
        CRect splitter;
        m_wndSplitter.GetWindowRect(&splitter);
        ScreenToClient(&splitter);
        m_wndSplitter.MoveWindow(splitter.left, splitter.top - missing, splitter.Width(), splitter.Height());
        CSplitterControl::ChangeHeight(&m_wndPaneTabs, -missing, CSplitterControl::CW_BOTTOMALIGN);
    }
}

void CVeskDlg::CreateWebImageWnd() {
    m_pWebImageWnd = std::make_unique<CWebImageWnd>();
    m_pWebImageWnd->Create();
}

void CVeskDlg::AnchorChildren() {
    AddAnchor(m_wndReBar.GetSafeHwnd(), ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    if (m_pWorkArea->GetSafeHwnd())
        AddAnchor(m_pWorkArea->GetSafeHwnd(), ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(m_wndSplitter.GetSafeHwnd(), ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(m_wndPaneTabs.GetSafeHwnd(), ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
}

int CVeskDlg::WorkAreaBottom() const {
    if (m_pWorkArea && m_pWorkArea->GetSafeHwnd()) {
        CRect frame;
        m_pWorkArea->GetWindowRect(&frame);
        ScreenToClient(&frame);
        return frame.bottom;
    }
    CRect splitter;
    m_wndSplitter.GetWindowRect(&splitter);
    ScreenToClient(&splitter);
    return splitter.top - 1;
}

bool CVeskDlg::IsKeyForThisDialog(HWND hWnd) const {
    // The loop offers us the keys of every window of the program (the modal
    // tools, the panels, the web image window): only our own are commands.
    return m_hWnd && ::GetActiveWindow() == m_hWnd && (hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd));
}

BOOL CVeskDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN) {
        // Ctrl as it was when this key went down, not as it is now: with the
        // state of the moment, a quick Ctrl+M whose Ctrl is up again before
        // the M is handled was lost (measured under Wine: 2 of 12 test runs
        // lost one, 0 of 48 with this; the moment's state lagging behind is
        // how we read it, not seen directly).
        // A text box's editing keys are its own: Ctrl+A in the address box selects, never opens a tool.
        if (m_hAccel && ::GetKeyState(VK_CONTROL) < 0 && !AfxIsTextEditingKey(pMsg) &&
            IsKeyForThisDialog(pMsg->hwnd) && ::TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg))
            return TRUE;
    } else if (m_pToolTip && m_pToolTip->GetSafeHwnd()) {
        m_pToolTip->RelayEvent(pMsg);
    }
    if (pMsg->message == WM_COMMAND && pMsg->wParam >= IDC_TOOL_FIRST && pMsg->wParam <= IDC_TOOL_LAST)
        PostMessage(WM_COMMAND, kToolListCommands[pMsg->wParam - IDC_TOOL_FIRST], 0);
    return CResizableDialog::PreTranslateMessage(pMsg);
}

void CVeskDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        ModalScope modal(m_pModalWnd, about);
        about.DoModal();
        return;
    }
    Default();
}

void CVeskDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CVeskDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CVeskDlg::OnSize(UINT nType, int cx, int cy) {
    if (m_wndSplitter.GetSafeHwnd()) {
        CRect rebar, client;
        m_wndReBar.GetClientRect(&rebar);
        GetClientRect(&client);
        m_wndSplitter.SetRange(rebar.bottom + 4, client.bottom - 15);
    }
    CResizableDialog::OnSize(nType, cx, cy);
    // Minimised, the children were laid out at no size; moved back without a
    // repaint of their own, they would stay blank.
    if (nType == SIZE_MINIMIZED)
        m_bMinimized = true;
    else if (m_bMinimized && (nType == SIZE_RESTORED || nType == SIZE_MAXIMIZED)) {
        m_bMinimized = false;
        RepaintAll();
    }
}

void CVeskDlg::RepaintAll() {
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void CVeskDlg::OnSplitterMoved(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const int delta = reinterpret_cast<SPC_NMHDR*>(pNMHDR)->delta;
    if (m_pWorkArea->GetSafeHwnd())
        CSplitterControl::ChangeHeight(m_pWorkArea.get(), delta, CSplitterControl::CW_TOPALIGN);
    CSplitterControl::ChangeHeight(&m_wndPaneTabs, delta, CSplitterControl::CW_BOTTOMALIGN);

    CRect client;
    GetClientRect(&client);
    if (client.Height() <= 0)
        return;
    int percent = WorkAreaBottom() * 100 / client.Height();
    if (percent > 80)
        percent = 100;
    else if (percent < 30)
        percent = 0;
    m_nSplitterPercent = percent;
    const SIZE top = {0, percent};
    const SIZE bottom = {100, percent};
    if (m_pWorkArea->GetSafeHwnd()) {
        RemoveAnchor(m_pWorkArea->GetSafeHwnd());
        AddAnchor(m_pWorkArea->GetSafeHwnd(), ANCHOR_TOP_LEFT, bottom);
    }
    RemoveAnchor(m_wndSplitter.GetSafeHwnd());
    RemoveAnchor(m_wndPaneTabs.GetSafeHwnd());
    AddAnchor(m_wndSplitter.GetSafeHwnd(), top, bottom);
    AddAnchor(m_wndPaneTabs.GetSafeHwnd(), top, ANCHOR_BOTTOM_RIGHT);
    Invalidate();
}

LRESULT CVeskDlg::OnKickIdle(WPARAM, LPARAM lParam) {
    // The modal loop has no application idle of its own; the frame's bars need it.
    if (m_pWorkArea && m_pWorkArea->GetSafeHwnd())
        return theApp.OnIdle(static_cast<LONG>(lParam));
    return 0;
}

LRESULT CVeskDlg::OnSetSaveTarget(WPARAM, LPARAM lParam) {
    m_nSaveTarget = static_cast<int>(lParam);
    if (m_pCaptureEngine)
        m_pCaptureEngine->SetSaveTarget(m_nSaveTarget);
    return 0;
}

LRESULT CVeskDlg::OnGoTray(WPARAM, LPARAM) {
    AddTrayIcon();
    return 0;
}

void CVeskDlg::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
    CResizableDialog::OnGetMinMaxInfo(lpMMI);
    // Never so narrow that the work area's bars squeeze its tool list.
    if (!m_pWorkArea || !m_pWorkArea->m_hWnd || !lpMMI)
        return;
    CRect window, frame;
    GetWindowRect(&window);
    m_pWorkArea->GetClientRect(&frame);
    const LONG needed = window.Width() - frame.Width() + m_pWorkArea->GetMinimumWidth();
    lpMMI->ptMinTrackSize.x = std::max(lpMMI->ptMinTrackSize.x, needed);
}

LRESULT CVeskDlg::OnWindowPosChanging(WPARAM wParam, LPARAM lParam) {
    // The modal loop shows the dialog at its first idle moment; a start into
    // the tray must not be undone by that.
    if (m_bInTray) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->flags &= ~SWP_SHOWWINDOW;
    }
    return CResizableDialog::DefWindowProc(WM_WINDOWPOSCHANGING, wParam, lParam);
}

void CVeskDlg::AddTrayIcon() {
    if (m_bInTray)
        return;
    m_hBalloonWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | TTS_BALLOON, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                      AfxGetInstanceHandle(), nullptr);
    if (m_hBalloonWnd) {
        TOOLINFOW ti = {};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.uFlags = TTF_SUBCLASS | TTF_CENTERTIP;
        ti.hwnd = m_hWnd;
        ti.hinst = AfxGetInstanceHandle();
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        GetClientRect(&ti.rect);
        ::SendMessageW(m_hBalloonWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }

    const CString caption = LoadResString(IDS_APP_CAPTION);
    BOOL added;
    {
        std::lock_guard<std::mutex> lock(m_trayLock);
        m_trayIcon = {};
        m_trayIcon.cbSize = kNotifyIconDataSize;
        m_trayIcon.hWnd = m_hWnd;
        m_trayIcon.uID = 0;
        m_trayIcon.uCallbackMessage = WM_TRAY_NOTIFY;
        m_trayIcon.hIcon = m_hIcon;
        CopyTruncated(m_trayIcon.szTip, std::size(m_trayIcon.szTip), caption, 127);
        m_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        m_trayIcon.uTimeout = 10000;
        if (theApp.m_pMiscOptions && theApp.m_pMiscOptions->ToolTipEffect) {
            m_trayIcon.uFlags |= NIF_INFO;
            m_trayIcon.dwInfoFlags = NIIF_INFO;
            CopyTruncated(m_trayIcon.szInfoTitle, std::size(m_trayIcon.szInfoTitle), caption, 63);
            CopyTruncated(m_trayIcon.szInfo, std::size(m_trayIcon.szInfo), L"캡쳐 알림 효과가 활성화 되었습니다.", 255);
        }
        added = ::Shell_NotifyIconW(NIM_ADD, &m_trayIcon);
    }
    if (added) {
        m_bInTray = true;
        ShowWindow(SW_HIDE);
    } else if (m_hBalloonWnd) {
        ::DestroyWindow(m_hBalloonWnd);
        m_hBalloonWnd = nullptr;
    }
}

void CVeskDlg::RemoveTrayIcon() {
    if (m_hBalloonWnd) {
        ::DestroyWindow(m_hBalloonWnd);
        m_hBalloonWnd = nullptr;
    }
    std::lock_guard<std::mutex> lock(m_trayLock);
    if (m_bInTray)
        ::Shell_NotifyIconW(NIM_DELETE, &m_trayIcon);
    m_bInTray = false;
}

LRESULT CVeskDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    if (lParam == WM_RBUTTONUP) {
        CMenu menu;
        if (menu.LoadMenu(IDR_MENU_TRAY)) {
            CPoint cursor;
            ::GetCursorPos(&cursor);
            // The menu closes on a click elsewhere only while a window of ours is
            // in the foreground. With a modal window open that is the modal
            // window: activating this disabled dialog would lose which of its
            // popups was the last active (measured under Wine).
            HWND front = FrontModalWindow();
            ::SetForegroundWindow(front ? front : m_hWnd);
            if (CMenu* popup = menu.GetSubMenu(0))
                popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, AfxGetMainWnd());
            PostMessage(WM_NULL);
        }
    } else if ((lParam == WM_LBUTTONDBLCLK || lParam == TRAY_RESTORE) && !BringModalToFront()) {
        if (m_pQuickBar)
            m_pQuickBar->ClearTrayCheck();
        RemoveTrayIcon();
        SetForegroundWindow();
        ShowWindow(SW_SHOW);
        RepaintAll();
    }
    return 0;
}

void CVeskDlg::ShowCaptureBalloon(LPCWSTR lpszPath) {
    CString path(lpszPath ? lpszPath : L"");
    int slash = path.ReverseFind(L'\\');
    CString folder = slash >= 0 ? path.Left(slash) : CString();
    CString name = slash >= 0 ? path.Mid(slash + 1) : path;
    // Several workers may finish at once: each sends a consistent record.
    std::lock_guard<std::mutex> lock(m_trayLock);
    CopyTruncated(m_trayIcon.szInfoTitle, std::size(m_trayIcon.szInfoTitle), name, 63);
    CopyTruncated(m_trayIcon.szInfo, std::size(m_trayIcon.szInfo), folder, 255);
    NOTIFYICONDATAW copy = m_trayIcon;
    if (m_bInTray)
        ::Shell_NotifyIconW(NIM_MODIFY, &copy);
}

void CVeskDlg::OnToolbarDropDown(NMHDR* pNMHDR, LRESULT* pResult) {
    auto* tb = reinterpret_cast<NMTOOLBARW*>(pNMHDR);
    CRect rect;
    m_wndToolBar.GetToolBarCtrl().GetRect(tb->iItem, &rect);
    CPoint corner(rect.left, rect.bottom);
    m_wndToolBar.ClientToScreen(&corner);
    UINT menuId = 0;
    switch (tb->iItem) {
    case ID_TB_SAVE: menuId = IDR_MENU_FILE; break;
    case ID_TB_TOOLS: menuId = IDR_MENU_TOOL; break;
    case ID_TB_OPTIONS: menuId = IDR_MENU_OPTIONS; break;
    }
    CMenu menu;
    if (menuId && menu.LoadMenu(menuId)) {
        if (CMenu* popup = menu.GetSubMenu(0))
            popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, corner.x, corner.y + 1, AfxGetMainWnd());
    }
    if ((tb->iItem == ID_TB_SAVE || tb->iItem == ID_TB_TOOLS) && m_pWorkArea->GetSafeHwnd())
        m_pWorkArea->Invalidate();
    *pResult = TBDDRET_DEFAULT;
}

BOOL CVeskDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr && hdr->code == static_cast<UINT>(RBN_CHEVRONPUSHED)) {
        CMenu menu;
        if (menu.LoadMenu(IDR_MENU_TOOLBAR)) {
            CRect bar;
            m_wndToolBar.GetWindowRect(&bar);
            CPoint cursor;
            ::GetCursorPos(&cursor);
            if (CMenu* popup = menu.GetSubMenu(0)) {
                const auto checked = [](CControlBar* bar) {
                    return bar && bar->IsWindowVisible() ? MF_CHECKED : MF_UNCHECKED;
                };
                popup->CheckMenuItem(ID_TOOLBAR_COLOR_BAR, MF_BYCOMMAND | checked(m_pWorkArea->GetColorBar()));
                popup->CheckMenuItem(ID_TOOLBAR_QUICK_OPTIONS, MF_BYCOMMAND | checked(m_pWorkArea->GetQuickBar()));
                popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, bar.bottom, AfxGetMainWnd());
            }
        }
    }
    return CResizableDialog::OnNotify(wParam, lParam, pResult);
}

void CVeskDlg::OnSaveButton() {
    PostMessage(WM_COMMAND, ID_FILE_SAVE_ITEM, 0);
}

void CVeskDlg::OnWebPage() {
    // A plain show is blocked while the dialog is in the tray: restore it first.
    if (m_bInTray)
        OnTrayNotify(0, TRAY_RESTORE);
    if (m_pWorkArea && m_pWorkArea->GetSafeHwnd()) {
        m_pWorkArea->GetView()->OpenTab(L"WebPage", WorkTabWebPage, 0);
        m_pWorkArea->MakeRoomForView();  // the tab's address row may need more than the tool list
    }
}

void CVeskDlg::OnWebImage() {
    if (m_pWebImageWnd && m_pWebImageWnd->GetSafeHwnd())
        m_pWebImageWnd->ShowWindow(SW_SHOW);
}

void CVeskDlg::OnGifMaker() {
    CGifWnd gifMaker(this);
    ModalScope modal(m_pModalWnd, gifMaker);
    gifMaker.DoModal();
}

void CVeskDlg::OnOK() {
    // Enter must not end the program and lose the saved-DC captures.
}

void CVeskDlg::OnCancel() {
    // Nor Escape: the dialog ends only by the ways out that ask first.
}

CVeskDlg::UnsavedCaptures CVeskDlg::CountUnsavedCaptures() const {
    UnsavedCaptures unsaved;
    if (m_wndDcTab.m_list.GetSafeHwnd())
        unsaved.savedDc = m_wndDcTab.m_list.GetItemCount();
    if (const CContinueWnd* panel = CContinueWnd::GetOpenPanel())
        unsaved.panelFrames = panel->CountFramesOnlyInMemory();
    return unsaved;
}

bool CVeskDlg::ConfirmLeaving() {
    // A second way out taken while the question is open waits for its answer.
    if (m_bAskingToLeave)
        return false;
    const UnsavedCaptures unsaved = CountUnsavedCaptures();
    if (!unsaved.Any())
        return true;
    // One line for each place that holds captures, then the question.
    CString question, line;
    if (unsaved.savedDc > 0) {
        line.Format(LoadResString(IDS_LEAVE_UNSAVED_DC), unsaved.savedDc);
        question += line + L"\n";
    }
    if (unsaved.panelFrames > 0) {
        line.Format(LoadResString(IDS_LEAVE_UNSAVED_FRAMES), unsaved.panelFrames);
        question += line + L"\n";
    }
    question += LoadResString(IDS_LEAVE_CONFIRM);
    m_bAskingToLeave = true;
    const int answer = AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND);
    m_bAskingToLeave = false;
    return answer == IDYES;
}

void CVeskDlg::OnExit() {
    // A modal window runs its loop inside this dialog's: ending this one
    // under it would leave the program running, unseen, until it closed. The
    // navigator ends with its panel below, after the question; a box or
    // dialog of either is answered first, as over any modal window.
    if (m_bNavigatorOpen) {
        if (const HWND popup = m_navigator.OwnPopupInFront()) {
            ::SetForegroundWindow(popup);
            return;
        }
    } else if (BringModalToFront()) {
        CloseModalThenExit();
        return;
    }
    if (!ConfirmLeaving())
        return;
    RemoveTrayIcon();
    // The navigator and its panel run modal loops inside this dialog's: they
    // end now, or the program would go on until the user closed them.
    if (m_bNavigatorOpen)
        m_navigator.CloseForExit();
    CDialog::OnCancel();
}

void CVeskDlg::OnClose() {
    // The close box, Alt+F4, the system menu and the task bar.
    OnExit();
}

LRESULT CVeskDlg::OnQueryEndSession(WPARAM, LPARAM lParam) {
    // Nobody may be there to answer a box: the system asks the user itself,
    // with our reason, whether to end the session all the same.
    const UnsavedCaptures unsaved = CountUnsavedCaptures();
    if (!unsaved.Any() || (lParam & ENDSESSION_CRITICAL))
        return TRUE;
    CString reason;
    if (unsaved.savedDc > 0)
        reason = LoadResString(IDS_SHUTDOWN_UNSAVED_DC);
    if (unsaved.panelFrames > 0)
        reason += (reason.IsEmpty() ? L"" : L"\n") + LoadResString(IDS_SHUTDOWN_UNSAVED_FRAMES);
    m_bShutdownBlocked = ::ShutdownBlockReasonCreate(m_hWnd, reason) != FALSE;
    return FALSE;
}

LRESULT CVeskDlg::OnEndSession(WPARAM wParam, LPARAM) {
    if (m_bShutdownBlocked) {
        ::ShutdownBlockReasonDestroy(m_hWnd);
        m_bShutdownBlocked = false;
    }
    // Captures still being written would be cut off when the process is
    // ended, leaving empty or half-written files: they finish first, or give
    // up and leave nothing.
    if (wParam && m_pCaptureEngine)
        m_pCaptureEngine->FinishForSessionEnd(kSessionEndFinishMs, kSessionEndGiveUpMs);
    // The system ends the process once this returns, without destroying the
    // dialog: the counter that captures advanced is saved here, as at the exit.
    // Nobody may be there to answer a box, and the system would wait for it:
    // a failure goes untold.
    if (wParam && theApp.m_pFileOptions) {
        profile::SetWriteFailureHandler(nullptr);
        theApp.m_pFileOptions->SaveChanges(theApp.m_strSettingsPath);
    }
    return 0;
}

void CVeskDlg::OnTrayRestore() {
    PostMessage(WM_TRAY_NOTIFY, 0, TRAY_RESTORE);
}

void CVeskDlg::OnTrayCommand(UINT nID) {
    if (BringModalToFront())
        return;
    for (const TrayCommand& t : kTrayCommands) {
        if (t.trayId == nID) {
            PostMessage(WM_COMMAND, t.command, 0);
            return;
        }
    }
}

INT_PTR CVeskDlg::RunOptionsSheet(bool singlePage, int page) {
    if (!theApp.m_pFileOptions || !theApp.m_pWatermarkOptions || !theApp.m_pMiscOptions || !theApp.m_pOptionsTree)
        return -1;
    COptionsPropertySheet sheet(*theApp.m_pFileOptions, *theApp.m_pWatermarkOptions, *theApp.m_pMiscOptions,
                                *theApp.m_pOptionsTree);
    sheet.SinglePage = singlePage;
    sheet.PageIndex = page;
    ModalScope modal(m_pModalWnd, sheet);
    return sheet.DoModal();
}

HWND CVeskDlg::FrontModalWindow() const {
    // Our modal windows disable this dialog while they run.
    if (!m_hWnd || ::IsWindowEnabled(m_hWnd))
        return nullptr;
    HWND modal = m_pModalWnd && m_pModalWnd->GetSafeHwnd() ? m_pModalWnd->m_hWnd : m_hWnd;
    HWND front = ::GetLastActivePopup(modal);
    if (!front || !::IsWindowVisible(front) || !::IsWindowEnabled(front))
        front = modal;
    return front;
}

bool CVeskDlg::BringModalToFront() {
    HWND front = FrontModalWindow();
    if (!front)
        return false;
    if (front != m_hWnd)
        ::SetForegroundWindow(front);
    return true;
}

void CVeskDlg::CloseModalThenExit() {
    // Only our own window with nothing open over it is asked; a question or
    // file dialog of its own has to be answered first.
    CWnd* modal = m_pModalWnd;
    if (!modal || !modal->GetSafeHwnd() || ::GetLastActivePopup(modal->m_hWnd) != modal->m_hWnd)
        return;
    modal->SendMessage(WM_COMMAND, IDCANCEL);
    if (!modal->ContinueModal())
        PostMessage(WM_COMMAND, ID_FILE_EXIT);
}

void CVeskDlg::OnOptionsAll() {
    // Never a second sheet (whatever path the command came by): the options
    // it edits would be reloaded under the first.
    if (!theApp.m_pFileOptions || BringModalToFront())
        return;
    // The counter that captures advanced reaches the file before everything is
    // reloaded; what this run did not change is left as another copy may have saved it.
    theApp.m_pFileOptions->SaveChanges(theApp.m_strSettingsPath);
    theApp.m_pFileOptions->LoadOptions(theApp.m_strSettingsPath);
    theApp.m_pWatermarkOptions->LoadOptions(theApp.m_strSettingsPath);
    theApp.m_pMiscOptions->LoadOptions(theApp.m_strSettingsPath);
    const INT_PTR result = RunOptionsSheet(false, COpTreeWnd::kFilePage);
    if (result == IDOK || result == IDCANCEL)
        BuildWatermarkBitmap();
}

void CVeskDlg::OnOptionsFile() {
    if (!theApp.m_pFileOptions || BringModalToFront())
        return;
    theApp.m_pFileOptions->SaveChanges(theApp.m_strSettingsPath);
    theApp.m_pFileOptions->LoadOptions(theApp.m_strSettingsPath);
    RunOptionsSheet(true, COpTreeWnd::kFilePage);
}

void CVeskDlg::OnOptionsWatermark() {
    if (!theApp.m_pWatermarkOptions || BringModalToFront())
        return;
    theApp.m_pWatermarkOptions->LoadOptions(theApp.m_strSettingsPath);
    const INT_PTR result = RunOptionsSheet(true, COpTreeWnd::kWatermarkPage);
    if (result == IDOK || result == IDCANCEL)
        BuildWatermarkBitmap();
}

void CVeskDlg::OnOptionsMisc() {
    if (!theApp.m_pMiscOptions || BringModalToFront())
        return;
    theApp.m_pMiscOptions->LoadOptions(theApp.m_strSettingsPath);
    RunOptionsSheet(true, COpTreeWnd::kMiscPage);
}

BOOL CVeskDlg::DestroyWindow() {
    // Region windows hand captures to the engine: they end first. Older ones
    // still open go with this window, which owns them.
    if (m_pDynamicRegionWnd)
        m_pDynamicRegionWnd->EndCapture();
    if (m_pStaticRegionWnd)
        m_pStaticRegionWnd->EndCapture();
    // Workers deliver into the panes and read the options: none may outlive them.
    if (m_pCaptureEngine)
        m_pCaptureEngine->JoinAll();
    // The panes' thumbnail threads end with the tab control's windows.
    if (m_wndPaneTabs.GetSafeHwnd())
        m_wndPaneTabs.DestroyWindow();
    if (theApp.m_pFileOptions)
        theApp.m_pFileOptions->SaveChanges(theApp.m_strSettingsPath);
    m_pCaptureEngine.reset();
    m_pCaptureSink.reset();
    DestroyFrameBars();
    m_pWorkArea.reset();
    RemoveTrayIcon();
    delete m_pToolTip;
    m_pToolTip = nullptr;
    m_pWebImageWnd.reset();
    return CResizableDialog::DestroyWindow();
}

void CVeskDlg::StartCaptureEngine() {
    if (!theApp.m_pFileOptions || !theApp.m_pWatermarkOptions || !theApp.m_pMiscOptions)
        return;
    m_pCaptureSink = std::make_unique<CPaneCaptureSink>(
        m_wndFileTab, m_wndDcTab, [this](LPCWSTR path) { ShowCaptureBalloon(path); },
        [] { CContinueWnd::OnCaptureSeriesComplete(); });
    m_pCaptureEngine = std::make_unique<CCaptureEngine>(*theApp.m_pFileOptions, *theApp.m_pWatermarkOptions,
                                                        *theApp.m_pMiscOptions);
    m_pCaptureEngine->Attach(m_hWnd, m_pCaptureSink.get());
    m_pCaptureEngine->SetAddressSpaceProbe(TrialAddressSpaceProbe());
    m_pCaptureEngine->SetSaveTarget(m_nSaveTarget);
    BuildWatermarkBitmap();
}

void CVeskDlg::BuildWatermarkBitmap() {
    if (!m_pCaptureEngine)
        return;
    // The font is asked for each time: GetFont's wrapper is a temporary that
    // goes at the next idle, and a kept pointer to it later reads whatever
    // took its memory (seen: a saved capture's bitmap, whose height then
    // turned the text out of the mark).
    HDC dc = ::GetDC(m_hWnd);
    m_pCaptureEngine->BuildWatermarkBitmap(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)), dc);
    ::ReleaseDC(m_hWnd, dc);
}

void CVeskDlg::StartCapture(HDC hSource, RECT rect, BOOL bNoList, bool bSeries, int nSeriesCount,
                            HBITMAP hSourceBitmap, const POINT* pCursorAt) {
    if (m_pCaptureEngine) {
        m_pCaptureEngine->StartCapture(hSource, rect, bNoList, bSeries, nSeriesCount, hSourceBitmap, pCursorAt);
        return;
    }
    if (hSource)
        ::DeleteDC(hSource);
    if (hSourceBitmap)
        ::DeleteObject(hSourceBitmap);
}

LRESULT CVeskDlg::OnCaptureDone(WPARAM, LPARAM lParam) {
    return m_pCaptureEngine ? m_pCaptureEngine->OnCaptureDone(static_cast<int>(lParam)) : 0;
}

void CVeskDlg::OnFullScreenCapture() {
    if (m_pCaptureEngine)
        m_pCaptureEngine->StartFullScreenCapture();
}

void CVeskDlg::OnCursorCapture() {
    if (!theApp.m_pFileOptions)
        return;
    CString path, failure;
    // Each capture replaces the one cursor file: it keeps its one entry.
    if (CaptureCursorToFile(theApp.m_pFileOptions->SaveFolder(), path, failure))
        m_wndFileTab.AddOrRenewItem(path);
    else
        ShowFailureBox(failure);
}

void CVeskDlg::OnControlCapture() {
    CControlWnd finder([this](const RECT& rect) { StartCapture(nullptr, rect, FALSE, false, 0); });
    ModalScope modal(m_pModalWnd, finder);
    finder.DoModal();
    finder.SetBitmap(nullptr);  // the skinned base owns its background: freed once, here
}

void CVeskDlg::OnNavigator() {
    // The tray can post the command again while the navigator runs.
    if (m_bNavigatorOpen)
        return;
    m_bNavigatorOpen = true;
    m_navigator.AttachEngine(m_pCaptureEngine.get());
    ModalScope modal(m_pModalWnd, m_navigator);
    m_navigator.DoModal();
    m_bNavigatorOpen = false;
}

void CVeskDlg::OnWatermarkTool() {
    CWatermarkWnd tool(theApp.m_pWatermarkOptions,
                       theApp.m_pFileOptions ? theApp.m_pFileOptions->SaveFolder().GetString() : nullptr, this);
    ModalScope modal(m_pModalWnd, tool);
    tool.DoModal();
}

// Entries that leave the saved-DC pane give their memory back.
static CPaneItemHost::ReleaseBitmapFn ReleaseSavedDcBitmap(ICaptureSink* sink) {
    return [sink](HBITMAP bitmap) {
        if (sink)
            static_cast<CPaneCaptureSink*>(sink)->ReleaseBitmap(bitmap);
    };
}

void CVeskDlg::OnSaveItem() {
    if (!theApp.m_pFileOptions)
        return;
    CPaneItemHost host(m_wndFileTab, m_wndDcTab, ReleaseSavedDcBitmap(m_pCaptureSink.get()));
    SaveSelectedItem(GatherPaneItemContext(m_pWorkArea ? m_pWorkArea->GetView() : nullptr, m_wndFileTab, m_wndDcTab),
                     theApp.m_pFileOptions->SaveFolder(), host);
}

// Never silent: with no picture to write it says so before asking for a
// name, and again should the picture be gone once the name is given.
void CVeskDlg::OnSaveItemAs() {
    const auto context = [this] {
        return GatherPaneItemContext(m_pWorkArea ? m_pWorkArea->GetView() : nullptr, m_wndFileTab, m_wndDcTab);
    };
    const auto nothingToSave = [] { AfxMessageBox(LoadResString(IDS_NOTHING_TO_SAVE_AS), MB_OK | MB_ICONINFORMATION); };
    if (!CanSaveItemAs(context())) {
        nothingToSave();
        return;
    }
    const CString path = AskSaveAsPath(this);
    if (path.IsEmpty())
        return;
    CPaneItemHost host(m_wndFileTab, m_wndDcTab, ReleaseSavedDcBitmap(m_pCaptureSink.get()));
    if (SaveSelectedItemAs(context(), path, host) == PaneCommandResult::NotApplicable)
        nothingToSave();
}

void CVeskDlg::OnDeleteItem() {
    CPaneItemHost host(m_wndFileTab, m_wndDcTab, ReleaseSavedDcBitmap(m_pCaptureSink.get()));
    DeleteSelectedItem(GatherPaneItemContext(m_pWorkArea ? m_pWorkArea->GetView() : nullptr, m_wndFileTab, m_wndDcTab),
                       host);
}

// Shows a hidden bar and hides a visible one; bars not built yet are left alone.
// The bar's own style counts: before the dialog first shows, every bar would
// look hidden to IsWindowVisible.
static void ToggleFrameBar(CMainFrmWnd* frame, CControlBar* bar) {
    if (frame && bar)
        frame->ShowBar(bar, !(bar->GetStyle() & WS_VISIBLE));
}

void CVeskDlg::OnToggleColorBar() {
    if (m_pWorkArea)
        ToggleFrameBar(m_pWorkArea.get(), m_pWorkArea->GetColorBar());
}

void CVeskDlg::OnToggleQuickBar() {
    if (m_pWorkArea)
        ToggleFrameBar(m_pWorkArea.get(), m_pWorkArea->GetQuickBar());
}

RegionCaptureOptions CVeskDlg::GetRegionCaptureOptions() const {
    RegionCaptureOptions options;
    if (const COpContinuePage* misc = theApp.m_pMiscOptions) {
        options.layered = misc->Layered != 0;
        options.pointerEffect = misc->PointerEffect != 0;
        options.magnifierEffect = misc->MagnifierEffect != 0;
        options.keepEffect = misc->KeepEffect != 0;
    }
    return options;
}

void CVeskDlg::StartRegionCapture(HDC hSource, const RECT& rect, HBITMAP hBitmap, POINT releasedAt) {
    StartCapture(hSource, rect, FALSE, false, 0, hBitmap, &releasedAt);
}

void CVeskDlg::OnRegionWindowGone(CWnd* pWnd) {
    if (pWnd == m_pDynamicRegionWnd)
        m_pDynamicRegionWnd = nullptr;
    if (pWnd == m_pStaticRegionWnd)
        m_pStaticRegionWnd = nullptr;
}

bool CVeskDlg::EndRegionSession() {
    const bool wasOpen = m_pDynamicRegionWnd || m_pStaticRegionWnd;
    if (m_pDynamicRegionWnd)
        m_pDynamicRegionWnd->EndCapture();
    if (m_pStaticRegionWnd)
        m_pStaticRegionWnd->EndCapture();
    // A window whose tracker loop runs ends when the loop does: it stays the session.
    if (m_pDynamicRegionWnd || m_pStaticRegionWnd)
        return false;
    if (wasOpen) {
        // A frozen capture copies the screen as it opens: what the old window
        // covered is repainted first.
        RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::Sleep(kHiddenSettleMs);
    }
    return true;
}

void CVeskDlg::OnRegionCapture(UINT nID) {
    for (const RegionCommand& r : kRegionCommands) {
        if (r.command == nID) {
            OpenRegionCapture(r.frozen, r.tracker);
            return;
        }
    }
}

void CVeskDlg::OpenRegionCapture(bool frozen, bool tracker) {
    if (!EndRegionSession())
        return;
    if (frozen)
        m_pStaticRegionWnd = CStaticRegionWnd::Open(this, tracker);
    else
        m_pDynamicRegionWnd = CDynamicRegionWnd::Open(this, tracker);
}
