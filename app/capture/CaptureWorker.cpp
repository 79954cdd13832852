#include "app/capture/CaptureJob.h"

#include "app/AppStrings.h"
#include "app/capture/ScopedGdi.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "image/DibImage.h"
#include "image/Quantizer.h"
#include "resources/resource.h"

#include <mmsystem.h>

#include <cwctype>
#include <string>

namespace {
constexpr UINT kCaptureSoundId = 232;
constexpr DWORD kCaptureBlt = 0x40000000;
// Larger captures than this are refused rather than half-allocated.
constexpr long long kMaxCapturePixels = 1LL << 28;

CString Reason(LPCWSTR what, const CString& name, const CString& detail = CString()) {
    CString text;
    if (!detail.IsEmpty())
        text.Format(L"%s\n%s\n(%s)", what, name.GetString(), detail.GetString());
    else
        text.Format(L"%s\n%s", what, name.GetString());
    return text;
}

bool IsFolder(const CString& path) {
    const DWORD attributes = GetFileAttributesW(path.GetString());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder, its missing parents first; the system's error when it cannot.
DWORD MakeFolder(const CString& folder) {
    if (IsFolder(folder))
        return ERROR_SUCCESS;
    if (GetFileAttributesW(folder.GetString()) != INVALID_FILE_ATTRIBUTES)
        return ERROR_ALREADY_EXISTS;  // a file of that name
    if (CreateDirectoryW(folder.GetString(), nullptr))
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    const int slash = folder.ReverseFind(L'\\');
    if (error != ERROR_PATH_NOT_FOUND || slash <= 0 || (slash == 2 && folder[1] == L':'))
        return error;  // a drive or share that is not there stops here
    error = MakeFolder(folder.Left(slash));
    if (error != ERROR_SUCCESS)
        return error;
    if (CreateDirectoryW(folder.GetString(), nullptr) || IsFolder(folder))
        return ERROR_SUCCESS;  // or made meanwhile by another capture
    return GetLastError();
}

// The captured picture as an image, through GDI+ when a watermark is laid on.
bool ComposeImage(CaptureJob& job, HBITMAP captured, int width, int height, CDibImage& image) {
    if (!job.settings.watermark || !job.watermark.bitmap)
        return image.CreateFromHBITMAP(captured);
    gdip::ScopedBitmap canvas;
    if (gdip::GdipCreateBitmapFromHBITMAP(captured, nullptr, canvas.Out()) != gdip::Ok)
        return false;
    const RECT all = {0, 0, width, height};
    ApplyWatermark(canvas.Get(), job.settings.watermarkParams, job.watermark.bitmap, job.watermark.width,
                   job.watermark.height, true, job.settings.hideColour, all);
    HBITMAP composed = nullptr;
    if (gdip::GdipCreateHBITMAPFromBitmap(canvas.Get(), &composed, 0) != gdip::Ok)
        return false;
    ScopedBitmapHandle owned(composed);
    return image.CreateFromHBITMAP(owned.Get());
}
}  // namespace

CaptureJob::~CaptureJob() {
    if (source)
        DeleteDC(source);
    if (sourceBitmap)
        DeleteObject(sourceBitmap);
    if (watermark.bitmap)
        DeleteObject(watermark.bitmap);
    if (cursor)
        DestroyIcon(cursor);
    if (reserved)
        DeleteFileW(name.GetString());
}

CaptureSettings CaptureSettings::From(const COpFilePropertyPage& file, const COpWatermarkPropertyPage& watermark,
                                      const COpContinuePage& misc) {
    CaptureSettings settings;
    settings.layered = misc.Layered != 0;
    settings.mouseCursor = misc.MouseCursor != 0;
    settings.balloon = misc.ToolTipEffect != 0;
    settings.sound = misc.SoundEffect != 0;
    settings.openInEditor = file.EditedChecked != 0;
    settings.editorPath = file.EditedTool;
    settings.watermark = watermark.WaterMark != 0;
    settings.hideColour = watermark.HideColor != 0;
    settings.watermarkParams = WatermarkParamsFromOptions(watermark);
    return settings;
}

CString GetFileExtension(const CString& name) {
    const int dot = name.ReverseFind(L'.');
    return dot < 0 ? CString() : name.Mid(dot + 1);
}

bool PrepareForFormat(CDibImage& image, DWORD formatId) {
    switch (formatId) {
    case CDibImage::kFormatGif: {
        CQuantizer quantizer(7);
        if (!quantizer.ProcessImage(image.GetDIB()))
            return false;
        RGBQUAD palette[256] = {};
        quantizer.SetColorTable(palette);
        return image.DecreaseBpp(8, true, palette, 256);
    }
    case CDibImage::kFormatTif:
        return image.SetCodecOption(5, formatId);
    case CDibImage::kFormatJpg:
    case CDibImage::kFormatPng:
    case CDibImage::kFormatRaw:
        return image.SetCodecOption(1, formatId);
    default:
        return true;
    }
}

CString SystemReason(DWORD error, const CString& subject) {
    WCHAR* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const CString raw = length && text ? CString(text) : CString();
    if (text)
        LocalFree(text);
    // The inserts are left as written ("%1", "%2!s!"): the first becomes the
    // subject, any other goes, so that no placeholder reaches the user.
    CString reason;
    for (int i = 0; i < raw.GetLength(); ++i) {
        if (raw[i] != L'%' || i + 1 >= raw.GetLength() || !iswdigit(raw[i + 1])) {
            reason += raw[i];
            continue;
        }
        int end = i + 1;
        while (end < raw.GetLength() && iswdigit(raw[end]))
            ++end;
        if (raw.Mid(i + 1, end - i - 1) == L"1")
            reason += subject;
        if (end < raw.GetLength() && raw[end] == L'!' && raw.Find(L'!', end + 1) > end)
            end = raw.Find(L'!', end + 1) + 1;
        i = end - 1;
    }
    reason.TrimRight();
    if (reason.IsEmpty())
        reason.Format(L"%lu", error);
    return reason;
}

bool SaveImageFile(CDibImage& image, const CString& path, DWORD formatId, CString& reason) {
    image.SetLastErrorText(nullptr);  // a text left from before is no reason of this save
    if (image.Save(path.GetString(), formatId))
        return true;
    const DWORD error = GetLastError();
    const char* detail = image.GetLastError();
    reason = detail && *detail ? CString(detail) : SystemReason(error, path);
    return false;
}

bool MakeSaveFolder(const CString& folder, CString& failure) {
    const DWORD error = MakeFolder(folder);
    if (error == ERROR_SUCCESS)
        return true;
    failure = Reason(LoadResString(IDS_CAPTURE_FOLDER_FAILED), folder, SystemReason(error));
    return false;
}

bool OpenInEditor(const CString& toolPath, const CString& filePath) {
    // Both quoted: either may contain spaces. CreateProcessW wants a writable buffer.
    std::wstring commandLine = L"\"" + toolPath.str() + L"\" \"" + filePath.str() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool HasFileOfExactName(const CString& path) {
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW(path.GetString(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    const CString asked = path.Mid(path.ReverseFind(L'\\') + 1);
    return asked.CompareNoCase(found.cFileName) == 0;
}

DWORD ReserveFileName(const CString& path) {
    const HANDLE file = CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error;
    }
    CloseHandle(file);
    return ERROR_SUCCESS;
}

CString NameNotMadeMessage(const CString& path) {
    return Reason(L"이 이름 그대로는 파일을 만들 수 없어 캡쳐를 저장하지 않았습니다.\n"
                  L"이름이 너무 길 수 있습니다.\n파일 설정에서 더 짧은 이름을 고르세요.",
                  path);
}

bool TakeCursor(HICON& cursor, POINT& at) {
    cursor = nullptr;
    CURSORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor)
        return false;
    cursor = CopyIcon(info.hCursor);
    at = info.ptScreenPos;
    return cursor != nullptr;
}

void DrawCursorAt(HDC dc, HICON cursor, POINT at, int left, int top) {
    ScopedIconInfo iconInfo(cursor);
    if (!iconInfo.IsValid())
        return;
    DrawIcon(dc, at.x - left - static_cast<int>(iconInfo.Get().xHotspot),
             at.y - top - static_cast<int>(iconInfo.Get().yHotspot), cursor);
}

CString CaptureWorker(CaptureJob& job) {
    const long long width = static_cast<long long>(job.rect.right) - job.rect.left;
    const long long height = static_cast<long long>(job.rect.bottom) - job.rect.top;
    if (width <= 0 || height <= 0 || width * height > kMaxCapturePixels)
        return Reason(L"캡쳐 영역이 올바르지 않습니다.", job.name);

    ScopedDc screen;
    HDC source = job.source;
    if (!source) {
        screen.Reset(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        source = screen.Get();
    }
    ScopedMemoryDc memory(source);
    ScopedBitmapHandle captured(source ? CreateCompatibleBitmap(source, static_cast<int>(width),
                                                                static_cast<int>(height))
                                       : nullptr);
    if (!memory.Get() || !captured.Get())
        return Reason(L"캡쳐할 화면을 읽지 못했습니다.", job.name);
    {
        ScopedSelect select(memory.Get(), captured.Get());
        SetStretchBltMode(memory.Get(), COLORONCOLOR);
        const int x = job.source ? 0 : job.rect.left;
        const int y = job.source ? 0 : job.rect.top;
        const DWORD rop = job.settings.layered ? (SRCCOPY | kCaptureBlt) : SRCCOPY;
        BitBlt(memory.Get(), 0, 0, static_cast<int>(width), static_cast<int>(height), source, x, y, rop);
        if (job.settings.mouseCursor && job.cursor)
            DrawCursorAt(memory.Get(), job.cursor, job.cursorAt, job.rect.left, job.rect.top);
    }
    // The source is no longer needed: give it back before the slow part.
    screen.Reset();
    if (job.source) {
        DeleteDC(job.source);
        job.source = nullptr;
    }
    if (job.sourceBitmap) {
        DeleteObject(job.sourceBitmap);
        job.sourceBitmap = nullptr;
    }

    CDibImage image;
    if (!ComposeImage(job, captured.Get(), static_cast<int>(width), static_cast<int>(height), image))
        return Reason(L"캡쳐한 그림을 만들지 못했습니다.", job.name, image.GetLastError());
    captured.Reset();

    CString extension = GetFileExtension(job.name);
    extension.MakeLower();
    const DWORD formatId = CDibImage::GetTypeIdFromName(extension.GetString());
    // The session ends: nobody is there to be told, and the reserved name goes with the job.
    const auto givingUp = [&] { return job.givingUp && *job.givingUp; };
    if (givingUp())
        return CString();
    if (!PrepareForFormat(image, formatId))
        return Reason(L"캡쳐한 그림을 변환하지 못했습니다.", job.name, image.GetLastError());
    // Past this point the file is written whole, or not at all, within moments.
    if (givingUp())
        return CString();

    if (job.target == kTargetSavedDc) {
        HBITMAP bitmap = image.MakeBitmap();
        if (!bitmap)
            return Reason(L"캡쳐한 그림을 만들지 못했습니다.", job.name, image.GetLastError());
        if (job.sink)
            job.sink->AddSavedBitmap(job.name, bitmap);
        else
            DeleteObject(bitmap);
    } else if (job.name.GetLength() >= MAX_PATH) {
        // Beyond what the system's file functions take: say so rather than
        // let the save fail with a reason that names no cause.
        return Reason(LoadResString(IDS_CAPTURE_PATH_TOO_LONG), job.name);
    } else {
        const CString folder = job.name.Left(job.name.ReverseFind(L'\\'));
        CString failure;
        if (!MakeSaveFolder(folder, failure))
            return failure;
        // A folder missing at naming time: its name is held only now. A file
        // made there since is never replaced.
        if (!job.reserved) {
            const DWORD error = ReserveFileName(job.name);
            if (error == ERROR_FILE_EXISTS)
                return Reason(L"캡쳐한 파일을 저장하지 못했습니다.", job.name, SystemReason(error, job.name));
            job.reserved = error == ERROR_SUCCESS;
        }
        CString reason;
        if (!SaveImageFile(image, job.name, formatId, reason))
            return Reason(L"캡쳐한 파일을 저장하지 못했습니다.", job.name, reason);
        job.reserved = false;  // the capture's own file now
        if (!HasFileOfExactName(job.name)) {
            // Made under a cut name: not the file the pane would list. The
            // name was free, so what was made is this capture's own.
            DeleteFileW(job.name.GetString());
            return NameNotMadeMessage(job.name);
        }
    }

    if (job.settings.balloon && job.sink)
        job.sink->ShowCaptureBalloon(job.name);
    if (job.settings.sound)
        sndPlaySoundW(MAKEINTRESOURCEW(kCaptureSoundId), SND_RESOURCE | SND_ASYNC);
    const bool singleFile = !job.series && job.target == kTargetFiles;
    if (job.settings.openInEditor && singleFile && !OpenInEditor(job.settings.editorPath, job.name)) {
        const CString reason = SystemReason(GetLastError(), job.settings.editorPath);
        job.editorFailure.Format(L"캡쳐 후 열 편집 툴을 실행하지 못했습니다.\n%s\n(%s)\n\n"
                                 L"캡쳐한 파일은 저장했습니다.\n이 알림은 이번 실행에서 다시 나오지 않습니다.",
                                 job.settings.editorPath.GetString(), reason.GetString());
    }
    if (singleFile && !job.noList && job.sink)
        job.sink->AddSavedFile(job.name);
    return CString();
}
