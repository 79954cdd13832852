#include "app/panes/DcListCtrl.h"

#include "image/DibImage.h"

void CDcListCtrl::Enqueue(LPCWSTR lpszName, HBITMAP hBitmap) {
    Job job;
    job.label = lpszName ? lpszName : L"";
    job.source = hBitmap;
    CThumbListCtrl::Enqueue(std::move(job));
}

bool CDcListCtrl::ReadPicture(const Job& job, CDibImage& picture) {
    return job.source && picture.CreateFromHBITMAP(job.source);
}

LPARAM CDcListCtrl::MakeItemData(const Job& job) {
    return reinterpret_cast<LPARAM>(job.source);
}
