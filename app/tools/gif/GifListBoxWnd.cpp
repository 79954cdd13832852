#include "app/tools/gif/GifListBoxWnd.h"

#include "app/AppMessages.h"
#include "app/tools/gif/FileSelection.h"
#include "image/DibImage.h"

#include <algorithm>
#include <vector>

namespace {

// A frame holding the image's picture; null when no bitmap could be made.
GifFrameItem* MakeFrame(const CString& name, const CDibImage& image, float time) {
    HBITMAP bitmap = image.MakeBitmap();
    if (!bitmap)
        return nullptr;
    auto* frame = new GifFrameItem;
    frame->name = name;
    frame->bitmap = bitmap;
    frame->width = static_cast<int>(image.GetWidth());
    frame->height = static_cast<int>(image.GetHeight());
    frame->time = time;
    return frame;
}

}  // namespace

BEGIN_MESSAGE_MAP(CGifListBoxWnd, CListBox)
    ON_MESSAGE(WM_GIF_DONE, OnGifDone)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CGifListBoxWnd::~CGifListBoxWnd() {
    m_build.Join();
}

int CGifListBoxWnd::AddImageFile(const CString& path, float time) {
    if (IsBuilding())
        return 0;
    CDibImage first(path, CDibImage::kFormatUnknown);
    if (!first.IsValid())
        return 0;
    const int frameCount = first.GetType() == CDibImage::kFormatGif ? std::max(first.GetNumFrames(), 1) : 1;
    int added = 0, last = -1;
    for (int index = 0; index < frameCount; ++index) {
        CDibImage other;
        const CDibImage* image = &first;
        if (index > 0) {
            other.SetFrame(index);
            if (!other.Load(path, CDibImage::kFormatGif))
                break;
            image = &other;
        }
        CString name = path;
        if (frameCount > 1)
            name.Format(L"%s#%d", static_cast<LPCWSTR>(path), index + 1);
        const float frameTime = frameCount > 1 ? gif_maker::FrameTimeFromCentiseconds(image->GetFrameDelay(), time)
                                               : time;
        GifFrameItem* frame = MakeFrame(name, *image, frameTime);
        if (!frame)
            break;
        last = InsertFrame(-1, frame);
        if (last < 0)
            break;
        ++added;
    }
    if (last >= 0) {
        SetTopIndex(last);
        SetCurSel(last);
    }
    return added;
}

CString CGifListBoxWnd::TimeLine(float time) const {
    return gif_maker::DelayLine(time).c_str();
}

bool CGifListBoxWnd::DeleteSelectedFrame() {
    const int selected = GetCurSel();
    GifFrameItem* frame = GetFrame(selected);
    if (!frame || IsBuilding())
        return false;
    DeleteString(static_cast<UINT>(selected));
    FreeFrame(frame);
    const int count = GetCount();
    if (count > 0)
        SetCurSel(std::min(selected, count - 1));
    return true;
}

bool CGifListBoxWnd::MoveSelectedFrame(int offset) {
    const int selected = GetCurSel();
    const int target = selected + offset;
    GifFrameItem* frame = GetFrame(selected);
    if (!frame || IsBuilding() || target < 0 || target >= GetCount())
        return false;
    DeleteString(static_cast<UINT>(selected));  // the record itself stays
    const int at = InsertFrame(target, frame);
    if (at < 0)
        return false;
    SetCurSel(at);
    return true;
}

void CGifListBoxWnd::SetSelectedTransparent(int transparent) {
    if (GifFrameItem* frame = GetSelectedFrame())
        frame->transparent = transparent ? 1 : 0;
}

bool CGifListBoxWnd::StartGifBuild(const CString& path, BOOL loop) {
    CWnd* parent = GetParent();
    return m_build.Start(BuildFrames(), path, loop != FALSE, parent ? parent->m_hWnd : nullptr, m_hWnd);
}

LRESULT CGifListBoxWnd::OnGifDone(WPARAM, LPARAM) {
    if (!m_build.IsRunning())
        return 0;
    m_build.Join();
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_GIF_DONE, static_cast<WPARAM>(m_build.Result().status), 0);
    return 0;
}

// The list owns its records: they go with its window, whichever way it is destroyed.
void CGifListBoxWnd::OnDestroy() {
    m_build.Join();
    ClearFrames();
    CWnd::OnDestroy();
}
