#include "app/capture/PaneItemCommands.h"

#include "app/AppStrings.h"
#include "app/capture/CaptureJob.h"
#include "app/capture/FailureBox.h"
#include "app/panes/DcTabWnd.h"
#include "app/panes/FileTabWnd.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "workarea/FormViewWnd.h"
#include "workarea/ImagePreviewWnd.h"
#include "workarea/MainFrmWnd.h"

namespace {

// The current tab shows the item of the target's pane that the commands act on.
bool CurrentTabShowsItem(const PaneItemContext& context) {
    if (context.target == 0)
        return context.currentKind == WorkTabSavedFile && context.selectedFileIndex >= 0 &&
               context.currentTitle == CFormViewWnd::TitleOf(context.selectedPath);
    return context.currentKind == WorkTabSavedDc && context.selectedDcIndex >= 0 &&
           context.currentTitle == CFormViewWnd::TitleOf(context.selectedLabel);
}

// ... and its picture, which save writes.
bool CurrentTabShowsSelection(const PaneItemContext& context) {
    return CurrentTabShowsItem(context) && context.currentImage && context.currentImage->IsValid();
}

DWORD FormatOf(const CString& path) {
    CString extension = GetFileExtension(path);
    extension.MakeLower();
    return CDibImage::GetTypeIdFromName(extension.GetString());
}

bool FileExists(const CString& path) { return GetFileAttributesW(path.GetString()) != INVALID_FILE_ATTRIBUTES; }

// Asks before an existing file is written over. A No to a file changed
// outside brings that change into the tab, which showed the file as it was.
bool MayOverwrite(const CString& path, bool changedOutside, IPaneItemHost& host) {
    if (!FileExists(path) || host.ConfirmOverwrite(path, changedOutside))
        return true;
    if (changedOutside)
        host.RereadCurrentFile();
    return false;
}

// Removes the file from the disk. A file that is already gone counts as
// removed: the entry has nothing left to show. Under Wine a delete in a folder
// that cannot be written to reports success and leaves the file, so the file
// is looked for afterwards.
bool DeleteFromDisk(const CString& path, IPaneItemHost& host) {
    CString reason;
    if (DeleteFileW(path.GetString())) {
        if (!FileExists(path))
            return true;
        reason = LoadResString(IDS_DELETE_LEFT_FILE);
    } else {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return true;
        reason = SystemReason(error);
    }
    CString message;
    message.Format(LoadResString(IDS_DELETE_FAILED), path.GetString(), reason.GetString());
    host.ReportFailure(message);
    return false;
}

// Prepared as a capture is, so a full-colour picture can go to a GIF name.
bool SaveImage(CDibImage& image, const CString& path, IPaneItemHost& host) {
    const DWORD formatId = FormatOf(path);
    CString reason = formatId ? CString() : CString(L"unknown file type");
    bool ok = formatId != 0;
    if (ok && !PrepareForFormat(image, formatId)) {
        reason = image.GetLastError();
        ok = false;
    }
    if (ok)
        ok = SaveImageFile(image, path, formatId, reason);
    if (!ok) {
        CString message;
        message.Format(L"파일을 저장하지 못했습니다.\n%s\n(%s)", path.GetString(), reason.GetString());
        host.ReportFailure(message);
    }
    return ok;
}
}  // namespace

PaneCommandResult SaveSelectedItem(const PaneItemContext& context, const CString& directory, IPaneItemHost& host) {
    if (!CurrentTabShowsSelection(context))
        return PaneCommandResult::NotApplicable;
    CString path = context.selectedPath;
    if (context.target != 0) {
        const int slash = context.selectedLabel.ReverseFind(L'\\');
        path.Format(L"%s\\%s", directory.GetString(), context.selectedLabel.Mid(slash + 1).GetString());
        CString failure;
        if (!MakeSaveFolder(directory, failure)) {
            host.ReportFailure(failure);
            return PaneCommandResult::Failed;
        }
    }
    if (!MayOverwrite(path, context.target == 0 && context.currentFileChanged, host))
        return PaneCommandResult::Cancelled;
    CDibImage copy(*context.currentImage);
    if (!SaveImage(copy, path, host))
        return PaneCommandResult::Failed;
    if (context.target == 0) {
        host.NoteCurrentImageSaved(path);
    } else {
        host.AddSavedFile(path);
        host.RemoveSavedDc(context.selectedDcIndex);
    }
    return PaneCommandResult::Done;
}

bool CanSaveItemAs(const PaneItemContext& context) {
    return context.target == 0 ? CurrentTabShowsSelection(context)
                               : CurrentTabShowsItem(context) && context.selectedBitmap;
}

