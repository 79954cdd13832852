#include "app/tools/gif/GifWnd.h"

#include "app/AppMessages.h"
#include "app/tools/gif/FileSelection.h"
#include "app/tools/gif/GifResizeWnd.h"
#include "resources/resource.h"

#include <cwchar>

namespace {

constexpr float kMinDelay = 0.1f;     // one hundredth of a second is the GIF's unit
constexpr float kMaxDelay = 6553.5f;  // a GIF delay is a 16-bit count of hundredths
constexpr DWORD kSelectionBufferChars = 64 * 1024;

constexpr wchar_t kOpenFilter[] =
    L"이미지 파일|*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.tif;*.tiff;*.ico;*.cur;*.tga;*.pcx;*.wbmp;*.wmf;*.emf;"
    L"*.jp2;*.j2k;*.jpc;*.pgx;*.pnm;*.pgm;*.ppm;*.ras;*.mng;*.jng;*.ska|모든파일|*.*||";
constexpr wchar_t kNoFramesText[] = L"GIF로 만들 이미지가 없습니다.";
constexpr wchar_t kWriteFailedText[] = L"GIF 파일을 저장하지 못했습니다.\n%s";
constexpr wchar_t kBusyClosingText[] = L"GIF 파일을 만드는 중입니다. 다 만든 뒤에 닫으세요.";
constexpr wchar_t kUnreadableText[] = L"다음 파일을 읽지 못했습니다.";
constexpr wchar_t kBadDelayText[] = L"지연시간은 0.1에서 6553.5 사이의 숫자로 적어 주세요. (1초:10)";
constexpr wchar_t kBadSizeText[] = L"너비와 높이는 1에서 %d 사이로 적어 주세요.";
constexpr wchar_t kResizeFailedText[] = L"%d개 프레임의 크기를 바꾸지 못했습니다.";
constexpr wchar_t kBuildingText[] = L"GIF 파일을 만드는 중...";
constexpr wchar_t kWrittenText[] = L"저장했습니다: %s";

// Controls that change the frames or start something; off while the preview
// plays or a build runs.
constexpr int kEditControls[] = {IDC_GIF_ADD,       IDC_GIF_REMOVE,         IDC_GIF_UP,          IDC_GIF_DOWN,
                                 IDC_GIF_DELAY,     IDC_GIF_SET_DELAY,      IDC_GIF_SET_ALL_DELAYS,
                                 IDC_GIF_TRANSPARENT, IDC_GIF_LOOP,         IDC_GIF_RESIZE,      IDC_GIF_MAKE,
                                 IDC_GIF_PLAY};

CString FormatTime(float tenths) {
    return gif_maker::FormatDelay(tenths).c_str();
}

}  // namespace

BEGIN_MESSAGE_MAP(CGifWnd, CResizableDialog)
    ON_BN_CLICKED(IDC_GIF_ADD, OnAdd)
    ON_BN_CLICKED(IDC_GIF_REMOVE, OnRemove)
    ON_BN_CLICKED(IDC_GIF_UP, OnUp)
    ON_BN_CLICKED(IDC_GIF_DOWN, OnDown)
    ON_LBN_SELCHANGE(IDC_GIF_FRAMES, OnFrameSelChange)
    ON_BN_CLICKED(IDC_GIF_SET_DELAY, OnSetDelay)
    ON_BN_CLICKED(IDC_GIF_SET_ALL_DELAYS, OnSetAllDelays)
    ON_BN_CLICKED(IDC_GIF_TRANSPARENT, OnTransparent)
    ON_BN_CLICKED(IDC_GIF_PLAY, OnPlay)
    ON_BN_CLICKED(IDC_GIF_STOP, OnStop)
    ON_BN_CLICKED(IDC_GIF_RESIZE, OnResize)
    ON_BN_CLICKED(IDC_GIF_MAKE, OnMake)
    ON_MESSAGE(WM_GIF_PROGRESS, OnGifProgress)
    ON_MESSAGE(WM_GIF_DONE, OnGifDone)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CGifWnd::CGifWnd(CWnd* pParent) : CResizableDialog(IDD_GIF_MAKER, pParent) {}

