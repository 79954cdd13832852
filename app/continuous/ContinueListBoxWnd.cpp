#include "app/continuous/ContinueListBoxWnd.h"

#include "app/AppMessages.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/ScopedGdi.h"
#include "image/DibImage.h"

#include <algorithm>

namespace {

// A path that names one file wherever the working folder is: "X:\..." or "\\server\...".
bool IsFullPath(const CString& path) {
    const int n = path.GetLength();
    const auto separator = [&](int i) { return i < n && (path[i] == L'\\' || path[i] == L'/'); };
    return (n >= 3 && path[1] == L':' && separator(2)) || (separator(0) && separator(1));
}

}  // namespace

BEGIN_MESSAGE_MAP(CContinueListBoxWnd, CListBox)
    ON_MESSAGE(WM_GIF_DONE, OnGifDone)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CContinueListBoxWnd::~CContinueListBoxWnd() {
    JoinBuild();
}

void CContinueListBoxWnd::DiscardPendingShots() {
    CapturedFileList.clear();
    for (CapturedBitmap& shot : CapturedBitmapList) {
        if (shot.bitmap)
            DeleteObject(shot.bitmap);
    }
    CapturedBitmapList.clear();
}

void CContinueListBoxWnd::Init() {
    DiscardPendingShots();

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

int CContinueListBoxWnd::AppendFrame(ContinueFrame* frame) {
    const int index = InsertFrame(-1, frame);
    if (index >= 0)
        SetTopIndex(index);
    return index;
}

int CContinueListBoxWnd::AddFileFrame(const CString& path, float time) {
    auto* frame = new ContinueFrame;
    frame->name = path;
    frame->ownFile = IsFullPath(path);
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

void CContinueListBoxWnd::DeleteSelectedFrame(BOOL deleteFile) {
    const int selected = GetCurSel();
    ContinueFrame* frame = GetFrame(selected);
    if (!frame || IsBuilding())
        return;
    if (deleteFile == 1 && frame->ownFile)
        DeleteFileW(frame->name);  // a file already gone or locked still loses its frame
    DeleteString(static_cast<UINT>(selected));
    FreeFrame(frame);
    // The list box keeps its top item where it was, even past the end when
    // the last frame went: setting it again scrolls back (as far as the
    // frames below fill the list), so that the list shows frames, not a hole.
    const int count = GetCount();
    if (count > 0)
        SetTopIndex(std::min(GetTopIndex(), count - 1));
    Invalidate();
}

void CContinueListBoxWnd::ResizeAllFrames(int width, int height) {
    if (width > 0 && height > 0)
        ResizeFrames(width, height);
}

bool CContinueListBoxWnd::StartGifBuild(const CString& path, BOOL loop) {
    if (IsBuilding() || path.IsEmpty())
        return false;
    CWnd* parent = GetParent();
    m_hNotify = parent ? parent->m_hWnd : nullptr;
    if (!m_build.Start(BuildFrames(), path, loop != FALSE, m_hNotify, m_hWnd))
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
