// The "FILE" menu's save, save-as and delete of the selected pane item. The
// dialog gathers what they act on into a PaneItemContext; an IPaneItemHost
// carries out what they change in the panes and asks the user.
#pragma once

#include "Afx.h"
#include "workarea/WorkTab.h"

#include <functional>

class CDcTabWnd;
class CDibImage;
class CFileTabWnd;
class CFormViewWnd;

struct PaneItemContext {
    int target = 0;  // 0 saved files, 1 saved DCs
    WorkTabKind currentKind = WorkTabToolList;
    CString currentTitle;
    const CDibImage* currentImage = nullptr;
    bool currentFileChanged = false;  // written outside since the current tab read it
    CString selectedPath;
    int selectedFileIndex = -1;
    CString selectedLabel;
    HBITMAP selectedBitmap = nullptr;
    int selectedDcIndex = -1;
};

class IPaneItemHost {
public:
    virtual ~IPaneItemHost() = default;
    virtual void AddSavedFile(LPCWSTR path) = 0;
    virtual void RemoveSavedFile(int index) = 0;
    virtual void RemoveSavedDc(int index) = 0;
    // True when `path` may be overwritten; `changedOutside` when the file was
    // written by someone else since the work area read it.
    virtual bool ConfirmOverwrite(LPCWSTR path, bool changedOutside) = 0;
    virtual void ReportFailure(LPCWSTR message) = 0;
    // The current work-area picture was written under `path`.
    virtual void NoteCurrentImageSaved(LPCWSTR) {}
    // The current file tab shows its file as it now is, changed outside.
    virtual void RereadCurrentFile() {}
};

enum class PaneCommandResult { NotApplicable, Cancelled, Failed, Done };

// Writes the current work-area image over the selected file, or moves the
// selected saved-DC entry into `directory` as a file.
PaneCommandResult SaveSelectedItem(const PaneItemContext& context, const CString& directory, IPaneItemHost& host);
// Whether save-as has a picture to write: asked before a name is.
bool CanSaveItemAs(const PaneItemContext& context);
// Writes the selected item under `path` in the format its extension names;
// onto the shown file after an outside change, only when the user agrees.
PaneCommandResult SaveSelectedItemAs(const PaneItemContext& context, const CString& path, IPaneItemHost& host);
// Deletes the selected file from the disk and the pane, or the selected saved-DC
// entry. A file that cannot be deleted is reported and keeps its entry.
PaneCommandResult DeleteSelectedItem(const PaneItemContext& context, IPaneItemHost& host);

// The save dialog of save-as; empty when cancelled.
CString AskSaveAsPath(CWnd* parent);

// What the work area shows now, and as the selected item the pane item whose
// picture that is; the target is the pane that lists it.
PaneItemContext GatherPaneItemContext(const CFormViewWnd* view, const CFileTabWnd& files, const CDcTabWnd& savedDcs);

// IPaneItemHost over the main dialog's panes, asking through message boxes.
class CPaneItemHost : public IPaneItemHost {
public:
    using ReleaseBitmapFn = std::function<void(HBITMAP)>;
    // `releaseBitmap` frees the bitmap of a saved-DC entry once it has left the pane.
    CPaneItemHost(CFileTabWnd& files, CDcTabWnd& savedDcs, ReleaseBitmapFn releaseBitmap = {})
        : m_files(files), m_savedDcs(savedDcs), m_releaseBitmap(std::move(releaseBitmap)) {}
    void AddSavedFile(LPCWSTR path) override;
    void RemoveSavedFile(int index) override;
    void RemoveSavedDc(int index) override;
    bool ConfirmOverwrite(LPCWSTR path, bool changedOutside) override;
    void ReportFailure(LPCWSTR message) override;
    void NoteCurrentImageSaved(LPCWSTR path) override;
    void RereadCurrentFile() override;

private:
    CFileTabWnd& m_files;
    CDcTabWnd& m_savedDcs;
    ReleaseBitmapFn m_releaseBitmap;
};
