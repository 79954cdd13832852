#include "app/continuous/ContinueListBoxWnd.h"

#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/ScopedGdi.h"
#include "app/continuous/FrameCard.h"
#include "image/DibImage.h"

namespace {

void FreeFrame(ContinueFrame* frame) {
    if (!frame)
        return;
    if (frame->bitmap)
        DeleteObject(frame->bitmap);
    delete frame;
}

}  // namespace

BEGIN_MESSAGE_MAP(CContinueListBoxWnd, CListBox)
    ON_MESSAGE(WM_GIF_DONE, OnGifDone)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CContinueListBoxWnd::~CContinueListBoxWnd() {
    JoinBuild();
}

void CContinueListBoxWnd::Init() {
    CapturedFileList.clear();
    for (CapturedBitmap& shot : CapturedBitmapList) {
        if (shot.bitmap)
            DeleteObject(shot.bitmap);
    }
    CapturedBitmapList.clear();

    LOGFONTW logFont = {};
    HFONT source = nullptr;
    if (CWnd* mainWnd = AfxGetMainWnd())
        source = reinterpret_cast<HFONT>(mainWnd->SendMessage(WM_GETFONT));
    if (!source)
        source = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (!source)
        source = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectW(source, sizeof(logFont), &logFont);
    logFont.lfHeight = 14;
    logFont.lfWeight = FW_NORMAL;
    m_font.DeleteObject();
    if (m_font.CreateFontIndirect(&logFont))
        SetFont(&m_font, TRUE);
}

ContinueFrame* CContinueListBoxWnd::GetFrame(int index) const {
    if (index < 0 || index >= GetCount())
        return nullptr;
    return static_cast<ContinueFrame*>(FrameFromItemData(SendMessage(LB_GETITEMDATA, index)));
}

int CContinueListBoxWnd::AppendFrame(ContinueFrame* frame) {
    // Without LBS_HASSTRINGS the "string" is the item data itself.
    const int index = static_cast<int>(SendMessage(LB_ADDSTRING, 0, static_cast<LPARAM>(FrameToItemData(frame))));
    if (index < 0) {
        FreeFrame(frame);
        return index;
    }
    SetItemData(index, FrameToItemData(frame));
    SetTopIndex(index);
    return index;
}

int CContinueListBoxWnd::AddFileFrame(const CString& path, float time) {
    auto* frame = new ContinueFrame;
    frame->name = path;
    frame->time = time;
    CString extension = GetFileExtension(path);
    extension.MakeLower();
    frame->formatId = CDibImage::GetTypeIdFromName(extension);
    CDibImage image(path, CDibImage::kFormatUnknown);
    if (image.IsValid()) {
        frame->bitmap = image.MakeBitmap();
        if (frame->bitmap) {
            frame->width = static_cast<int>(image.GetWidth());
            frame->height = static_cast<int>(image.GetHeight());
        }
    }
    const int index = AppendFrame(frame);
    if (index >= 0)
        SetCurSel(index);
    return index;
}

int CContinueListBoxWnd::AddBitmapFrame(HBITMAP bitmap, float time) {
    auto* frame = new ContinueFrame;
    frame->name.Format(L"VeskDC_%d.bmp", GetCount());
    frame->time = time;
    frame->formatId = CDibImage::kFormatBmp;
    CDibImage image;
    if (bitmap && image.CreateFromHBITMAP(bitmap)) {
        frame->bitmap = image.MakeBitmap();
        if (frame->bitmap) {
            frame->width = static_cast<int>(image.GetWidth());
            frame->height = static_cast<int>(image.GetHeight());
        }
    }
    return AppendFrame(frame);
}

void CContinueListBoxWnd::ClearFrames() {
    if (IsBuilding())
        return;  // the build thread reads these bitmaps
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        FreeFrame(GetFrame(i));
    ResetContent();
}

void CContinueListBoxWnd::DeleteSelectedFrame(BOOL deleteFile) {
    const int selected = GetCurSel();
    ContinueFrame* frame = GetFrame(selected);
    if (!frame || IsBuilding())
        return;
    if (deleteFile == 1)
        DeleteFileW(frame->name);  // a file already gone or locked still loses its frame
    DeleteString(static_cast<UINT>(selected));
    FreeFrame(frame);
}

void CContinueListBoxWnd::SetSelectedFrameTime(float time) {
    if (ContinueFrame* frame = GetSelectedFrame()) {
        frame->time = time;
        Invalidate();
    }
}

void CContinueListBoxWnd::SetAllFrameTimes(float time) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (ContinueFrame* frame = GetFrame(i))
            frame->time = time;
    }
    Invalidate();
}

void CContinueListBoxWnd::ResizeAllFrames(int width, int height) {
    if (width <= 0 || height <= 0 || IsBuilding())
        return;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (ContinueFrame* frame = GetFrame(i))
            ResampleFrame(*frame, width, height);
    }
    Invalidate();
}

void CContinueListBoxWnd::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    RECT client;
    GetClientRect(&client);
    lpMeasureItemStruct->itemHeight = kItemHeight;
    lpMeasureItemStruct->itemWidth = static_cast<UINT>(client.right - client.left);
}

void CContinueListBoxWnd::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    const FrameRecord* frame = FrameFromItemData(static_cast<LRESULT>(lpDrawItemStruct->itemData));
    if (!frame || lpDrawItemStruct->itemID == static_cast<UINT>(-1))
        return;
    DrawFrameCard(*lpDrawItemStruct, *frame, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}

bool CContinueListBoxWnd::StartGifBuild(const CString& path, BOOL loop) {
    if (IsBuilding() || path.IsEmpty())
        return false;
    std::vector<GifBuildFrame> snapshot;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const ContinueFrame* frame = GetFrame(i);
        if (frame && frame->bitmap)
            snapshot.push_back({frame->bitmap, frame->time, frame->transparent});
    }
    CWnd* parent = GetParent();
    m_hNotify = parent ? parent->m_hWnd : nullptr;
    if (!m_build.Start(std::move(snapshot), path, loop != FALSE, m_hNotify, m_hWnd))
        return false;
    m_strOutputPath = path;
    m_bLoop = loop;
    return true;
}

void CContinueListBoxWnd::JoinBuild() {
    m_build.Join();
    m_strOutputPath.Empty();
    m_bLoop = FALSE;
}

LRESULT CContinueListBoxWnd::OnGifDone(WPARAM, LPARAM) {
    if (!m_build.IsRunning())
        return 0;
    JoinBuild();
    if (m_hNotify)
        ::SendMessageW(m_hNotify, WM_GIF_DONE, static_cast<WPARAM>(m_build.Result().status), 0);
    return 0;
}

void CContinueListBoxWnd::OnDestroy() {
    JoinBuild();
    CWnd::OnDestroy();
}
