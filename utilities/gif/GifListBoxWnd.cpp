#include "utilities/gif/GifListBoxWnd.h"

#include "app/AppMessages.h"
#include "app/continuous/FrameCard.h"
#include "image/DibImage.h"
#include "utilities/gif/FileSelection.h"

#include <algorithm>
#include <vector>

namespace {

void FreeFrame(GifFrameItem* frame) {
    if (!frame)
        return;
    if (frame->bitmap)
        DeleteObject(frame->bitmap);
    delete frame;
}

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

GifFrameItem* CGifListBoxWnd::GetFrame(int index) const {
    if (!m_hWnd || index < 0 || index >= GetCount())
        return nullptr;
    return static_cast<GifFrameItem*>(FrameFromItemData(SendMessage(LB_GETITEMDATA, index)));
}

int CGifListBoxWnd::InsertFrame(int index, GifFrameItem* frame) {
    // Without LBS_HASSTRINGS the "string" is the item data itself.
    const int at = static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index),
                                                static_cast<LPARAM>(FrameToItemData(frame))));
    if (at < 0) {
        FreeFrame(frame);
        return at;
    }
    SetItemData(at, FrameToItemData(frame));
    return at;
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

void CGifListBoxWnd::ClearFrames() {
    if (IsBuilding() || !m_hWnd)
        return;
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        FreeFrame(GetFrame(i));
    ResetContent();
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

void CGifListBoxWnd::SetSelectedFrameTime(float time) {
    if (GifFrameItem* frame = GetSelectedFrame()) {
        frame->time = time;
        Invalidate();
    }
}

void CGifListBoxWnd::SetAllFrameTimes(float time) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (GifFrameItem* frame = GetFrame(i))
            frame->time = time;
    }
    Invalidate();
}

void CGifListBoxWnd::SetSelectedTransparent(int transparent) {
    if (GifFrameItem* frame = GetSelectedFrame())
        frame->transparent = transparent ? 1 : 0;
}

int CGifListBoxWnd::ResizeAllFrames(int width, int height) {
    if (IsBuilding())
        return 0;
    int resized = 0;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        GifFrameItem* frame = GetFrame(i);
        if (frame && ResampleFrame(*frame, width, height))
            ++resized;
    }
    Invalidate();
    return resized;
}

bool CGifListBoxWnd::StartGifBuild(const CString& path, BOOL loop) {
    std::vector<GifBuildFrame> frames;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const GifFrameItem* frame = GetFrame(i);
        if (frame && frame->bitmap)
            frames.push_back({frame->bitmap, frame->time, frame->transparent});
    }
    CWnd* parent = GetParent();
    return m_build.Start(std::move(frames), path, loop != FALSE, parent ? parent->m_hWnd : nullptr, m_hWnd);
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

void CGifListBoxWnd::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    RECT client;
    GetClientRect(&client);
    lpMeasureItemStruct->itemHeight = kFrameCardHeight;
    lpMeasureItemStruct->itemWidth = static_cast<UINT>(client.right - client.left);
}

void CGifListBoxWnd::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    const FrameRecord* frame = FrameFromItemData(static_cast<LRESULT>(lpDrawItemStruct->itemData));
    if (!frame || lpDrawItemStruct->itemID == static_cast<UINT>(-1))
        return;
    DrawFrameCard(*lpDrawItemStruct, *frame, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}
