// What one capture carries from the UI thread to its worker: the source, the
// rectangle, the target name and a snapshot of every option the worker reads,
// so the options sheet can change them while workers run.
#pragma once

#include "app/capture/Watermark.h"

#include <atomic>

class CCaptureEngine;
class COpContinuePage;
class COpFilePropertyPage;
class COpWatermarkPropertyPage;

// Where a capture's result goes, and the user-visible effects of a capture.
// The capture engine calls the first three from worker threads.
class ICaptureSink {
public:
    virtual ~ICaptureSink() = default;
    // The saved-files pane.
    virtual void AddSavedFile(LPCWSTR path) = 0;
    // The saved-DC pane; the sink takes the bitmap over.
    virtual void AddSavedBitmap(LPCWSTR label, HBITMAP bitmap) = 0;
    virtual void ShowCaptureBalloon(LPCWSTR path) = 0;
    // UI thread: a capture could not be saved; `message` says which and why.
    virtual void ReportCaptureFailure(LPCWSTR message) = 0;
    // UI thread: the last capture of a continuous series completed.
    virtual void OnSeriesComplete() = 0;
};

struct CaptureSettings {
    bool layered = false;       // include layered windows (CAPTUREBLT)
    bool mouseCursor = false;
    bool balloon = false;
    bool sound = false;
    bool openInEditor = false;
    CString editorPath;
    bool watermark = false;
    bool hideColour = false;
    WatermarkParams watermarkParams;

    static CaptureSettings From(const COpFilePropertyPage& file, const COpWatermarkPropertyPage& watermark,
                                const COpContinuePage& misc);
};

enum CaptureTarget { kTargetFiles = 0, kTargetSavedDc = 1 };

struct CaptureJob {
    // Pixels: null copies from the screen. A given context and the bitmap
    // selected in it belong to the job; the worker deletes both.
    HDC source = nullptr;
    HBITMAP sourceBitmap = nullptr;
    RECT rect = {};  // screen coordinates; a given source's pixels start at its (0, 0)
    int slot = 0;
    CString name;    // file path or saved-DC label
    HWND owner = nullptr;  // receives WM_CAPTURE_DONE
    CCaptureEngine* engine = nullptr;
    ICaptureSink* sink = nullptr;
    bool series = false;
    BOOL noList = FALSE;
    int target = kTargetFiles;
    CaptureSettings settings;
    // Set by the worker when the capture was delivered but the editing
    // program did not start: what to tell the user.
    CString editorFailure;
    WatermarkBitmap watermark;  // a private copy, deleted by the worker
    // The cursor showing when the capture was asked for (a copy, deleted with
    // the job) and its hot spot on the screen; null when none, not wanted or
    // its hot spot lies outside the rectangle.
    // Taken then, not by the worker: by the time the worker runs, the tool
    // that asked (the control finder) is gone and the system may show no
    // cursor of ours any more.
    HICON cursor = nullptr;
    POINT cursorAt = {};
    // The file under `name` was made empty when the name was given, so that
    // no other capture (of this or another copy of the program) takes it.
    // Deleted with the job unless the capture was saved into it.
    bool reserved = false;
    // Set when the session ends and captures not yet begun on their file give up.
    const std::atomic<bool>* givingUp = nullptr;

    CaptureJob() = default;
    CaptureJob(const CaptureJob&) = delete;
    CaptureJob& operator=(const CaptureJob&) = delete;
    ~CaptureJob();
};

// The text after the last "." of `name`; empty when there is none.
CString GetFileExtension(const CString& name);

// Gets a captured image ready for its format: GIF is quantized to one
// 256-colour palette, TIFF gets LZW, JPEG baseline, PNG interlacing.
bool PrepareForFormat(class CDibImage& image, DWORD formatId);

// The system's own words for an error code, without the closing line break;
// a placeholder for the file or program it is about ("%1") holds `subject`.
CString SystemReason(DWORD error, const CString& subject = CString());

// Saves `image` as `path`. False with `reason` set when it fails: the image
// library's text, or, for a file it could not make or put in place (it has no
// words of its own for those), the system's reason.
bool SaveImageFile(class CDibImage& image, const CString& path, DWORD formatId, CString& reason);

// Makes `folder` with every level of it that is missing, as a folder dialog's
// new folder would. False when it cannot be made, with the message for the
// user: what failed, the folder and the system's reason.
bool MakeSaveFolder(const CString& folder, CString& failure);

// Starts `toolPath` on `filePath`; false when the process could not start,
// with the system's error left for GetLastError.
bool OpenInEditor(const CString& toolPath, const CString& filePath);

// Whether the folder lists a file under the very name `path` ends in. False
// when there is none, and when the file system answered for another file, as
// one does that cuts a name too long for it.
bool HasFileOfExactName(const CString& path);
// Makes an empty file under `path` only when there is none: ERROR_SUCCESS,
// ERROR_FILE_EXISTS when the name is taken, or why it could not be made.
DWORD ReserveFileName(const CString& path);
// The message for a capture whose file cannot have the name `path` as given.
CString NameNotMadeMessage(const CString& path);

// The worker body: pixels, cursor, watermark, encoding, delivery and the
// after-effects of one job. Returns an empty string, or why the capture
// failed (then nothing was delivered and no after-effect ran). A capture
// that gives up at the end of the session delivers nothing and says nothing.
CString CaptureWorker(CaptureJob& job);

// A copy of the cursor showing now and its hot spot's screen position; false
// (and nothing to free) when no cursor shows.
bool TakeCursor(HICON& cursor, POINT& at);
// Draws `cursor` with its hot spot at the screen point `at` into `dc` whose
// (0, 0) is the screen point (left, top).
void DrawCursorAt(HDC dc, HICON cursor, POINT at, int left, int top);
