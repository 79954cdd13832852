// One image tab of the work area: the image at 1:1, scrolled when larger than
// the pane. The pane owns its image (a copy of what it was opened from).
#pragma once

#include "Afx.h"
#include "View.h"
#include "image/DibImage.h"

// A file's write time and size: what tells that it was written since it was read.
struct FileStamp {
    FILETIME written = {};
    ULONGLONG size = 0;
    bool exists = false;

    static FileStamp Of(LPCWSTR path);
    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

class CImagePreviewWnd : public CScrollView {
public:
    CImagePreviewWnd() = default;
    ~CImagePreviewWnd() override;

    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT nID);
    // Takes the picture over and sizes the scroll range to it.
    void SetImage(CDibImage& image);
    CDibImage& GetImage() { return m_image; }
    // No picture: the pane shows `message` (why its file cannot be read) instead.
    void SetUnreadable(const CString& message);
    const CString& GetUnreadableMessage() const { return m_strUnreadable; }

    // The file the picture was read from and its stamp before the read; none
    // for a picture copied from a bitmap.
    void SetSource(LPCWSTR path, const FileStamp& stamp);
    const CString& GetSourcePath() const { return m_strSource; }
    // True when the source file was written, replaced or removed since it was read.
    bool SourceChanged() const;
    // The picture was just saved over its source: that is what the file holds now.
    void NoteSourceSaved() { m_stamp = FileStamp::Of(m_strSource); }

protected:
    void OnDraw(CDC* pDC) override;
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    void DrawUnreadable(HDC hDC);

    CDibImage m_image;
    CString m_strUnreadable;
    CString m_strSource;
    FileStamp m_stamp;
};
