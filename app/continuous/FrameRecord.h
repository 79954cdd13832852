// Frame records kept as list-box item data by continuous capture and the GIF
// maker. Both lists start with the same six fields, and the preview static
// plays either list through them: the common part is one struct, so reading
// a record through it is well defined.
#pragma once

#include "Afx.h"

struct FrameRecord {
    CString name;            // a file frame's full path, or a generated label
    HBITMAP bitmap = nullptr;  // owned by the record; null when the picture could not be read
    int width = 0;
    int height = 0;
    float time = 0.0f;       // tenths of a second
    int transparent = 0;     // the GIF build makes the colour of pixel (0, 0) transparent
};

// Resamples the frame's picture to width x height and takes the new size;
// false (the frame unchanged) when there is no picture or it cannot be resized.
bool ResampleFrame(FrameRecord& frame, int width, int height);

// A frame of the continuous-capture list.
struct ContinueFrame : FrameRecord {
    int formatId = 0;  // image library format id: the file's, or BMP for a captured bitmap
    // The name is the full path of the file a series wrote for this frame;
    // false for a frame held only in memory, whose name is a label.
    bool ownFile = false;
};

// A frame of the GIF maker's list; the maker adds its own fields after the common ones.
struct GifFrameItem : FrameRecord {};

// Item data of a frame list box holds the FrameRecord part's address.
inline DWORD_PTR FrameToItemData(FrameRecord* record) {
    return reinterpret_cast<DWORD_PTR>(record);
}

// The record of an item, null for LB_ERR or an item without data.
inline FrameRecord* FrameFromItemData(LRESULT data) {
    if (data == LB_ERR || data == 0)
        return nullptr;
    return reinterpret_cast<FrameRecord*>(data);
}