void CGifWnd::DoDataExchange(CDataExchange* pDX) {
    CResizableDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_GIF_FRAMES, m_wndFrames);
    DDX_Control(pDX, IDC_GIF_PREVIEW, m_wndPreview);
    DDX_Control(pDX, IDC_GIF_PROGRESS, m_wndProgress);
    DDX_Check(pDX, IDC_GIF_LOOP, m_bLoop);
    DDX_Check(pDX, IDC_GIF_TRANSPARENT, m_bTransparent);
}

BOOL CGifWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    m_wndPreview.m_nMode = CDrawStaticWnd::kPicture;
    SetDlgItemText(IDC_GIF_DELAY, FormatTime(m_fDelay));

    AddAnchor(IDC_GIF_FRAMES, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
    for (int id : {IDC_GIF_ADD, IDC_GIF_REMOVE, IDC_GIF_UP, IDC_GIF_DOWN})
        AddAnchor(id, ANCHOR_BOTTOM_LEFT);
    for (int id : {IDC_GIF_PREVIEW, IDC_GIF_PLAY, IDC_GIF_STOP, IDC_GIF_DELAY_LABEL, IDC_GIF_DELAY, IDC_GIF_SET_DELAY,
                   IDC_GIF_SET_ALL_DELAYS, IDC_GIF_TRANSPARENT, IDC_GIF_LOOP})
        AddAnchor(id, ANCHOR_TOP_RIGHT);
    for (int id : {IDC_GIF_RESIZE, IDC_GIF_MAKE, IDCANCEL})
        AddAnchor(id, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(IDC_GIF_PROGRESS, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(IDC_GIF_STATUS, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    UpdateControls();
    return TRUE;
}

void CGifWnd::UpdateControls() {
    const bool playing = m_wndPreview.IsPlaying(), building = m_wndFrames.IsBuilding();
    for (int id : kEditControls) {
        if (CWnd* control = GetDlgItem(id))
            control->EnableWindow(!playing && !building);
    }
    if (CWnd* stop = GetDlgItem(IDC_GIF_STOP))
        stop->EnableWindow(playing);
}

void CGifWnd::ShowSelectedFrame() {
    if (m_wndPreview.IsPlaying())
        return;  // the animation owns the picture until it stops
    const GifFrameItem* frame = m_wndFrames.GetSelectedFrame();
    m_wndPreview.m_hPicture = frame ? frame->bitmap : nullptr;
    m_wndPreview.m_nPictureWidth = frame ? frame->width : 0;
    m_wndPreview.m_nPictureHeight = frame ? frame->height : 0;
    m_wndPreview.Invalidate();
    if (frame) {
        SetDlgItemText(IDC_GIF_DELAY, FormatTime(frame->time));
        CheckDlgButton(IDC_GIF_TRANSPARENT, frame->transparent ? BST_CHECKED : BST_UNCHECKED);
    }
}

bool CGifWnd::ReadDelay() {
    CString text;
    GetDlgItemText(IDC_GIF_DELAY, text);
    wchar_t* end = nullptr;
    const double value = std::wcstod(text, &end);
    while (end && (*end == L' ' || *end == L'\t'))
        ++end;
    if (text.IsEmpty() || !end || *end != L'\0' || !(value >= kMinDelay && value <= kMaxDelay)) {
        AfxMessageBox(kBadDelayText, MB_OK | MB_ICONWARNING);
        if (CWnd* edit = GetDlgItem(IDC_GIF_DELAY))
            edit->SetFocus();
        return false;
    }
    m_fDelay = static_cast<float>(value);
    return true;
}

int CGifWnd::AddFiles(const std::vector<CString>& paths) {
    if (m_wndPreview.IsPlaying() || m_wndFrames.IsBuilding() || !ReadDelay())
        return 0;
    int added = 0;
    CString unreadable;
    for (const CString& path : paths) {
        const int frames = m_wndFrames.AddImageFile(path, m_fDelay);
        if (frames == 0)
            unreadable += L"\n" + path;
        added += frames;
    }
    ShowSelectedFrame();
    UpdateControls();
    if (!unreadable.IsEmpty())
        AfxMessageBox(CString(kUnreadableText) + unreadable, MB_OK | MB_ICONWARNING);
    return added;
}

void CGifWnd::OnAdd() {
    std::vector<wchar_t> buffer(kSelectionBufferChars, L'\0');
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT,
                       kOpenFilter, this);
    dialog.m_ofn.lpstrFile = buffer.data();
    dialog.m_ofn.nMaxFile = kSelectionBufferChars;
    if (dialog.DoModal() != IDOK)
        return;
    std::vector<CString> paths;
    for (const std::wstring& path : gif_maker::SplitOpenFileSelection(buffer.data(), buffer.size()))
        paths.emplace_back(path.c_str());
    AddFiles(paths);
}

void CGifWnd::OnRemove() {
    if (m_wndPreview.IsPlaying())
        return;
    m_wndFrames.DeleteSelectedFrame();
    ShowSelectedFrame();
}

void CGifWnd::OnUp() {
    if (!m_wndPreview.IsPlaying())
        m_wndFrames.MoveSelectedFrame(-1);
}

void CGifWnd::OnDown() {
    if (!m_wndPreview.IsPlaying())
        m_wndFrames.MoveSelectedFrame(1);
}

void CGifWnd::OnFrameSelChange() {
    ShowSelectedFrame();
}

void CGifWnd::OnSetDelay() {
    if (m_wndFrames.GetSelectedFrame() && ReadDelay())
        m_wndFrames.SetSelectedFrameTime(m_fDelay);
}

void CGifWnd::OnSetAllDelays() {
    if (m_wndFrames.GetCount() > 0 && ReadDelay())
        m_wndFrames.SetAllFrameTimes(m_fDelay);
}

void CGifWnd::OnTransparent() {
    m_wndFrames.SetSelectedTransparent(IsDlgButtonChecked(IDC_GIF_TRANSPARENT) ? 1 : 0);
}

void CGifWnd::OnPlay() {
    if (m_wndPreview.IsPlaying() || m_wndFrames.IsBuilding() || m_wndFrames.GetCount() == 0)
        return;
    m_wndPreview.m_bLoop = IsDlgButtonChecked(IDC_GIF_LOOP) ? 1 : 0;
    m_wndPreview.m_nCurrentFrame = 0;
    m_wndPreview.PlayFrames(&m_wndFrames);
    UpdateControls();
}

// The stop button, also posted by the preview when a single-play animation has
// shown its last frame (it has stopped already then, and keeps that frame).
void CGifWnd::OnStop() {
    if (m_wndPreview.IsPlaying()) {
        m_wndPreview.StopFrames();
        ShowSelectedFrame();
    }
    UpdateControls();
}

bool CGifWnd::ResizeFrames(int width, int height) {
    if (m_wndPreview.IsPlaying() || m_wndFrames.IsBuilding())
        return false;
    if (width <= 0 || height <= 0 || width > CGifResizeWnd::kMaxSide || height > CGifResizeWnd::kMaxSide) {
        CString text;
        text.Format(kBadSizeText, CGifResizeWnd::kMaxSide);
        AfxMessageBox(text, MB_OK | MB_ICONWARNING);
        return false;
    }
    int pictures = 0;
    for (int i = 0; i < m_wndFrames.GetCount(); ++i) {
        const GifFrameItem* frame = m_wndFrames.GetFrame(i);
        if (frame && frame->bitmap)
            ++pictures;
    }
    const int resized = m_wndFrames.ResizeAllFrames(width, height);
    ShowSelectedFrame();
    if (resized < pictures) {
        CString text;
        text.Format(kResizeFailedText, pictures - resized);
        AfxMessageBox(text, MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

void CGifWnd::OnResize() {
    const GifFrameItem* sample = m_wndFrames.GetFrame(0);
    if (!sample || !sample->bitmap) {
        AfxMessageBox(kNoFramesText, MB_OK | MB_ICONWARNING);
        return;
    }
    CGifResizeWnd dialog(sample->bitmap, sample->width, sample->height, this);
    if (dialog.DoModal() == IDOK)
        ResizeFrames(dialog.GetNewWidth(), dialog.GetNewHeight());
}

void CGifWnd::OnMake() {
    CFileDialog dialog(FALSE, L"GIF", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, L"GIF Files(*.gif)|*.gif;||",
                       this);
    if (dialog.DoModal() != IDOK)
        return;
    const CString path = dialog.GetPathName();
    if (!path.IsEmpty())
        MakeGif(path);
}

bool CGifWnd::MakeGif(const CString& path) {
    if (m_wndPreview.IsPlaying() || m_wndFrames.IsBuilding())
        return false;
    m_bLoop = IsDlgButtonChecked(IDC_GIF_LOOP) ? 1 : 0;
    if (!m_wndFrames.StartGifBuild(path, m_bLoop)) {
        AfxMessageBox(kNoFramesText, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_strOutputPath = path;
    m_wndProgress.SetPos(0);
    SetDlgItemText(IDC_GIF_STATUS, kBuildingText);
    UpdateControls();
    return true;
}

LRESULT CGifWnd::OnGifProgress(WPARAM wParam, LPARAM lParam) {
    const int total = static_cast<int>(wParam), index = static_cast<int>(lParam);
    if (total > 0) {
        m_wndProgress.SetRange32(0, total);
        m_wndProgress.SetPos(index);
    }
    return 0;
}

LRESULT CGifWnd::OnGifDone(WPARAM wParam, LPARAM) {
    UpdateControls();
    const auto status = static_cast<GifBuildStatus>(wParam);
    CString text;
    if (status == GifBuildStatus::kWritten) {
        text.Format(kWrittenText, static_cast<LPCWSTR>(m_strOutputPath));
        m_wndProgress.SetRange32(0, 1);  // the last progress came before the file was written
        m_wndProgress.SetPos(1);
    }
    SetDlgItemText(IDC_GIF_STATUS, text);
    if (status == GifBuildStatus::kNoFrames) {
        m_wndProgress.SetPos(0);
        AfxMessageBox(kNoFramesText, MB_OK | MB_ICONWARNING);
    } else if (status == GifBuildStatus::kWriteFailed) {
        m_wndProgress.SetPos(0);
        CString message;
        message.Format(kWriteFailedText, static_cast<LPCWSTR>(m_wndFrames.GetBuildResult().reason));
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
    }
    return 0;
}

// Enter must not close the maker and lose the frames: in the delay edit it
// sets the selected frame's delay, elsewhere it does nothing.
void CGifWnd::OnOK() {
    CWnd* focus = GetFocus();
    if (focus && focus->m_hWnd == ::GetDlgItem(m_hWnd, IDC_GIF_DELAY))
        OnSetDelay();
}

void CGifWnd::OnCancel() {
    if (m_wndFrames.IsBuilding()) {
        AfxMessageBox(kBusyClosingText, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CResizableDialog::OnCancel();
}

void CGifWnd::OnDestroy() {
    // The list frees its frames with its window; the preview must not keep showing one.
    if (m_wndPreview.m_hWnd)
        m_wndPreview.StopFrames();
    m_wndPreview.m_hPicture = nullptr;
    CResizableDialog::OnDestroy();
}
