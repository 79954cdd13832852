// The thumbnail list shared by the saved-file and saved-DC panes: a queue that
// any thread may fill, a worker that makes 55 × 55 thumbnails, and items that
// the UI thread inserts in queue order.
#pragma once

#include "Afx.h"

#include <cstdint>
#include <deque>
#include <mutex>

class CDibImage;

// Where a picture of w × h pixels lands inside a thumbnail cell.
struct ThumbPlacement {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};

class CThumbListCtrl : public CListCtrl {
public:
    static constexpr int kCellSize = 55;
    static constexpr COLORREF kMaskColor = RGB(255, 255, 0);
    static constexpr COLORREF kFrameColor = RGB(192, 192, 192);

    // Scaled to fit the cell (small pictures are enlarged too) and centred so
    // that the whole picture stays inside it; all zero for an empty picture.
    static ThumbPlacement PlaceThumbnail(int64_t width, int64_t height);
    // A 55 × 55 white cell with a grey frame and the picture on it; the caller
    // deletes it. An empty or unreadable picture gives the bare cell.
    static HBITMAP MakeThumbnail(CDibImage& picture);

    CThumbListCtrl() = default;
    ~CThumbListCtrl() override;

    // Waits for the worker and drops what it has not handed over yet.
    void StopWorker();
    CImageList& GetThumbnails() { return m_thumbnails; }
    // Deletes an item and closes the gap it leaves among the icons.
    BOOL RemoveItem(int nItem);

protected:
    struct Job {
        CString label;             // item text
        CString path;              // file to read, or empty
        HBITMAP source = nullptr;  // bitmap to read (not owned), or null
    };

    // Once, after the control exists: view styles, the image list, the worker.
    BOOL StartWorker();
    // Any thread.
    void Enqueue(Job job);

    // On the worker: reads the job's picture; false leaves the cell blank.
    virtual bool ReadPicture(const Job& job, CDibImage& picture) = 0;
    // On the UI thread: the data of the item being inserted.
    virtual LPARAM MakeItemData(const Job& job) = 0;

    afx_msg void OnDestroy();
    afx_msg LRESULT OnThumbnailsReady(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    struct Ready {
        Job job;
        HBITMAP thumbnail = nullptr;
    };

    static UINT __cdecl WorkerProc(LPVOID pParam);
    void ProcessQueue();
    void DropReady();
    // Widens the icon cells so that `label` shows on one line.
    void FitLabel(const CString& label);

    CImageList m_thumbnails;
    CWinThread* m_pWorker = nullptr;
    HWND m_hWndNotify = nullptr;
    std::mutex m_lock;
    std::deque<Job> m_queue;
    std::deque<Ready> m_ready;
    bool m_bStopping = false;
    HANDLE m_hWork = nullptr;
    HANDLE m_hQuit = nullptr;
};
