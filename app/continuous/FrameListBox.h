// CFrameListBox: what continuous capture's frame list and the GIF maker's have
// in common. Each item's data is one owned `Frame` (a FrameRecord), drawn as a
// frame card; the frames can be timed and resized and are built into one
// animated GIF on a worker thread, during which they must not change.
#pragma once

#include "Afx.h"
#include "app/continuous/FrameCard.h"
#include "app/continuous/FrameRecord.h"
#include "app/continuous/GifBuildJob.h"

#include <vector>

template <class Frame>
class CFrameListBox : public CListBox {
public:
    Frame* GetFrame(int index) const {
        if (!m_hWnd || index < 0 || index >= GetCount())
            return nullptr;
        return static_cast<Frame*>(FrameFromItemData(SendMessage(LB_GETITEMDATA, index)));
    }
    Frame* GetSelectedFrame() const { return GetFrame(GetCurSel()); }

    // Frees every frame; nothing happens while a build reads them.
    void ClearFrames() {
        if (IsBuilding() || !m_hWnd)
            return;
        const int count = GetCount();
        for (int i = 0; i < count; ++i)
            FreeFrame(GetFrame(i));
        ResetContent();
    }
    void SetSelectedFrameTime(float time) {
        if (Frame* frame = GetSelectedFrame()) {
            frame->time = time;
            Invalidate();
        }
    }
    void SetAllFrameTimes(float time) {
        const int count = GetCount();
        for (int i = 0; i < count; ++i) {
            if (Frame* frame = GetFrame(i))
                frame->time = time;
        }
        Invalidate();
    }

    bool IsBuilding() const { return m_build.IsRunning(); }
    // The last finished build's outcome.
    const GifBuildResult& GetBuildResult() const { return m_build.Result(); }

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override {
        const FrameRecord* frame = FrameFromItemData(static_cast<LRESULT>(lpDrawItemStruct->itemData));
        if (!frame || lpDrawItemStruct->itemID == static_cast<UINT>(-1))
            return;
        DrawFrameCard(*lpDrawItemStruct, *frame, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)),
                      TimeLine(frame->time));
    }
    // The card's time line, in the unit of the list's delay field.
    virtual CString TimeLine(float time) const { return MillisecondsTimeLine(time); }
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override {
        RECT client;
        GetClientRect(&client);
        lpMeasureItemStruct->itemHeight = kFrameCardHeight;
        lpMeasureItemStruct->itemWidth = static_cast<UINT>(client.right - client.left);
    }

protected:
    static void FreeFrame(Frame* frame) {
        if (!frame)
            return;
        if (frame->bitmap)
            DeleteObject(frame->bitmap);
        delete frame;
    }

    // Puts the frame at `index` (-1: the end) and returns where it went; a
    // frame the list refuses is freed.
    int InsertFrame(int index, Frame* frame) {
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

    // Returns the number of frames resized; none while a build reads them.
    int ResizeFrames(int width, int height) {
        if (IsBuilding())
            return 0;
        int resized = 0;
        const int count = GetCount();
        for (int i = 0; i < count; ++i) {
            Frame* frame = GetFrame(i);
            if (frame && ResampleFrame(*frame, width, height))
                ++resized;
        }
        Invalidate();
        return resized;
    }

    // The frames with a picture, in list order, as the build copies them.
    std::vector<GifBuildFrame> BuildFrames() const {
        std::vector<GifBuildFrame> frames;
        const int count = GetCount();
        for (int i = 0; i < count; ++i) {
            const Frame* frame = GetFrame(i);
            if (frame && frame->bitmap)
                frames.push_back({frame->bitmap, frame->time, frame->transparent});
        }
        return frames;
    }

    CGifBuildJob m_build;
};
