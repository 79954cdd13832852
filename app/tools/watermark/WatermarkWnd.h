// CWatermarkWnd: the batch watermark tool. The user picks image files, an
// output folder and the watermark (the watermark options by default, another
// image file, or a text rendered into an image); the selected file is shown
// with the watermark laid on. Files are converted one per worker thread, each
// posting WM_WATERMARK_FILE_DONE; failures are listed by name at the end.
#pragma once

#include "Afx.h"
#include "app/capture/Watermark.h"
#include "app/capture/ScopedGdi.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "widgets/ResizableDialog.h"

#include <memory>
#include <vector>

struct WatermarkFileJob;

class CWatermarkWnd : public CResizableDialog {
public:
    enum { IDD = 211 };
    // The watermark starts from `options` (copied; may be null) and the output
    // folder from `defaultFolder`.
    CWatermarkWnd(const COpWatermarkPropertyPage* options, LPCWSTR defaultFolder, CWnd* pParentWnd = nullptr);
    ~CWatermarkWnd() override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnAddFiles();
    afx_msg void OnRemoveFiles();
    afx_msg void OnFilesSelChange();
    afx_msg void OnClearFiles();
    afx_msg void OnBrowseFolder();
    afx_msg void OnBrowseImage();
    afx_msg void OnEditText();
    afx_msg void OnStart();
    afx_msg void OnStop();
    afx_msg LRESULT OnFileDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void AddFile(const CString& path);
    CString OutputFolder() const;
    // Rebuilds the watermark bitmap from m_options and shows what it is.
    void RebuildWatermark();
    void SaveTextWatermark();
    void UpdatePreview();
    // The file the preview shows: the selected one the user clicked last, else
    // the first selected, else the first; -1 for an empty list.
    int PreviewFileIndex() const;
    void UpdateControls();
    bool StartNextFile();
    void JoinWorker();
    void FinishRun();

    COpWatermarkPropertyPage m_options;  // this tool's own copy
    WatermarkBitmap m_watermark;
    ScopedBitmapHandle m_preview;
    CString m_strDefaultFolder;

    std::vector<CString> m_files;  // the list box's paths, in order
    int m_nListExtent = 0;          // widest path, in pixels
    // The running conversion.
    bool m_bRunning = false;
    bool m_bStopRequested = false;
    int m_nNext = 0;
    int m_nDone = 0;
    int m_nWritten = 0;
    std::vector<CString> m_failures;  // "name: reason"
    CWinThread* m_pWorker = nullptr;
    std::unique_ptr<WatermarkFileJob> m_pJob;
    CString m_strRunFolder;
};
