#include "workarea/ImagePreviewWnd.h"

#include "widgets/MemDC.h"

#include <algorithm>
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
    m_strUnreadable.Empty();
    const CSize size(m_image.IsValid() ? static_cast<int>(m_image.GetWidth()) : 1,
                     m_image.IsValid() ? static_cast<int>(m_image.GetHeight()) : 1);
    SetScrollSizes(MM_TEXT, size);
    if (m_hWnd)
        Invalidate();
}

void CImagePreviewWnd::SetUnreadable(const CString& message) {
    m_image.Destroy();
    m_strUnreadable = message;
    SetScrollSizes(MM_TEXT, CSize(1, 1));
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
    else if (!m_strUnreadable.IsEmpty())
        DrawUnreadable(dc.GetSafeHdc());
}

// The message in the middle of the pane, as the web page tab shows its own.
void CImagePreviewWnd::DrawUnreadable(HDC hDC) {
    CRect client;
    GetClientRect(&client);
    ::FillRect(hDC, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    CScopedSelectObject font(hDC, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, ::GetSysColor(COLOR_BTNTEXT));
    CRect text = client;
    text.DeflateRect(8, 8);
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    CRect measured = text;
    ::DrawTextW(hDC, m_strUnreadable, -1, &measured, format | DT_CALCRECT);
    text.top = std::max(text.top, client.CenterPoint().y - measured.Height() / 2);
    ::DrawTextW(hDC, m_strUnreadable, -1, &text, format);
}
