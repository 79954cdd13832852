#include "app/panes/NpTabListCtrl.h"

#include "image/DibImage.h"

CString CNpTabListCtrl::FileNamePart(LPCWSTR lpszPath) {
    CString path(lpszPath ? lpszPath : L"");
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? path : path.Mid(slash + 1);
}

void CNpTabListCtrl::QueueFile(LPCWSTR lpszPath) {
    Job job;
    job.path = lpszPath ? lpszPath : L"";
    job.label = FileNamePart(job.path);
    Enqueue(std::move(job));
}

void CNpTabListCtrl::QueueRedraw(LPCWSTR lpszPath) {
    Job job;
    job.path = lpszPath ? lpszPath : L"";
    job.redraw = true;
    Enqueue(std::move(job));
}

bool CNpTabListCtrl::ItemShows(int nItem, const Job& job) const {
    const CString* pPath = GetItemPath(nItem);
    return pPath && pPath->CompareNoCase(job.path) == 0;
}

bool CNpTabListCtrl::ListsFile(LPCWSTR lpszPath) {
    Job job;
    job.path = lpszPath ? lpszPath : L"";
    for (int i = 0; i < GetItemCount(); ++i)
        if (ItemShows(i, job))
            return true;
    return IsComing(job.path);
}

CString* CNpTabListCtrl::GetItemPath(int nItem) const {
    if (nItem < 0 || nItem >= GetItemCount())
        return nullptr;
    return reinterpret_cast<CString*>(GetItemData(nItem));
}

bool CNpTabListCtrl::ReadPicture(const Job& job, CDibImage& picture) {
    return picture.Load(job.path, 0);
}

LPARAM CNpTabListCtrl::MakeItemData(const Job& job) {
    return reinterpret_cast<LPARAM>(new CString(job.path));
}
