#include "app/panes/ThumbListCtrl.h"

#include "image/DibImage.h"

#include <algorithm>
#include <utility>

namespace {

// Worker → list: finished thumbnails wait in the ready queue.
constexpr UINT WM_THUMBNAILS_READY = WM_APP + 40;
constexpr int kMaxLabel = 259;
// Room around a label in an icon cell, and the widest cell a label may ask
// for; a label wider than that wraps, as the list's own would.
constexpr int kLabelRoom = 16;
constexpr int kWidestCell = 320;

// A DC selection undone at scope end.
class ScopedSelect {
public:
    ScopedSelect(HDC hDC, HGDIOBJ hObject) : m_hDC(hDC), m_hOld(::SelectObject(hDC, hObject)) {}
    ~ScopedSelect() { ::SelectObject(m_hDC, m_hOld); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

class ScopedMemDC {
public:
    ScopedMemDC() : m_hDC(::CreateCompatibleDC(nullptr)) {}
    ~ScopedMemDC() {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    ScopedMemDC(const ScopedMemDC&) = delete;
    ScopedMemDC& operator=(const ScopedMemDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC;
};

}  // namespace

ThumbPlacement CThumbListCtrl::PlaceThumbnail(int64_t width, int64_t height) {
    ThumbPlacement place;
    if (width <= 0 || height <= 0)
        return place;
    const double scale = std::min(double(kCellSize) / double(width), double(kCellSize) / double(height));
    // A very thin picture still keeps one row or column.
    place.width = std::clamp(static_cast<int>(double(width) * scale), 1, kCellSize);
    place.height = std::clamp(static_cast<int>(double(height) * scale), 1, kCellSize);
    place.x = (kCellSize - place.width) / 2;
    place.y = (kCellSize - place.height) / 2;
    return place;
}

HBITMAP CThumbListCtrl::MakeThumbnail(CDibImage& picture) {
    // A 24-bit DIB section: what the image list holds, and usable from the
    // worker without touching the list's window.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = kCellSize;
    bmi.bmiHeader.biHeight = kCellSize;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hCell = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hCell)
        return nullptr;

    ScopedMemDC dc;
    if (!dc) {
        ::DeleteObject(hCell);
        return nullptr;
    }
    {
        ScopedSelect selectCell(dc, hCell);
        const RECT cell = {0, 0, kCellSize, kCellSize};
        HBRUSH hWhite = ::CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH hFrame = ::CreateSolidBrush(kFrameColor);
        ::FillRect(dc, &cell, hWhite);
        ::FrameRect(dc, &cell, hFrame);
        ::DeleteObject(hWhite);
        ::DeleteObject(hFrame);

        const ThumbPlacement place = PlaceThumbnail(picture.IsValid() ? picture.GetWidth() : 0,
                                                    picture.IsValid() ? picture.GetHeight() : 0);
        if (place.width > 0 && picture.Resample(place.width, place.height, 1)) {
            if (HBITMAP hPicture = picture.MakeBitmap(dc)) {
                ScopedMemDC source;
                if (source) {
                    ScopedSelect selectPicture(source, hPicture);
                    ::BitBlt(dc, place.x, place.y, place.width, place.height, source, 0, 0, SRCCOPY);
                }
                ::DeleteObject(hPicture);
            }
        }
        ::GdiFlush();
    }
    return hCell;
}

BEGIN_MESSAGE_MAP(CThumbListCtrl, CListCtrl)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_THUMBNAILS_READY, OnThumbnailsReady)
END_MESSAGE_MAP()

CThumbListCtrl::~CThumbListCtrl() {
    StopWorker();
}

BOOL CThumbListCtrl::StartWorker() {
    if (m_pWorker || !m_hWnd)
        return FALSE;
    SetColumnWidth(0, LVSCW_AUTOSIZE);
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0xFFFFFFFF, LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE);
    if (!m_thumbnails.m_hImageList && !m_thumbnails.Create(kCellSize, kCellSize, ILC_COLOR24 | ILC_MASK, 0, 1))
        return FALSE;
    // The list keeps its hands off our image list; the member destroys it.
    // The highlight stays drawn while another window has the focus: it is
    // the item that save and delete act on.
    ModifyStyle(0, LVS_SHAREIMAGELISTS | LVS_SHOWSELALWAYS);
    SetImageList(&m_thumbnails, LVSIL_NORMAL);

