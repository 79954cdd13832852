#include "workarea/ImagePreviewWnd.h"

#include "widgets/MemDC.h"

#include <utility>

FileStamp FileStamp::Of(LPCWSTR path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (path && *path && ::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        stamp.written = data.ftLastWriteTime;
        stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.exists = true;
    }
    return stamp;
}

bool FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && size == other.size &&
           ::CompareFileTime(&written, &other.written) == 0;
}

BEGIN_MESSAGE_MAP(CImagePreviewWnd, CScrollView)
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CImagePreviewWnd::~CImagePreviewWnd() {
    if (m_hWnd)
        DestroyWindow();
}

BOOL CImagePreviewWnd::Create(CWnd* pParentWnd, const RECT& rect, UINT nID) {
    LPCWSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                      reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1));
    if (!CScrollView::Create(cls, L"", WS_CHILD | WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN, rect, pParentWnd, nID))
        return FALSE;
    SetScrollSizes(MM_TEXT, CSize(1, 1));
    return TRUE;
}

void CImagePreviewWnd::SetImage(CDibImage& image) {
    m_image.Transfer(image);
    const CSize size(m_image.IsValid() ? static_cast<int>(m_image.GetWidth()) : 1,
                     m_image.IsValid() ? static_cast<int>(m_image.GetHeight()) : 1);
    SetScrollSizes(MM_TEXT, size);
    if (m_hWnd)
        Invalidate();
}

void CImagePreviewWnd::SetSource(LPCWSTR path, const FileStamp& stamp) {
    m_strSource = path ? path : L"";
    m_stamp = stamp;
}

bool CImagePreviewWnd::SourceChanged() const {
    return !m_strSource.IsEmpty() && FileStamp::Of(m_strSource) != m_stamp;
}

BOOL CImagePreviewWnd::OnEraseBkgnd(CDC*) {
    return TRUE;  // OnDraw fills everything
}

void CImagePreviewWnd::OnDraw(CDC* pDC) {
    CMemDC dc(pDC);
    CRect clip = dc.GetPaintRect();
    ::FillRect(dc.GetSafeHdc(), &clip, ::GetSysColorBrush(COLOR_APPWORKSPACE));
    if (m_image.IsValid())
        m_image.Draw(dc.GetSafeHdc(), 0, 0);
}
