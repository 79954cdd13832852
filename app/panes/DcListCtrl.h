// The saved-DC list: one thumbnail per captured bitmap, the item data the
// bitmap itself, which stays its owner's.
#pragma once

#include "app/panes/ThumbListCtrl.h"

class CDcListCtrl : public CThumbListCtrl {
public:
    BOOL Init() { return StartWorker(); }
    // Any thread. The bitmap must stay alive while it is listed.
    void Enqueue(LPCWSTR lpszName, HBITMAP hBitmap);

protected:
    bool ReadPicture(const Job& job, CDibImage& picture) override;
    LPARAM MakeItemData(const Job& job) override;
};