PaneCommandResult SaveSelectedItemAs(const PaneItemContext& context, const CString& path, IPaneItemHost& host) {
    if (path.IsEmpty() || !CanSaveItemAs(context))
        return PaneCommandResult::NotApplicable;
    CDibImage image;
    if (context.target == 0) {
        // The save dialog's own question does not know of the outside change.
        if (context.currentFileChanged && path.CompareNoCase(context.selectedPath) == 0 &&
            !MayOverwrite(path, true, host))
            return PaneCommandResult::Cancelled;
        image.Copy(*context.currentImage);
    } else {
        image.CreateFromHBITMAP(context.selectedBitmap);
    }
    if (!SaveImage(image, path, host))
        return PaneCommandResult::Failed;
    if (context.target == 0) {
        host.NoteCurrentImageSaved(path);
        if (path.Compare(context.selectedPath) != 0)
            host.AddSavedFile(path);
    } else {
        host.AddSavedFile(path);
        host.RemoveSavedDc(context.selectedDcIndex);
    }
    return PaneCommandResult::Done;
}

PaneCommandResult DeleteSelectedItem(const PaneItemContext& context, IPaneItemHost& host) {
    if (!CurrentTabShowsItem(context))
        return PaneCommandResult::NotApplicable;
    if (context.target == 0) {
        if (context.selectedFileIndex < 0)
            return PaneCommandResult::NotApplicable;
        // A file that stays on the disk keeps its entry.
        if (!DeleteFromDisk(context.selectedPath, host))
            return PaneCommandResult::Failed;
        host.RemoveSavedFile(context.selectedFileIndex);
    } else {
        if (context.selectedDcIndex < 0)
            return PaneCommandResult::NotApplicable;
        host.RemoveSavedDc(context.selectedDcIndex);
    }
    return PaneCommandResult::Done;
}

CString AskSaveAsPath(CWnd* parent) {
    static const wchar_t kFilter[] =
        L"JPG/JPEG Files(*.jpg;*.jpeg)\0*.jpg;*.jpeg;\0"
        L"PNG Files(*.png)\0*.png;\0"
        L"GIF Files(*.gif)\0*.gif;\0"
        L"BMP Files(*.bmp)\0*.bmp;\0"
        L"TIF/TIFF Files(*.tif;*.tiff)\0*.tif;*.tiff\0";
    // With a default extension the dialog gives a bare name the chosen type's
    // extension, and asks about overwriting under that full name.
    CFileDialog dialog(FALSE, L"jpg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter, parent);
    if (dialog.DoModal() != IDOK)
        return CString();
    return dialog.GetPathName();
}

PaneItemContext GatherPaneItemContext(const CFormViewWnd* view, const CFileTabWnd& files, const CDcTabWnd& savedDcs) {
    PaneItemContext context;
    if (!view)
        return context;
    context.currentKind = view->GetCurrentKind();
    context.currentTitle = view->GetTabTitle(view->GetCurrentTab());
    context.currentImage = view->GetCurrentImage();
    const CImagePreviewWnd* pane = view->GetCurrentPane();
    context.currentFileChanged = pane && pane->SourceChanged();
    // The item is the one shown, whichever pane shows and whatever it highlights.
    if (context.currentKind == WorkTabSavedFile && pane) {
        context.selectedPath = pane->GetSourcePath();
        context.selectedFileIndex = files.FindItem(context.selectedPath);
    } else if (context.currentKind == WorkTabSavedDc) {
        context.target = 1;
        context.selectedDcIndex = savedDcs.FindItem(context.currentTitle);
        if (context.selectedDcIndex >= 0) {
            context.selectedLabel = savedDcs.m_list.GetItemText(context.selectedDcIndex, 0);
            context.selectedBitmap = reinterpret_cast<HBITMAP>(savedDcs.m_list.GetItemData(context.selectedDcIndex));
        }
    }
    return context;
}

void CPaneItemHost::AddSavedFile(LPCWSTR path) {
    m_files.AddItem(path);
}
void CPaneItemHost::RemoveSavedFile(int index) { m_files.DeleteItem(index); }
void CPaneItemHost::RemoveSavedDc(int index) {
    if (index < 0 || index >= m_savedDcs.m_list.GetItemCount())
        return;
    const auto bitmap = reinterpret_cast<HBITMAP>(m_savedDcs.m_list.GetItemData(index));
    m_savedDcs.DeleteItem(index);
    if (m_releaseBitmap && bitmap)
        m_releaseBitmap(bitmap);
}

bool CPaneItemHost::ConfirmOverwrite(LPCWSTR, bool changedOutside) {
    static const wchar_t kQuestion[] = L"같은 이름을 가진 파일이 이미 존재 합니다.\n덮어쓰시겠습니까?";
    if (changedOutside)
        return AfxMessageBox(LoadResString(IDS_OVERWRITE_CHANGED_FILE), MB_YESNO) == IDYES;
    return AfxMessageBox(kQuestion, MB_YESNO) == IDYES;
}

void CPaneItemHost::NoteCurrentImageSaved(LPCWSTR path) {
    if (CMainFrmWnd* workArea = m_files.GetWorkArea(); workArea && workArea->GetView())
        workArea->GetView()->NoteCurrentImageSaved(path);
}

void CPaneItemHost::RereadCurrentFile() {
    if (CMainFrmWnd* workArea = m_files.GetWorkArea(); workArea && workArea->GetView())
        workArea->GetView()->RereadCurrentFile();
}

void CPaneItemHost::ReportFailure(LPCWSTR message) { ShowFailureBox(message); }