    m_hWork = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hQuit = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hWork || !m_hQuit) {
        StopWorker();
        return FALSE;
    }
    m_hWndNotify = m_hWnd;
    m_bStopping = false;
    m_pWorker = AfxBeginThread(&CThumbListCtrl::WorkerProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_pWorker) {
        StopWorker();
        return FALSE;
    }
    m_pWorker->m_bAutoDelete = FALSE;
    m_pWorker->ResumeThread();
    return TRUE;
}

void CThumbListCtrl::Enqueue(Job job) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!job.redraw && !job.path.IsEmpty())
            m_coming.push_back(job.path);
        m_queue.push_back(std::move(job));
    }
    if (m_hWork)
        ::SetEvent(m_hWork);
}

bool CThumbListCtrl::IsComing(const CString& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    return std::any_of(m_coming.begin(), m_coming.end(),
                       [&](const CString& coming) { return coming.CompareNoCase(path) == 0; });
}

UINT __cdecl CThumbListCtrl::WorkerProc(LPVOID pParam) {
    auto* self = static_cast<CThumbListCtrl*>(pParam);
    const HANDLE events[2] = {self->m_hWork, self->m_hQuit};
    for (;;) {
        const DWORD result = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0)
            self->ProcessQueue();
        else if (result == WAIT_OBJECT_0 + 1)
            return 0;
        else if (result == WAIT_FAILED)
            return 1;
    }
}

void CThumbListCtrl::ProcessQueue() {
    for (;;) {
        Job job;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            // At teardown nobody will insert what we make: leave the rest.
            if (m_queue.empty() || m_bStopping)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        CDibImage picture;
        if (!ReadPicture(job, picture)) {
            if (job.redraw)
                continue;  // a file that cannot be read now keeps the thumbnail it has
            picture.Destroy();
        }
        HBITMAP hThumbnail = MakeThumbnail(picture);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_ready.push_back({std::move(job), hThumbnail});
        }
        // Posted, never sent: the UI thread may be waiting for this thread.
        ::PostMessageW(m_hWndNotify, WM_THUMBNAILS_READY, 0, 0);
    }
}

LRESULT CThumbListCtrl::OnThumbnailsReady(WPARAM, LPARAM) {
    for (;;) {
        Ready ready;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_ready.empty())
                break;
            ready = std::move(m_ready.front());
            m_ready.pop_front();
        }
        if (ready.job.redraw)
            Redraw(ready);
        else
            Insert(ready);
    }
    return 0;
}

void CThumbListCtrl::Insert(Ready& ready) {
    if (!ready.job.path.IsEmpty()) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto coming = std::find(m_coming.begin(), m_coming.end(), ready.job.path);
        if (coming != m_coming.end())
            m_coming.erase(coming);
    }
    int image = -1;
    if (ready.thumbnail) {
        image = ImageList_AddMasked(m_thumbnails.m_hImageList, ready.thumbnail, kMaskColor);
        ::DeleteObject(ready.thumbnail);
    }
    CString label = ready.job.label.Left(kMaxLabel);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = GetItemCount();
    item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(label));
    item.iImage = image;
    const int index = InsertItem(&item);
    if (index >= 0) {
        SetItemData(index, static_cast<DWORD_PTR>(MakeItemData(ready.job)));
        FitLabel(label);
    }
}

