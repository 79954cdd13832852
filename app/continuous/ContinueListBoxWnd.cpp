#include "app/continuous/ContinueListBoxWnd.h"

#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/ScopedGdi.h"
#include "app/continuous/FrameFit.h"
#include "app/continuous/FrameTiming.h"
#include "image/DibImage.h"

namespace {

constexpr COLORREF kSelectedBack = RGB(204, 218, 241);
constexpr COLORREF kFocusFrame = RGB(61, 149, 255);
constexpr COLORREF kUnselectedBack = RGB(128, 128, 128);
constexpr COLORREF kCardBack = RGB(237, 235, 228);
constexpr COLORREF kCellFrame = RGB(178, 178, 178);

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FrameRect(dc, &rect, brush.Get());
}

// Top-left highlight, bottom-right shadow.
void Draw3dRaised(HDC dc, const RECT& r) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    FillSolid(dc, {r.left, r.top, r.right - 1, r.top + 1}, light);
    FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, light);
    FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, dark);
    FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
}

CString AfterLast(const CString& text, WCHAR separator) {
    const int at = text.ReverseFind(separator);
    return at < 0 ? text : text.Mid(at + 1);
}

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
        ContinueFrame* frame = GetFrame(i);
        if (!frame || !frame->bitmap)
            continue;
        CDibImage image;
        if (!image.CreateFromHBITMAP(frame->bitmap) || !image.Resample(width, height, 1))
            continue;
        HBITMAP resized = image.MakeBitmap();
        if (!resized)
            continue;
        DeleteObject(frame->bitmap);
        frame->bitmap = resized;
        frame->width = width;
        frame->height = height;
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
    HDC dc = lpDrawItemStruct->hDC;
    const RECT item = lpDrawItemStruct->rcItem;
    const bool selected = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0;
    FillSolid(dc, item, selected ? kSelectedBack : kUnselectedBack);
    if (selected && (lpDrawItemStruct->itemState & ODS_FOCUS))
        FrameSolid(dc, item, kFocusFrame);

    RECT card = item;
    InflateRect(&card, -6, -6);
    FillSolid(dc, card, kCardBack);
    Draw3dRaised(dc, card);

    const RECT cell = {card.left + 5, card.top + 5, card.left + 127, card.bottom - 5};
    Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
    FrameSolid(dc, cell, kCellFrame);

    const frame_fit::Placement place = frame_fit::FitCard(cell.left, cell.top, cell.right - cell.left,
                                                          cell.bottom - cell.top, frame->width, frame->height);
    if (frame->bitmap && place.cx > 0) {
        ScopedMemoryDc pictureDc(dc);
        ScopedSelect selectPicture(pictureDc.Get(), frame->bitmap);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, place.x, place.y, place.cx, place.cy, pictureDc.Get(), 0, 0, frame->width, frame->height,
                   SRCCOPY);
    }

    const CString shortName = AfterLast(frame->name, L'\\');
    CString lines[4];
    lines[0].Format(L"이름:%s", static_cast<LPCWSTR>(shortName));
    lines[1].Format(L"형식:%s", static_cast<LPCWSTR>(AfterLast(shortName, L'.')));
    lines[2].Format(L"w:%d   h:%d", frame->width, frame->height);
    lines[3].Format(L"시간:%d", frame_timing::TenthsToMilliseconds(frame->time));
    SetBkMode(dc, TRANSPARENT);
    ScopedSelect selectFont(dc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
    for (int i = 0; i < 4; ++i) {
        RECT line = {cell.right + 10, item.top + 26 + 20 * i, card.right - 10, item.top + 41 + 20 * i};
        DrawTextW(dc, lines[i], lines[i].GetLength(), &line, DT_SINGLELINE | DT_WORD_ELLIPSIS);
    }
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
    if (snapshot.empty())
        return false;
    m_buildFrames = std::move(snapshot);
    m_strOutputPath = path;
    m_bLoop = loop;
    m_buildResult = GifBuildResult();
    CWnd* parent = GetParent();
    m_hNotify = parent ? parent->m_hWnd : nullptr;
    m_pBuildThread = AfxBeginThread(GifBuildThread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_pBuildThread)
        return false;
    m_pBuildThread->m_bAutoDelete = FALSE;
    m_pBuildThread->ResumeThread();
    return true;
}

// Reads only the snapshot and posts to windows: it never waits for the UI thread.
UINT __cdecl CContinueListBoxWnd::GifBuildThread(LPVOID param) {
    auto* self = static_cast<CContinueListBoxWnd*>(param);
    const HWND notify = self->m_hNotify;
    const HWND list = self->m_hWnd;
    if (notify)
        ::PostMessageW(notify, WM_GIF_PROGRESS, 0, 0);
    self->m_buildResult = BuildAnimatedGif(self->m_buildFrames, self->m_strOutputPath, self->m_bLoop != FALSE,
                                           [notify](int total, int index) {
                                               if (notify)
                                                   ::PostMessageW(notify, WM_GIF_PROGRESS, total, index);
                                           });
    ::PostMessageW(list, WM_GIF_DONE, 0, 1);
    return 0;
}

void CContinueListBoxWnd::JoinBuild() {
    if (!m_pBuildThread)
        return;
    WaitForSingleObject(m_pBuildThread->m_hThread, INFINITE);
    delete m_pBuildThread;
    m_pBuildThread = nullptr;
    m_buildFrames.clear();
    m_strOutputPath.Empty();
    m_bLoop = FALSE;
}

LRESULT CContinueListBoxWnd::OnGifDone(WPARAM, LPARAM) {
    if (!m_pBuildThread)
        return 0;
    JoinBuild();
    if (m_hNotify)
        ::SendMessageW(m_hNotify, WM_GIF_DONE, static_cast<WPARAM>(m_buildResult.status), 0);
    return 0;
}

void CContinueListBoxWnd::OnDestroy() {
    JoinBuild();
    CWnd::OnDestroy();
}
