#include "app/continuous/ContinueWnd.h"

#include "app/AppMessages.h"
#include "app/AppStrings.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/ScopedGdi.h"
#include "app/continuous/FrameFit.h"
#include "app/continuous/FrameTiming.h"
#include "app/continuous/NavigatorWnd.h"
#include "resources/resource.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cwchar>

namespace {

constexpr int kModeIds[] = {IDC_CONTINUE_MODE_CAPTURE, IDC_CONTINUE_MODE_FILES, IDC_CONTINUE_MODE_DC};
constexpr int kCaptureControls[] = {IDC_CONTINUE_MODE_CAPTURE, IDC_CONTINUE_MODE_FILES, IDC_CONTINUE_MODE_DC,
                                    IDC_CONTINUE_RESET,        IDC_CONTINUE_START,      IDC_CONTINUE_MAKE_GIF,
                                    IDC_CONTINUE_DELETE,       IDC_CONTINUE_SET_TIME,   IDC_CONTINUE_SET_ALL_TIMES,
                                    IDC_CONTINUE_RESIZE_ALL};
constexpr int kGifControls[] = {IDC_CONTINUE_MODE_CAPTURE, IDC_CONTINUE_MODE_FILES,   IDC_CONTINUE_MODE_DC,
                                IDC_CONTINUE_RESET,        IDC_CONTINUE_START,        IDC_CONTINUE_STOP,
                                IDC_CONTINUE_DELETE,       IDC_CONTINUE_LOOP,         IDC_CONTINUE_KEEP_RATIO,
                                IDC_CONTINUE_SET_TIME,     IDC_CONTINUE_SET_ALL_TIMES, IDC_CONTINUE_RESIZE_ALL,
                                IDC_CONTINUE_MAKE_GIF};
// Labels loaded from the string table entry of their own id.
constexpr int kLabelIds[] = {IDC_CONTINUE_MODE_CAPTURE, IDC_CONTINUE_MODE_FILES, IDC_CONTINUE_MODE_DC,
                             IDC_CONTINUE_TIME_LABEL,   IDC_CONTINUE_COUNT_LABEL, IDC_CONTINUE_RESET,
                             IDC_CONTINUE_START,        IDC_CONTINUE_STOP,        IDC_CONTINUE_LOOP,
                             IDC_CONTINUE_DELETE,       IDC_CONTINUE_KEEP_RATIO,  IDC_CONTINUE_FRAME_TIME_LABEL,
                             IDC_CONTINUE_SET_TIME,     IDC_CONTINUE_WIDTH_LABEL, IDC_CONTINUE_HEIGHT_LABEL,
                             IDC_CONTINUE_RESIZE_ALL,   IDC_CONTINUE_MAKE_GIF,    IDC_CONTINUE_SET_ALL_TIMES};

constexpr int kStripHeight = 15;
constexpr COLORREF kProgressBar = RGB(0, 255, 255);

constexpr wchar_t kNoFramesText[] = L"GIF로 만들 이미지가 없습니다.";
constexpr wchar_t kWriteFailedText[] = L"GIF 파일을 저장하지 못했습니다.\n%s";
constexpr wchar_t kBusyClosingText[] = L"GIF 파일을 만드는 중입니다. 다 만든 뒤에 닫으세요.";
constexpr wchar_t kBadTimeText[] = L"시간을 0보다 큰 숫자로 입력하세요. (1초는 10입니다)";
constexpr wchar_t kBadCountText[] = L"캡쳐갯수를 1 이상의 정수로 입력하세요.";

// The whole text is one number (blanks around it allowed).
bool ParseWhole(const CString& text, double& value, bool integer) {
    const wchar_t* begin = text;
    wchar_t* end = nullptr;
    errno = 0;
    if (integer)
        value = static_cast<double>(std::wcstol(begin, &end, 10));
    else
        value = std::wcstod(begin, &end);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == L' ' || *end == L'\t')
        ++end;
    return *end == L'\0';
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

}  // namespace