void CThumbListCtrl::Redraw(Ready& ready) {
    if (!ready.thumbnail)
        return;
    const HIMAGELIST list = m_thumbnails.m_hImageList;
    const int fresh = ImageList_AddMasked(list, ready.thumbnail, kMaskColor);
    ::DeleteObject(ready.thumbnail);
    if (fresh < 0)
        return;
    // Every item keeps its image index: the new picture is copied over the
    // old one and then dropped from the end, where removing moves no index.
    for (int i = 0; i < GetItemCount(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        if (ItemShows(i, ready.job) && GetItem(&item) && item.iImage >= 0 && item.iImage != fresh &&
            ImageList_Copy(list, item.iImage, list, fresh, ILCF_MOVE))
            RedrawItems(i, i);
    }
    ImageList_Remove(list, fresh);
}

void CThumbListCtrl::FitLabel(const CString& label) {
    // The icon view wraps a label to its cell's width and shows two lines of
    // it at most; a pane no taller than its default cuts the second one. A
    // cell wide enough keeps every label on one line.
    CClientDC dc(this);
    CScopedSelectObject font(dc.m_hDC, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    const int wanted = std::min(static_cast<int>(dc.GetTextExtent(label).cx) + kLabelRoom, kWidestCell);
    const DWORD spacing = static_cast<DWORD>(SendMessage(LVM_GETITEMSPACING, FALSE));
    if (wanted <= static_cast<int>(LOWORD(spacing)))
        return;
    SendMessage(LVM_SETICONSPACING, 0, MAKELPARAM(wanted, HIWORD(spacing)));
    SendMessage(LVM_ARRANGE, LVA_DEFAULT);
}

int CThumbListCtrl::GetHighlightedItem() const {
    const int focused = GetNextItem(-1, LVNI_FOCUSED | LVNI_SELECTED);
    return focused >= 0 ? focused : GetNextItem(-1, LVNI_SELECTED);
}

void CThumbListCtrl::Highlight(int nItem) {
    if (SendMessage(LVM_GETSELECTEDCOUNT) == 1 && GetNextItem(-1, LVNI_SELECTED) == nItem)
        return;
    m_bHighlighting = true;
    SetItemState(-1, 0, LVIS_SELECTED);
    SetItemState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_bHighlighting = false;
    EnsureVisible(nItem, FALSE);
}

int CThumbListCtrl::FindItem(int preferred, const std::function<bool(int)>& matches) const {
    const int count = GetItemCount();
    if (preferred >= 0 && preferred < count && matches(preferred))
        return preferred;
    for (int i = 0; i < count; ++i) {
        if (matches(i))
            return i;
    }
    return -1;
}

int CThumbListCtrl::GetMissingRowHeight() const {
    // As measured under Wine: the icon sits 4 pixels below the row's top, the
    // name 2 pixels under the icon and one pixel taller than a line of the font.
    CClientDC dc(const_cast<CThumbListCtrl*>(this));
    CScopedSelectObject font(dc.m_hDC, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc.m_hDC, &metrics);
    CRect client;
    GetClientRect(&client);
    return 4 + kCellSize + 2 + metrics.tmHeight + 1 - client.Height();
}

bool CThumbListCtrl::ChangesSelection(const NMHDR* pNMHDR) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    // Item -1 stands for all items at once.
    return (change->uChanged & LVIF_STATE) &&
           (change->iItem < 0 || ((change->uOldState ^ change->uNewState) & LVIS_SELECTED));
}

BOOL CThumbListCtrl::RemoveItem(int nItem) {
    if (!DeleteItem(nItem))
        return FALSE;
    // The icon view leaves the deleted item's place empty, auto-arrange or not.
    SendMessage(LVM_ARRANGE, LVA_DEFAULT);
    return TRUE;
}

void CThumbListCtrl::DropReady() {
    std::lock_guard<std::mutex> guard(m_lock);
    for (Ready& ready : m_ready) {
        if (ready.thumbnail)
            ::DeleteObject(ready.thumbnail);
    }
    m_ready.clear();
    m_queue.clear();
    m_coming.clear();
}

void CThumbListCtrl::StopWorker() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
    }
    if (m_pWorker) {
        ::SetEvent(m_hQuit);
        // The worker only posts to us, so a plain wait cannot deadlock.
        ::WaitForSingleObject(m_pWorker->m_hThread, INFINITE);
        delete m_pWorker;
        m_pWorker = nullptr;
    }
    DropReady();
    if (m_hWork)
        ::CloseHandle(m_hWork);
    if (m_hQuit)
        ::CloseHandle(m_hQuit);
    m_hWork = m_hQuit = nullptr;
}

void CThumbListCtrl::OnDestroy() {
    StopWorker();
    CListCtrl::OnDestroy();
}
