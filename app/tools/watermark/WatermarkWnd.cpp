#include "app/tools/watermark/WatermarkWnd.h"

#include "app/AppMessages.h"
#include "app/capture/CaptureJob.h"
#include "app/continuous/FrameFit.h"
#include "app/tools/watermark/WatermarkConversion.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "widgets/FolderDialog.h"

#include <vector>

namespace {

// Every format the image library reads.
const wchar_t kImageFilter[] =
    L"이미지 파일\0"
    L"*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.png;*.ico;*.cur;*.tif;*.tiff;*.tga;*.pcx;*.wbmp;*.wmf;*.emf;"
    L"*.jp2;*.j2k;*.jpc;*.j2c;*.pgx;*.pnm;*.pgm;*.ppm;*.ras;*.mng;*.jng;*.ska;*.dng;*.nef;*.crw;*.cr2;*.arw;"
    L"*.erf;*.3fr;*.dcr;*.raw;*.x3f;*.mef;*.raf;*.mrw;*.pef;*.sr2;*.orf\0"
    L"모든 파일 (*.*)\0*.*\0";

// Room for a few hundred chosen names.
constexpr DWORD kNameBufferChars = 65536;

// The fields of the watermark options that the watermark and its placement come from.
void CopyWatermarkOptions(const COpWatermarkPropertyPage& from, COpWatermarkPropertyPage& to) {
    to.ImageDir = from.ImageDir;
    to.Location = from.Location;
    to.LeftRightMargin = from.LeftRightMargin;
    to.TopBottomMargin = from.TopBottomMargin;
    to.Rotate = from.Rotate;
    to.Rotation = from.Rotation;
    to.Choice = from.Choice;
    to.Text = from.Text;
    to.FontFace = from.FontFace;
    to.FontSize = from.FontSize;
    to.Alpha = from.Alpha;
    to.HideColor = from.HideColor;
    to.Red = from.Red;
    to.Green = from.Green;
    to.Blue = from.Blue;
    to.FontBold = from.FontBold;
    to.FontItalic = from.FontItalic;
    to.FontUnderline = from.FontUnderline;
    to.TextBkR = from.TextBkR;
    to.TextBkG = from.TextBkG;
    to.TextBkB = from.TextBkB;
    to.TextColorR = from.TextColorR;
    to.TextColorG = from.TextColorG;
    to.TextColorB = from.TextColorB;
}

bool IsFolder(const CString& path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// folder\Text_n.bmp with the first n from 0 that names no file.
CString FirstFreeTextName(const CString& folder) {
    CString path;
    for (int n = 0; n < 10000; ++n) {
        path.Format(L"%s\\Text_%d.bmp", folder.GetString(), n);
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
            return path;
    }
    return CString();
}

UINT __cdecl ConvertThread(LPVOID param) {
    auto* job = static_cast<WatermarkFileJob*>(param);
    ConvertWatermarkFile(*job);
    ::PostMessageW(job->notify, WM_WATERMARK_FILE_DONE, 0, job->index);
    return 0;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWatermarkWnd, CResizableDialog)
    ON_BN_CLICKED(IDC_WMTOOL_ADD, OnAddFiles)
    ON_BN_CLICKED(IDC_WMTOOL_REMOVE, OnRemoveFiles)
    ON_LBN_SELCHANGE(IDC_WMTOOL_FILES, OnFilesSelChange)
    ON_BN_CLICKED(IDC_WMTOOL_CLEAR, OnClearFiles)
    ON_BN_CLICKED(IDC_WMTOOL_BROWSE_FOLDER, OnBrowseFolder)
    ON_BN_CLICKED(IDC_WMTOOL_BROWSE_IMAGE, OnBrowseImage)
    ON_BN_CLICKED(IDC_WMTOOL_TEXT, OnEditText)
    ON_BN_CLICKED(IDC_WMTOOL_START, OnStart)
    ON_BN_CLICKED(IDC_WMTOOL_STOP, OnStop)
    ON_MESSAGE(WM_WATERMARK_FILE_DONE, OnFileDone)
    ON_WM_DRAWITEM()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CWatermarkWnd::CWatermarkWnd(const COpWatermarkPropertyPage* options, LPCWSTR defaultFolder, CWnd* pParentWnd)
    : CResizableDialog(IDD, pParentWnd), m_strDefaultFolder(defaultFolder ? defaultFolder : L"") {
    if (options)
        CopyWatermarkOptions(*options, m_options);
    else
        m_options.Alpha = 100;
}

CWatermarkWnd::~CWatermarkWnd() {
    JoinWorker();
    if (m_watermark.bitmap)
        DeleteObject(m_watermark.bitmap);
}

BOOL CWatermarkWnd::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    AddAnchor(IDC_WMTOOL_FILES, ANCHOR_TOP_LEFT, SIZE{60, 100});
    AddAnchor(IDC_WMTOOL_PREVIEW_LABEL, SIZE{60, 0});
    AddAnchor(IDC_WMTOOL_PREVIEW, SIZE{60, 0}, ANCHOR_BOTTOM_RIGHT);
    for (int id : {IDC_WMTOOL_ADD, IDC_WMTOOL_REMOVE, IDC_WMTOOL_CLEAR, IDC_WMTOOL_FOLDER_LABEL,
                    IDC_WMTOOL_IMAGE_LABEL, IDC_WMTOOL_STATUS})
        AddAnchor(id, ANCHOR_BOTTOM_LEFT);
    AddAnchor(IDC_WMTOOL_FOLDER, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(IDC_WMTOOL_IMAGE, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    AddAnchor(IDC_WMTOOL_PROGRESS, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
    for (int id : {IDC_WMTOOL_BROWSE_FOLDER, IDC_WMTOOL_BROWSE_IMAGE, IDC_WMTOOL_TEXT, IDC_WMTOOL_START,
                    IDC_WMTOOL_STOP, IDCANCEL})
        AddAnchor(id, ANCHOR_BOTTOM_RIGHT);

    SetDlgItemText(IDC_WMTOOL_FOLDER, m_strDefaultFolder);
    RebuildWatermark();
    UpdateControls();
    return TRUE;
}

void CWatermarkWnd::AddFile(const CString& path) {
    for (const CString& known : m_files)
        if (known.CompareNoCase(path) == 0)
            return;
    m_files.push_back(path);
    auto* list = reinterpret_cast<CListBox*>(GetDlgItem(IDC_WMTOOL_FILES));
    list->AddString(path);
    // Long paths scroll sideways instead of being cut off.
    CClientDC dc(list);
    ScopedSelect font(dc.GetSafeHdc(), reinterpret_cast<HFONT>(list->SendMessage(WM_GETFONT)));
    SIZE size = {};
    if (GetTextExtentPoint32W(dc.GetSafeHdc(), path, path.GetLength(), &size) && size.cx + 8 > m_nListExtent) {
        m_nListExtent = size.cx + 8;
        list->SetHorizontalExtent(m_nListExtent);
    }
}

void CWatermarkWnd::OnAddFiles() {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT,
                       kImageFilter, this);
    std::vector<wchar_t> names(kNameBufferChars, L'\0');
    dialog.m_ofn.lpstrFile = names.data();
    dialog.m_ofn.nMaxFile = kNameBufferChars;
    if (dialog.DoModal() != IDOK)
        return;
    const bool hadFirst = !m_files.empty();
    // One name: a full path. Several: the folder, then each name, each ended by a NUL.
    const CString first(names.data());
    const wchar_t* next = names.data() + first.GetLength() + 1;
    if (!*next) {
        AddFile(first);
    } else {
        const CString folder = first.Right(1) == L"\\" ? first : first + L"\\";
        for (; *next; next += wcslen(next) + 1)
            AddFile(folder + next);
    }
    if (!hadFirst)
        UpdatePreview();
    UpdateControls();
}

void CWatermarkWnd::OnRemoveFiles() {
    auto* list = reinterpret_cast<CListBox*>(GetDlgItem(IDC_WMTOOL_FILES));
    for (int i = list->GetCount() - 1; i >= 0; --i) {
        if (list->GetSel(i) > 0) {
            list->DeleteString(i);
            m_files.erase(m_files.begin() + i);
        }
    }
    UpdatePreview();
    UpdateControls();
}

void CWatermarkWnd::OnClearFiles() {
    auto* list = reinterpret_cast<CListBox*>(GetDlgItem(IDC_WMTOOL_FILES));
    list->ResetContent();
    m_nListExtent = 0;
    list->SetHorizontalExtent(0);
    m_files.clear();
    UpdatePreview();
    UpdateControls();
}

void CWatermarkWnd::OnFilesSelChange() {
    UpdatePreview();
}

CString CWatermarkWnd::OutputFolder() const {
    CString folder;
    GetDlgItemText(IDC_WMTOOL_FOLDER, folder);
    folder.Trim();
    while (folder.GetLength() > 3 && (folder.Right(1) == L"\\" || folder.Right(1) == L"/"))
        folder = folder.Left(folder.GetLength() - 1);
    return folder;
}

void CWatermarkWnd::OnBrowseFolder() {
    const CString current = OutputFolder();
    CFolderDialog dialog(L"저장할 폴더를 고르세요.", current, this);
    if (dialog.DoModal() == IDOK)
        SetDlgItemText(IDC_WMTOOL_FOLDER, dialog.GetFolderPath());
}

void CWatermarkWnd::OnBrowseImage() {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kImageFilter, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_options.Choice = 0;
    m_options.ImageDir = dialog.GetPathName();
    RebuildWatermark();
    if (!m_watermark.bitmap)
        AfxMessageBox(L"워터마크 그림을 읽지 못했습니다.\n" + m_options.ImageDir, MB_OK | MB_ICONWARNING);
}

void CWatermarkWnd::OnEditText() {
    if (!m_options.EditTextMark(this))
        return;
    m_options.Choice = 1;
    SaveTextWatermark();
    RebuildWatermark();
}

// The rendered text goes into the output folder as Text_n.bmp, where the user
// finds it beside the results and can pick it again as an image. When it cannot
// be written the text is still used, from memory.
void CWatermarkWnd::SaveTextWatermark() {
    COpWatermarkPropertyPage unturned;
    CopyWatermarkOptions(m_options, unturned);
    unturned.Rotate = 0;
    WatermarkBitmap rendered;
    {
        CClientDC dc(this);
        CFont* font = GetFont();
        BuildWatermarkBitmap(unturned, font ? static_cast<HFONT>(font->GetSafeHandle()) : nullptr,
                             dc.GetSafeHdc(), rendered);
    }
    ScopedBitmapHandle owned(rendered.bitmap);
    if (!owned.Get())
        return;
    const CString folder = OutputFolder();
    const CString path = IsFolder(folder) ? FirstFreeTextName(folder) : CString();
    CDibImage image;
    if (path.IsEmpty() || !image.CreateFromHBITMAP(owned.Get()) || !image.Save(path, CDibImage::kFormatBmp)) {
        AfxMessageBox(L"텍스트 워터마크를 파일로 저장하지 못했습니다.\n" + (path.IsEmpty() ? folder : path),
                      MB_OK | MB_ICONWARNING);
        return;
    }
    m_options.Choice = 0;
    m_options.ImageDir = path;
}

void CWatermarkWnd::RebuildWatermark() {
    CClientDC dc(this);
    CFont* font = GetFont();
    BuildWatermarkBitmap(m_options, font ? static_cast<HFONT>(font->GetSafeHandle()) : nullptr, dc.GetSafeHdc(),
                         m_watermark);
    if (m_options.Choice == 1)
        SetDlgItemText(IDC_WMTOOL_IMAGE, L"텍스트: " + m_options.Text);
    else
        SetDlgItemText(IDC_WMTOOL_IMAGE, m_options.ImageDir);
    // Say why the start button stays disabled.
    SetDlgItemText(IDC_WMTOOL_STATUS, m_watermark.bitmap ? L"" : L"워터마크로 쓸 그림이 없습니다.");
    UpdatePreview();
    UpdateControls();
}

int CWatermarkWnd::PreviewFileIndex() const {
    const int count = static_cast<int>(m_files.size());
    if (count == 0)
        return -1;
    CWnd* list = GetDlgItem(IDC_WMTOOL_FILES);
    if (!list)
        return 0;
    const int caret = static_cast<int>(list->SendMessage(LB_GETCARETINDEX));
    if (caret >= 0 && caret < count && list->SendMessage(LB_GETSEL, caret) > 0)
        return caret;
    for (int i = 0; i < count; ++i)
        if (list->SendMessage(LB_GETSEL, i) > 0)
            return i;
    return 0;
}

void CWatermarkWnd::UpdatePreview() {
    m_preview.Reset();
    const int shown = PreviewFileIndex();
    if (shown >= 0) {
        const CString& path = m_files[static_cast<size_t>(shown)];
        CDibImage image;
        CString extension = GetFileExtension(FileNamePart(path));
        extension.MakeLower();
        if (image.Load(path, CDibImage::GetTypeIdFromName(extension)) &&
            ComposeWatermark(image, WatermarkParamsFromOptions(m_options), m_watermark, m_options.HideColor != 0))
            m_preview.Reset(image.MakeBitmap());
    }
    if (CWnd* preview = GetDlgItem(IDC_WMTOOL_PREVIEW))
        preview->Invalidate();
}

void CWatermarkWnd::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT draw) {
    if (nIDCtl != IDC_WMTOOL_PREVIEW) {
        CResizableDialog::OnDrawItem(nIDCtl, draw);
        return;
    }
    const RECT area = draw->rcItem;
    FillRect(draw->hDC, &area, GetSysColorBrush(COLOR_WINDOW));
    BITMAP info = {};
    if (!m_preview.Get() || !GetObjectW(m_preview.Get(), sizeof(info), &info))
        return;
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    const frame_fit::Placement place =
        frame_fit::FitPreview(area.right - area.left, area.bottom - area.top, info.bmWidth, height, false, 0, 0);
    if (place.cx <= 0)
        return;
    ScopedMemoryDc pictureDc(draw->hDC);
    ScopedSelect select(pictureDc.Get(), m_preview.Get());
    SetStretchBltMode(draw->hDC, HALFTONE);
    SetBrushOrgEx(draw->hDC, 0, 0, nullptr);
    StretchBlt(draw->hDC, area.left + place.x, area.top + place.y, place.cx, place.cy, pictureDc.Get(), 0, 0,
               info.bmWidth, height, SRCCOPY);
}

void CWatermarkWnd::UpdateControls() {
    const BOOL idle = !m_bRunning;
    for (int id : {IDC_WMTOOL_ADD, IDC_WMTOOL_REMOVE, IDC_WMTOOL_CLEAR, IDC_WMTOOL_FOLDER, IDC_WMTOOL_BROWSE_FOLDER,
                    IDC_WMTOOL_BROWSE_IMAGE, IDC_WMTOOL_TEXT})
        if (CWnd* control = GetDlgItem(id))
            control->EnableWindow(idle);
    if (CWnd* start = GetDlgItem(IDC_WMTOOL_START))
        start->EnableWindow(idle && !m_files.empty() && m_watermark.bitmap);
    if (CWnd* stop = GetDlgItem(IDC_WMTOOL_STOP))
        stop->EnableWindow(m_bRunning && !m_bStopRequested);
}

void CWatermarkWnd::OnStart() {
    if (m_bRunning || m_files.empty())
        return;
    if (!m_watermark.bitmap) {
        AfxMessageBox(L"워터마크로 쓸 그림이 없습니다.", MB_OK | MB_ICONWARNING);
        return;
    }
    const CString folder = OutputFolder();
    if (folder.IsEmpty() || !IsFolder(folder)) {
        AfxMessageBox(L"저장할 폴더가 없습니다.\n" + folder, MB_OK | MB_ICONWARNING);
        return;
    }
    m_strRunFolder = folder;
    m_bRunning = true;
    m_bStopRequested = false;
    m_nNext = m_nDone = m_nWritten = 0;
    m_failures.clear();
    auto* progress = reinterpret_cast<CProgressCtrl*>(GetDlgItem(IDC_WMTOOL_PROGRESS));
    progress->SetRange32(0, static_cast<int>(m_files.size()));
    progress->SetPos(0);
    SetDlgItemText(IDC_WMTOOL_STATUS, L"");
    UpdateControls();
    if (!StartNextFile())
        FinishRun();
}

bool CWatermarkWnd::StartNextFile() {
    while (m_nNext < static_cast<int>(m_files.size())) {
        auto job = std::make_unique<WatermarkFileJob>();
        job->index = m_nNext;
        job->source = m_files[m_nNext++];
        job->folder = m_strRunFolder;
        job->params = WatermarkParamsFromOptions(m_options);
        job->keyColour = m_options.HideColor != 0;
        job->watermark.bitmap = CopyWatermarkBitmap(m_watermark.bitmap);
        job->watermark.width = m_watermark.width;
        job->watermark.height = m_watermark.height;
        job->notify = m_hWnd;
        CWinThread* worker = job->watermark.bitmap
                                 ? AfxBeginThread(ConvertThread, job.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED)
                                 : nullptr;
        if (!worker) {
            m_failures.push_back(FileNamePart(job->source) + L": 변환을 시작하지 못했습니다.");
            ++m_nDone;
            continue;
        }
        worker->m_bAutoDelete = FALSE;
        m_pJob = std::move(job);
        m_pWorker = worker;
        worker->ResumeThread();
        return true;
    }
    return false;
}

void CWatermarkWnd::JoinWorker() {
    if (m_pWorker) {
        // The worker only posts to us: waiting here cannot deadlock.
        WaitForSingleObject(m_pWorker->m_hThread, INFINITE);
        delete m_pWorker;
        m_pWorker = nullptr;
    }
}

LRESULT CWatermarkWnd::OnFileDone(WPARAM, LPARAM) {
    if (!m_pWorker || !m_pJob)
        return 0;
    JoinWorker();
    if (m_pJob->failure.IsEmpty())
        ++m_nWritten;
    else
        m_failures.push_back(FileNamePart(m_pJob->source) + L": " + m_pJob->failure);
    m_pJob.reset();
    ++m_nDone;
    reinterpret_cast<CProgressCtrl*>(GetDlgItem(IDC_WMTOOL_PROGRESS))->SetPos(m_nDone);
    CString status;
    status.Format(L"%d / %d", m_nDone, static_cast<int>(m_files.size()));
    SetDlgItemText(IDC_WMTOOL_STATUS, status);
    if (m_bStopRequested || !StartNextFile())
        FinishRun();
    return 0;
}

void CWatermarkWnd::OnStop() {
    if (!m_bRunning)
        return;
    // The file being written is finished; no further one is started.
    m_bStopRequested = true;
    UpdateControls();
}

void CWatermarkWnd::FinishRun() {
    const bool stopped = m_bStopRequested;
    m_bRunning = false;
    m_bStopRequested = false;
    UpdateControls();
    CString summary;
    summary.Format(L"%d개 파일에 워터마크를 넣었습니다.", m_nWritten);
    if (stopped) {
        CString rest;
        // On a line of its own: the status shows two lines beside the buttons.
        rest.Format(L"\n(정지: %d개 파일은 변환하지 않았습니다.)", static_cast<int>(m_files.size()) - m_nDone);
        summary += rest;
    }
    SetDlgItemText(IDC_WMTOOL_STATUS, summary);
    if (m_failures.empty()) {
        AfxMessageBox(summary, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CString text;
    text.Format(L"%s\n\n다음 %d개 파일은 변환하지 못했습니다:", summary.GetString(),
                static_cast<int>(m_failures.size()));
    for (const CString& failure : m_failures)
        text += L"\n" + failure;
    AfxMessageBox(text, MB_OK | MB_ICONWARNING);
}

void CWatermarkWnd::OnOK() {
    // Enter in an edit must not close the tool.
}

void CWatermarkWnd::OnCancel() {
    if (m_bRunning) {
        m_bStopRequested = true;
        JoinWorker();
        m_pJob.reset();
        m_bRunning = false;
    }
    CResizableDialog::OnCancel();
}

void CWatermarkWnd::OnDestroy() {
    JoinWorker();
    m_pJob.reset();
    CResizableDialog::OnDestroy();
}
