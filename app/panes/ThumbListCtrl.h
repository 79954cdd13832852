// The thumbnail list shared by the saved-file and saved-DC panes: a queue that
// any thread may fill, a worker that makes 55 × 55 thumbnails, and items that
// the UI thread inserts in queue order.
#pragma once

#include "Afx.h"

#include <cstdint>
#include <deque>
#include <functional>
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
    // The item the user has highlighted: the focused one when it is selected,
    // else the first selected one; -1 when none is.
    int GetHighlightedItem() const;
    // Makes nItem the one highlighted item, focused and scrolled into view;
    // IsHighlighting() tells the selection changes it makes.
    void Highlight(int nItem);
    bool IsHighlighting() const { return m_bHighlighting; }
    // The first item that `matches`, `preferred` tried first; -1 when none does.
    int FindItem(int preferred, const std::function<bool(int)>& matches) const;
    // How much taller the list must be to show a row of thumbnails with
    // one-line names in its font; 0 or less when it is tall enough.
    int GetMissingRowHeight() const;
    // True for an LVN_ITEMCHANGED that selects or deselects items.
    static bool ChangesSelection(const NMHDR* pNMHDR);

protected:
    struct Job {
        CString label;             // item text
        CString path;              // file to read, or empty
        HBITMAP source = nullptr;  // bitmap to read (not owned), or null
        bool redraw = false;       // new thumbnail for the items already showing it
    };

    // Once, after the control exists: view styles, the image list, the worker.
    BOOL StartWorker();
    // Any thread.
    void Enqueue(Job job);
    // True while an item for this file is queued and not inserted yet.
    bool IsComing(const CString& path);

    // On the worker: reads the job's picture; false leaves the cell blank.
    virtual bool ReadPicture(const Job& job, CDibImage& picture) = 0;
    // On the UI thread: the data of the item being inserted.
    virtual LPARAM MakeItemData(const Job& job) = 0;
    // On the UI thread: whether an item shows what a redraw job reads.
    virtual bool ItemShows(int, const Job&) const { return false; }

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
    void Insert(Ready& ready);
    void Redraw(Ready& ready);
    // Widens the icon cells so that `label` shows on one line.
    void FitLabel(const CString& label);

    CImageList m_thumbnails;
    CWinThread* m_pWorker = nullptr;
    HWND m_hWndNotify = nullptr;
    std::mutex m_lock;
    std::deque<Job> m_queue;
    std::deque<Ready> m_ready;
    std::deque<CString> m_coming;  // files of the item insertions not done yet
    bool m_bStopping = false;
    bool m_bHighlighting = false;
    HANDLE m_hWork = nullptr;
    HANDLE m_hQuit = nullptr;
};
