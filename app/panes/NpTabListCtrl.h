// The saved-files list: one thumbnail per queued file, the item data a heap
// CString with the full path that the pane frees.
#pragma once

#include "app/panes/ThumbListCtrl.h"

class CNpTabListCtrl : public CThumbListCtrl {
public:
    BOOL StartLoader() { return StartWorker(); }
    // Any thread.
    void QueueFile(LPCWSTR lpszPath);
    // Any thread: the file was read again; its items get a new thumbnail.
    void QueueRedraw(LPCWSTR lpszPath);
    // The full path kept with an item; null for a bad index.
    CString* GetItemPath(int nItem) const;
    // UI thread: true when an item shows this file, or will once the loader is done.
    bool ListsFile(LPCWSTR lpszPath);

    // The text after the last backslash, or the whole path.
    static CString FileNamePart(LPCWSTR lpszPath);

protected:
    bool ReadPicture(const Job& job, CDibImage& picture) override;
    LPARAM MakeItemData(const Job& job) override;
    bool ItemShows(int nItem, const Job& job) const override;
};