CContinueWnd* CContinueWnd::s_pOpenPanel = nullptr;

BEGIN_MESSAGE_MAP(CContinueWnd, CDialog)
    ON_BN_CLICKED(IDC_CONTINUE_MODE_CAPTURE, OnModeCaptureOnly)
    ON_BN_CLICKED(IDC_CONTINUE_MODE_FILES, OnModeFiles)
    ON_BN_CLICKED(IDC_CONTINUE_MODE_DC, OnModeBitmaps)
    ON_BN_CLICKED(IDC_CONTINUE_RESET, OnReset)
    ON_BN_CLICKED(IDC_CONTINUE_START, OnStart)
    ON_BN_CLICKED(IDC_CONTINUE_STOP, OnStop)
    ON_LBN_SELCHANGE(IDC_CONTINUE_FRAMES, OnFrameSelChange)
    ON_BN_CLICKED(IDC_CONTINUE_SET_TIME, OnChangeFrameTime)
    ON_BN_CLICKED(IDC_CONTINUE_SET_ALL_TIMES, OnChangeAllTimes)
    ON_BN_CLICKED(IDC_CONTINUE_RESIZE_ALL, OnResizeAll)
    ON_EN_UPDATE(IDC_CONTINUE_WIDTH, OnWidthUpdate)
    ON_EN_UPDATE(IDC_CONTINUE_HEIGHT, OnHeightUpdate)
    ON_BN_CLICKED(IDC_CONTINUE_MAKE_GIF, OnMakeGif)
    ON_BN_CLICKED(IDC_CONTINUE_DELETE, OnDeleteFrame)
    ON_MESSAGE(WM_GIF_PROGRESS, OnGifProgress)
    ON_MESSAGE(WM_GIF_DONE, OnGifDone)
    ON_WM_ERASEBKGND()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CContinueWnd::CContinueWnd(CNavigatorWnd* owner, CWnd* pParent)
    : CDialog(IDD_CONTINUE, pParent), m_pOwner(owner) {}

CContinueWnd::~CContinueWnd() {
    if (s_pOpenPanel == this)
        s_pOpenPanel = nullptr;
}

void CContinueWnd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONTINUE_FRAMES, m_wndFrames);
    DDX_Text(pDX, IDC_CONTINUE_TIME, m_fTime);
    DDX_Text(pDX, IDC_CONTINUE_COUNT, m_nCount);
    DDX_Text(pDX, IDC_CONTINUE_FRAME_TIME, m_fFrameTime);
    DDX_Text(pDX, IDC_CONTINUE_WIDTH, m_nWidth);
    DDX_Text(pDX, IDC_CONTINUE_HEIGHT, m_nHeight);
    DDX_Check(pDX, IDC_CONTINUE_KEEP_RATIO, m_bKeepRatio);
    DDX_Check(pDX, IDC_CONTINUE_LOOP, m_bLoop);
}

BOOL CContinueWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    GetWindowRect(&m_rcFull);
    ShrinkPanel();
    PlaceBesideFrame();

    ResetFields();
    m_nMode = 0;
    m_bSettingSize = true;
    UpdateData(FALSE);
    m_bSettingSize = false;

    SetWindowText(LoadResString(IDD_CONTINUE));
    for (int id : kLabelIds)
        SetDlgItemText(id, LoadResString(static_cast<UINT>(id)));
    SetDoneLabel(0);

    SetMode(IDC_CONTINUE_MODE_CAPTURE);
    m_wndFrames.Init();
    s_pOpenPanel = this;
    return TRUE;
}

void CContinueWnd::OnDestroy() {
    if (s_pOpenPanel == this)
        s_pOpenPanel = nullptr;
    CDialog::OnDestroy();
}

void CContinueWnd::OnCaptureSeriesComplete() {
    if (s_pOpenPanel)
        s_pOpenPanel->LoadCapturedFiles();
}

void CContinueWnd::ResetFields() {
    m_fTime = 0.0f;
    m_nCount = 0;
    m_fFrameTime = 0.0f;
    m_nWidth = 0;
    m_nHeight = 0;
    m_bRunning = 0;
    m_bKeepRatio = 1;
    m_bLoop = 1;
    m_fRefWidth = 0.0f;
    m_fRefHeight = 0.0f;
}

void CContinueWnd::PlaceBesideFrame() {
    if (!m_pOwner || !m_pOwner->GetSafeHwnd())
        return;
    RECT frame = {};
    m_pOwner->GetWindowRect(&frame);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    // Room for the whole panel, which grows to it in the GIF modes.
    const NavRect at = NavigatorPanelBeside({frame.left, frame.top, frame.right, frame.bottom},
                                            m_rcFull.right - m_rcFull.left, m_rcFull.bottom - m_rcFull.top,
                                            {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
                                             monitor.rcWork.bottom});
    SetWindowPos(nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CContinueWnd::ShrinkPanel() {
    CWnd* reset = GetDlgItem(IDC_CONTINUE_RESET);
    if (!reset)
        return;
    RECT button, panel;
    reset->GetWindowRect(&button);
    GetWindowRect(&panel);
    MoveWindow(panel.left, panel.top, panel.right - panel.left, button.bottom + 14 - panel.top);
}

void CContinueWnd::ShowFullPanel() {
    RECT panel;
    GetWindowRect(&panel);
    MoveWindow(panel.left, panel.top, m_rcFull.right - m_rcFull.left, m_rcFull.bottom - m_rcFull.top);
}

void CContinueWnd::SetDoneLabel(int shots) {
    CString text;
    text.Format(L"캡쳐 완료:%d", shots);
    SetDlgItemText(IDC_CONTINUE_DONE, text);
}

void CContinueWnd::SetMode(int id) {
    for (int index = 0; index < 3; ++index) {
        CWnd* radio = GetDlgItem(kModeIds[index]);
        if (!radio)
            continue;
        if (kModeIds[index] != id) {
            CheckDlgButton(kModeIds[index], BST_UNCHECKED);
            continue;
        }
        m_nMode = index;
        CheckDlgButton(id, BST_CHECKED);
        ResetFields();
        // The last series hands its shots over about a second after its last
        // one, when the buttons are back already: they go with the frames, or
        // they would come back in the new mode.
        CContinueListBoxWnd::DiscardPendingShots();
        m_wndFrames.ClearFrames();
        SetDoneLabel(0);
        m_bSettingSize = true;
        UpdateData(FALSE);
        m_bSettingSize = false;
    }
}

bool CContinueWnd::MayDiscardFrames() {
    return !HoldsFramesOnlyInMemory() ||
           AfxMessageBox(LoadResString(IDS_CONTINUE_DISCARD_UNSAVED), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
               IDYES;
}

bool CContinueWnd::ChangeMode(int id) {
    // The radio button has already checked itself: when the mode stays, the
    // check goes back to it. A click on the checked mode changes nothing.
    if (id == kModeIds[m_nMode] || !MayDiscardFrames()) {
        CheckRadioButton(IDC_CONTINUE_MODE_CAPTURE, IDC_CONTINUE_MODE_DC, kModeIds[m_nMode]);
        return false;
    }
    SetMode(id);
    return true;
}

void CContinueWnd::OnModeCaptureOnly() {
    if (ChangeMode(IDC_CONTINUE_MODE_CAPTURE))
        ShrinkPanel();
}

void CContinueWnd::OnModeFiles() {
    if (ChangeMode(IDC_CONTINUE_MODE_FILES))
        ShowFullPanel();
}

void CContinueWnd::OnModeBitmaps() {
    if (ChangeMode(IDC_CONTINUE_MODE_DC))
        ShowFullPanel();
}

void CContinueWnd::OnReset() {
    if (!MayDiscardFrames())
        return;
    SetMode(IDC_CONTINUE_MODE_CAPTURE);
    ResetFields();
    m_nMode = 0;
    m_wndFrames.ClearFrames();
    SetDoneLabel(0);
    ShrinkPanel();
    m_bSettingSize = true;
    UpdateData(FALSE);
    m_bSettingSize = false;
}

void CContinueWnd::EnableCaptureControls(BOOL enable) {
    for (int id : kCaptureControls) {
        if (CWnd* control = GetDlgItem(id))
            control->EnableWindow(enable);
    }
}

void CContinueWnd::EnableGifControls(BOOL enable) {
    for (int id : kGifControls) {
        if (CWnd* control = GetDlgItem(id))
            control->EnableWindow(enable);
    }
}

bool CContinueWnd::CheckSeriesFields() {
    CString text;
    double value = 0.0;
    GetDlgItemText(IDC_CONTINUE_TIME, text);
    if (!ParseWhole(text, value, false) || !std::isfinite(static_cast<float>(value)) ||
        frame_timing::TenthsToMilliseconds(static_cast<float>(value)) <= 0) {
        RefuseField(IDC_CONTINUE_TIME, kBadTimeText);
        return false;
    }
    GetDlgItemText(IDC_CONTINUE_COUNT, text);
    if (!ParseWhole(text, value, true) || value < 1.0) {
        RefuseField(IDC_CONTINUE_COUNT, kBadCountText);
        return false;
    }
    return true;
}

void CContinueWnd::RefuseField(int id, LPCWSTR text) {
    AfxMessageBox(text, MB_OK | MB_ICONWARNING);
    if (CWnd* edit = GetDlgItem(id)) {
        GotoDlgCtrl(edit);
        edit->SendMessage(EM_SETSEL, 0, -1);
    }
}

void CContinueWnd::OnStart() {
    // A series that cannot start says why, before the other fields are read.
    if (!CheckSeriesFields() || !UpdateData(TRUE))
        return;
    const int interval = frame_timing::TenthsToMilliseconds(m_fTime);
    if (m_nCount <= 0 || interval <= 0)
        return;
    m_bRunning = 1;
    m_nSeriesCount = m_nCount;
    m_fSeriesTime = m_fTime;
    EnableCaptureControls(FALSE);
    // The frame is still ending the last series: nothing starts, and the
    // controls stay usable for another try.
    if (!m_pOwner || !m_pOwner->StartContinueCapture(m_nSeriesCount, interval, m_nMode)) {
        m_bRunning = 0;
        EnableCaptureControls(TRUE);
    }
}

void CContinueWnd::OnStop() {
    m_bRunning = 0;
}

void CContinueWnd::UpdateCaptureCount(int shots) {
    SetDoneLabel(shots);
    if (shots >= m_nSeriesCount || !m_bRunning) {
        m_bRunning = 0;  // a finished series no longer runs
        EnableCaptureControls(TRUE);
    }
}

void CContinueWnd::LoadCapturedFiles() {
    m_nPercent = 0;
    const float time = m_fSeriesTime > 0.0f ? m_fSeriesTime : m_fTime;
    for (const CString& name : CapturedFileList)
        m_wndFrames.AddFileFrame(name, time);
    CapturedFileList.clear();
}

void CContinueWnd::LoadCapturedBitmaps() {
    m_nPercent = 0;
    const float time = m_fSeriesTime > 0.0f ? m_fSeriesTime : m_fTime;
    for (CapturedBitmap& shot : CapturedBitmapList) {
        m_wndFrames.AddBitmapFrame(shot.bitmap, time);
        if (shot.bitmap)
            DeleteObject(shot.bitmap);
    }
    CapturedBitmapList.clear();
}

void CContinueWnd::OnFrameSelChange() {
    const ContinueFrame* frame = m_wndFrames.GetSelectedFrame();
    if (!frame)
        return;
    m_fFrameTime = frame->time;
    m_nWidth = frame->width;
    m_nHeight = frame->height;
    m_fRefWidth = static_cast<float>(frame->width);
    m_fRefHeight = static_cast<float>(frame->height);
    m_bSettingSize = true;
    UpdateData(FALSE);
    m_bSettingSize = false;
}

void CContinueWnd::OnChangeFrameTime() {
    if (UpdateData(TRUE) && m_fFrameTime > 0.0f)
        m_wndFrames.SetSelectedFrameTime(m_fFrameTime);
}

void CContinueWnd::OnChangeAllTimes() {
    if (UpdateData(TRUE) && m_fFrameTime > 0.0f)
        m_wndFrames.SetAllFrameTimes(m_fFrameTime);
}

// The keep-ratio edits read only their own controls: pulling every field on
// each keystroke would complain about an unrelated edit again and again.
void CContinueWnd::OnWidthUpdate() {
    if (m_bSettingSize || !IsDlgButtonChecked(IDC_CONTINUE_KEEP_RATIO))
        return;
    BOOL ok = FALSE;
    const int width = static_cast<int>(GetDlgItemInt(IDC_CONTINUE_WIDTH, &ok, TRUE));
    const int height = frame_fit::ProportionalSide(width, m_fRefWidth, m_fRefHeight);
    if (!ok || height < 0)
        return;
    m_nWidth = width;
    m_nHeight = height;
    m_bSettingSize = true;
    AfxSetWindowText(::GetDlgItem(m_hWnd, IDC_CONTINUE_HEIGHT), IntToString(height));
    m_bSettingSize = false;
}

void CContinueWnd::OnHeightUpdate() {
    if (m_bSettingSize || !IsDlgButtonChecked(IDC_CONTINUE_KEEP_RATIO))
        return;
    BOOL ok = FALSE;
    const int height = static_cast<int>(GetDlgItemInt(IDC_CONTINUE_HEIGHT, &ok, TRUE));
    const int width = frame_fit::ProportionalSide(height, m_fRefHeight, m_fRefWidth);
    if (!ok || width < 0)
        return;
    m_nWidth = width;
    m_nHeight = height;
    m_bSettingSize = true;
    AfxSetWindowText(::GetDlgItem(m_hWnd, IDC_CONTINUE_WIDTH), IntToString(width));
    m_bSettingSize = false;
}

void CContinueWnd::OnResizeAll() {
    if (!UpdateData(TRUE))
        return;
    if (m_wndFrames.GetCount() > 0 && m_nWidth > 0 && m_nHeight > 0)
        m_wndFrames.ResizeAllFrames(m_nWidth, m_nHeight);
}

void CContinueWnd::OnDeleteFrame() {
    m_wndFrames.DeleteSelectedFrame(m_nMode == 1 ? TRUE : FALSE);
}

void CContinueWnd::OnMakeGif() {
    CFileDialog dialog(FALSE, L"GIF", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, L"GIF Files(*.gif)|*.gif;||",
                       this);
    if (dialog.DoModal() != IDOK)
        return;
    const CString path = dialog.GetPathName();
    if (!path.IsEmpty())
        MakeGif(path);
}

bool CContinueWnd::MakeGif(const CString& path) {
    if (m_wndFrames.IsBuilding() || !UpdateData(TRUE))
        return false;
    if (!m_wndFrames.StartGifBuild(path, m_bLoop)) {
        AfxMessageBox(kNoFramesText, MB_OK | MB_ICONWARNING);
        return false;
    }
    EnableGifControls(FALSE);
    return true;
}

RECT CContinueWnd::StatusStrip() const {
    RECT strip;
    GetClientRect(&strip);
    strip.top = strip.bottom - kStripHeight;
    return strip;
}

LRESULT CContinueWnd::OnGifProgress(WPARAM wParam, LPARAM lParam) {
    const int total = static_cast<int>(wParam), index = static_cast<int>(lParam);
    const RECT strip = StatusStrip();
    if (total == 0 && index == 0) {
        m_bCompressing = 1;
        InvalidateRect(&strip);
        return -1;
    }
    m_nPercent = total > 0 ? static_cast<int>(static_cast<long long>(index) * 100 / total) : 0;
    m_bCompressing = 0;
    InvalidateRect(&strip);
    if (index >= total) {
        m_nPercent = 0;
        InvalidateRect(&strip);
        EnableGifControls(TRUE);
    }
    return 0;
}

LRESULT CContinueWnd::OnGifDone(WPARAM wParam, LPARAM) {
    m_nPercent = 0;
    m_bCompressing = 0;
    const RECT strip = StatusStrip();
    InvalidateRect(&strip);
    EnableGifControls(TRUE);
    const auto status = static_cast<GifBuildStatus>(wParam);
    if (status == GifBuildStatus::kNoFrames) {
        AfxMessageBox(kNoFramesText, MB_OK | MB_ICONWARNING);
    } else if (status == GifBuildStatus::kWriteFailed) {
        CString text;
        text.Format(kWriteFailedText, static_cast<LPCWSTR>(m_wndFrames.GetBuildResult().reason));
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
    }
    return 0;
}

BOOL CContinueWnd::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = static_cast<BOOL>(Default());
    HDC dc = pDC ? pDC->GetSafeHdc() : nullptr;
    CWnd* reset = GetDlgItem(IDC_CONTINUE_RESET);
    if (!dc)
        return result;
    RECT client;
    GetClientRect(&client);
    if (reset) {
        RECT button;
        reset->GetWindowRect(&button);
        ScreenToClient(&button);
        const int y = button.bottom + 10;
        FillSolid(dc, {client.left, y, client.right, y + 1}, GetSysColor(COLOR_BTNSHADOW));
        FillSolid(dc, {client.left, y + 1, client.right, y + 2}, GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    CString text;
    if (m_bCompressing) {
        text = L"GIF Conpression..";
    } else if (m_nPercent > 0) {
        const int width = static_cast<int>((client.right - client.left) * static_cast<long long>(m_nPercent) / 100);
        FillSolid(dc, {client.left, client.bottom - 3, client.left + width, client.bottom}, kProgressBar);
        text.Format(L"%d %%", m_nPercent);
    }
    if (!text.IsEmpty()) {
        RECT strip = StatusStrip();
        ScopedSelect selectFont(dc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text, text.GetLength(), &strip, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    return result;
}

void CContinueWnd::OnOK() {
    // Enter in a field closes nothing: the panel has no OK button.
}

int CContinueWnd::CountFramesOnlyInMemory() const {
    // The frames of a file series stay on disk.
    if (m_nMode != SERIES_BITMAPS || !m_hWnd)
        return 0;
    return std::max(0, m_wndFrames.GetCount()) + static_cast<int>(CapturedBitmapList.size());
}

bool CContinueWnd::HoldsFramesOnlyInMemory() const {
    return CountFramesOnlyInMemory() > 0 || (m_nMode == SERIES_BITMAPS && m_bRunning);
}

void CContinueWnd::CloseForExit() {
    // A GIF still being built keeps its frames; the list joins the build as it goes.
    m_bRunning = 0;
    m_wndFrames.ClearFrames();
    CDialog::OnCancel();
}

void CContinueWnd::OnCancel() {
    if (m_wndFrames.IsBuilding()) {
        AfxMessageBox(kBusyClosingText, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (HoldsFramesOnlyInMemory() &&
        AfxMessageBox(LoadResString(IDS_CONTINUE_CLOSE_UNSAVED), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    m_bRunning = 0;
    m_wndFrames.ClearFrames();
    CDialog::OnCancel();
}
