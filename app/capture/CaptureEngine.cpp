#include "app/capture/CaptureEngine.h"

#include "app/AppMessages.h"
#include "app/AppStrings.h"
#include "app/capture/AddressSpace.h"
#include "app/settings/OpContinuePage.h"
#include "app/settings/OpFilePropertyPage.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "resources/resource.h"

#include <algorithm>
#include <climits>
#include <memory>

std::list<CString> CapturedFileList;
std::list<CapturedBitmap> CapturedBitmapList;

CCaptureEngine::CCaptureEngine(COpFilePropertyPage& fileOptions, COpWatermarkPropertyPage& watermarkOptions,
                               COpContinuePage& miscOptions)
    : m_fileOptions(fileOptions), m_watermarkOptions(watermarkOptions), m_miscOptions(miscOptions) {
    SetAddressSpaceProbe(nullptr);
}

CCaptureEngine::~CCaptureEngine() {
    JoinAll();
    if (m_watermark.bitmap)
        DeleteObject(m_watermark.bitmap);
}

void CCaptureEngine::Attach(HWND owner, ICaptureSink* sink) {
    m_owner = owner;
    m_sink = sink;
}

void CCaptureEngine::SetAddressSpaceProbe(AddressSpaceProbe probe) {
    if (!probe)
        probe = [](unsigned long long needed, unsigned long long block) {
            return CanReserveAddressSpace(kAddressReserve + needed, block);
        };
    m_addressSpaceProbe = std::move(probe);
}

CString CCaptureEngine::NextTargetName(int target, CString& failure, bool& reserved) {
    reserved = false;
    CString name;
    if (target == kTargetSavedDc) {
        name.Format(L"예약된 이름\\veskdc_%d.bmp", m_savedDcCounter);
        if (m_savedDcCounter < INT_MAX)
            ++m_savedDcCounter;
        return name;
    }
    // The first numbered name not on disk; the counter ends one past it.
    const CString folder = m_fileOptions.SaveFolder();
    for (int probe = 0; probe < kMaxNameProbes; ++probe) {
        name.Format(L"%s\\%s_%d.%s", folder.GetString(), m_fileOptions.FileName.GetString(),
                    m_fileOptions.FileCount, m_fileOptions.FileType.GetString());
        bool free = GetFileAttributesW(name.GetString()) == INVALID_FILE_ATTRIBUTES;
        if (free) {
            // Held at once by making its file, only if there is none: another
            // copy of the program in this folder may be naming its capture
            // at the same moment. A missing folder is made by the worker,
            // which holds the name then.
            const DWORD error = ReserveFileName(name);
            reserved = error == ERROR_SUCCESS;
            free = error != ERROR_FILE_EXISTS;
            // Made under a name cut to fit the file system: not this one.
            if (reserved && !HasFileOfExactName(name)) {
                DeleteFileW(name.GetString());
                reserved = false;
                free = false;
            }
        }
        // A name the file system cannot hold as given (too long for it) is cut
        // to one that is already there, whatever its number.
        if (!free && !HasFileOfExactName(name)) {
            failure = NameNotMadeMessage(name);
            return CString();
        }
        if (m_fileOptions.FileCount == INT_MAX) {
            // The counter cannot go on: its last name is used once, never overwritten,
            // also while the capture that took it is still being written.
            if (!free || name.CompareNoCase(m_topNameTaken) == 0) {
                if (reserved)
                    DeleteFileW(name.GetString());
                reserved = false;
                failure = LoadResString(IDS_CAPTURE_NO_FREE_NAME);
                return CString();
            }
            m_topNameTaken = name;
            return name;
        }
        ++m_fileOptions.FileCount;
        if (free)
            return name;
    }
    // The counter keeps its place: the next capture searches on from there.
    failure.Format(L"번호 %d개의 파일 이름이 모두 쓰이고 있어\n캡쳐를 저장하지 않았습니다.\n"
                   L"다음 캡쳐는 %d번부터 빈 번호를 찾습니다.",
                   kMaxNameProbes, m_fileOptions.FileCount);
    return CString();
}

unsigned long long CCaptureEngine::MemoryPeakOf(const RECT& rect) {
    const long long width = std::max<long long>(0, 1LL * rect.right - rect.left);
    const long long height = std::max<long long>(0, 1LL * rect.bottom - rect.top);
    // The worker holds up to four 32-bit copies at once: captured,
    // watermarked, encoded and kept.
    return static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) * 4 * 4;
}

bool CCaptureEngine::HasRoomInMemory(const RECT& rect) {
    // Captures still running take theirs too; each copy needs a block of its own.
    const unsigned long long peak = MemoryPeakOf(rect);
    constexpr unsigned long long kMinBlock = 16ull << 20;
    return m_addressSpaceProbe(m_memoryInFlight + peak, std::max(peak / 4, kMinBlock));
}

bool CCaptureEngine::StartCapture(HDC source, RECT rect, BOOL noList, bool series, int seriesCount,
                                  HBITMAP sourceBitmap, const POINT* cursorAt) {
    auto job = std::make_unique<CaptureJob>();
    job->source = source;
    job->sourceBitmap = sourceBitmap;

    // Refused before anything is used up, so the kept captures and the
    // program survive; files remain open to the user.
    if (!series && m_saveTarget == kTargetSavedDc && !HasRoomInMemory(rect)) {
        if (m_sink)
            m_sink->ReportCaptureFailure(
                L"저장된 DC 목록이 가득 찼습니다. 메모리에 캡쳐를 더 보관할 수 없습니다.\n\n"
                L"계속 캡쳐하려면 목록의 항목을 파일로 저장해 목록을 비우거나, "
                L"\"저장된 파일\" 탭을 골라 파일로 캡쳐하세요.");
        return false;
    }

    // A series' shots become the frames of an animation: always files.
    const int target = series ? kTargetFiles : m_saveTarget;
    CString failure;
    const CString name = NextTargetName(target, failure, job->reserved);
    m_series = series;
    m_seriesCount = series ? seriesCount : 0;
    if (name.IsEmpty()) {
        if (m_sink)
            m_sink->ReportCaptureFailure(failure);
        // A refused shot of a series is done: the series still ends.
        CountSeriesCompletion();
        return false;
    }
    const int slot = TakeNextSlot();
    m_captureRect = rect;
    FillJob(*job, rect, slot, name, target, series, noList, cursorAt);
    if (series)
        CapturedFileList.push_back(job->name);
    return StartWorker(std::move(job));
}

int CCaptureEngine::TakeNextSlot() {
    if (m_nextSlot >= kSlotCount)
        m_nextSlot = 0;
    const int slot = m_nextSlot;
    // A slot still busy from 1024 captures ago: finish its worker before reuse.
    if (m_slots[slot].thread) {
        FinishSlot(slot);
        std::lock_guard<std::mutex> lock(m_slotLock);
        if (m_slots[slot].posted)
            ++m_slots[slot].staleMessages;
    }
    return slot;
}

void CCaptureEngine::FillJob(CaptureJob& job, const RECT& rect, int slot, const CString& name, int target,
                            bool series, BOOL noList, const POINT* cursorAt) {
    job.rect = rect;
    job.slot = slot;
    job.target = target;
    job.name = name;
    job.owner = m_owner;
    job.engine = this;
    job.sink = m_sink;
    job.series = series;
    job.noList = noList;
    job.givingUp = &m_givingUp;
    job.settings = CaptureSettings::From(m_fileOptions, m_watermarkOptions, m_miscOptions);
    // Only a cursor pointing into the picture belongs in it. A region's release
    // point is the corner of its frame, just outside what is saved: drawn, its
    // hot spot would fall outside and only the selection cross's arms would show.
    // A region is copied a while after its release (the live one waits for
    // the screen): by then a quick hand may have moved the pointer into it,
    // where no cursor showed. It is drawn where it was at the release; its
    // shape, the session's own, stays until the copy.
    if (job.settings.mouseCursor && TakeCursor(job.cursor, job.cursorAt)) {
        if (cursorAt)
            job.cursorAt = *cursorAt;
        if (!PtInRect(&rect, job.cursorAt)) {
            DestroyIcon(job.cursor);
            job.cursor = nullptr;
        }
    }
    if (job.settings.watermark && m_watermark.bitmap) {
        job.watermark.bitmap = CopyWatermarkBitmap(m_watermark.bitmap);
        job.watermark.width = m_watermark.width;
        job.watermark.height = m_watermark.height;
    }
}

bool CCaptureEngine::StartWorker(std::unique_ptr<CaptureJob> job) {
    const int slot = job->slot;
    {
        std::lock_guard<std::mutex> lock(m_slotLock);
        m_slots[slot].posted = false;
        m_slots[slot].failure.Empty();
        m_slots[slot].editorFailure.Empty();
    }
    const unsigned long long memory = job->target == kTargetSavedDc ? MemoryPeakOf(job->rect) : 0;
    CWinThread* thread = AfxBeginThread(&CCaptureEngine::CaptureThreadProc, job.get(), THREAD_PRIORITY_NORMAL, 0,
                                        CREATE_SUSPENDED, nullptr);
    if (!thread) {
        if (m_sink)
            m_sink->ReportCaptureFailure(L"캡쳐 작업을 시작하지 못했습니다.");
        return false;
    }
    job.release();  // the worker owns it now
    thread->m_bAutoDelete = FALSE;
    m_slots[slot].thread = thread;
    m_slots[slot].memory = memory;
    m_memoryInFlight += memory;
    thread->ResumeThread();
    ++m_nextSlot;
    return true;
}

bool CCaptureEngine::StartFullScreenCapture() {
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return StartCapture(nullptr, screen, FALSE, false, 0);
}

UINT __cdecl CCaptureEngine::CaptureThreadProc(LPVOID param) {
    std::unique_ptr<CaptureJob> job(static_cast<CaptureJob*>(param));
    CString failure = CaptureWorker(*job);
    const CString editorFailure = job->editorFailure;
    CCaptureEngine* engine = job->engine;
    const int slot = job->slot;
    const HWND owner = job->owner;
    job.reset();

    std::lock_guard<std::mutex> lock(engine->m_slotLock);
    Slot& state = engine->m_slots[slot];
    state.failure = failure;
    state.editorFailure = editorFailure;
    // Posted under the lock so slot reuse sees exactly whether a message is queued.
    state.posted = owner && PostMessageW(owner, WM_CAPTURE_DONE, 0, slot);
    return 0;
}

LRESULT CCaptureEngine::OnCaptureDone(int slot) {
    if (slot < 0 || slot >= kSlotCount)
        return 0;
    Slot& state = m_slots[slot];
    if (state.staleMessages > 0) {
        --state.staleMessages;
        return 0;
    }
    if (state.thread)
        FinishSlot(slot);
    return 0;
}

void CCaptureEngine::FinishSlot(int slot) {
    Slot& state = m_slots[slot];
    CWinThread* thread = state.thread;
    state.thread = nullptr;
    // The worker takes the slot lock last thing; never hold it while waiting.
    WaitForSingleObject(thread->m_hThread, INFINITE);
    delete thread;
    m_memoryInFlight -= state.memory;
    state.memory = 0;
    CString failure, editorFailure;
    {
        std::lock_guard<std::mutex> lock(m_slotLock);
        failure = state.failure;
        state.failure.Empty();
        editorFailure = state.editorFailure;
        state.editorFailure.Empty();
    }
    if (!failure.IsEmpty() && m_sink)
        m_sink->ReportCaptureFailure(failure);
    // Once a run: every capture after it would say the same.
    if (!editorFailure.IsEmpty() && !m_editorFailureTold && m_sink) {
        m_editorFailureTold = true;
        m_sink->ReportCaptureFailure(editorFailure);
    }
    CountSeriesCompletion();
}

void CCaptureEngine::CountSeriesCompletion() {
    if (!m_series)
        return;
    if (++m_seriesDone >= m_seriesCount)
        EndSeries();
}

void CCaptureEngine::EndSeries() {
    m_seriesDone = 0;
    m_seriesCount = 0;
    m_series = false;
    if (m_sink)
        m_sink->OnSeriesComplete();
}

void CCaptureEngine::EndSeriesAfter(int started) {
    if (!m_series)
        return;
    m_seriesCount = started;
    if (m_seriesDone >= m_seriesCount)
        EndSeries();
}

bool CCaptureEngine::CapturesLayeredWindows() const { return m_miscOptions.Layered != 0; }

void CCaptureEngine::JoinAll() {
    for (Slot& state : m_slots) {
        if (!state.thread)
            continue;
        WaitForSingleObject(state.thread->m_hThread, INFINITE);
        delete state.thread;
        state.thread = nullptr;
        m_memoryInFlight -= state.memory;
        state.memory = 0;
        std::lock_guard<std::mutex> lock(m_slotLock);
        if (state.posted)
            ++state.staleMessages;
        state.posted = false;
        state.failure.Empty();
        state.editorFailure.Empty();
    }
}

bool CCaptureEngine::WaitForWorkers(ULONGLONG deadline) const {
    for (const Slot& state : m_slots) {
        const ULONGLONG now = GetTickCount64();
        if (state.thread && WaitForSingleObject(state.thread->m_hThread,
                                                now < deadline ? static_cast<DWORD>(deadline - now) : 0) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

bool CCaptureEngine::FinishForSessionEnd(DWORD finishMs, DWORD giveUpMs) {
    // The workers neither send to this thread nor wait for it: waiting here is safe.
    if (WaitForWorkers(GetTickCount64() + finishMs))
        return true;
    m_givingUp = true;
    return WaitForWorkers(GetTickCount64() + giveUpMs);
}

int CCaptureEngine::GetBusySlotCount() const {
    int busy = 0;
    for (const Slot& state : m_slots)
        busy += state.thread ? 1 : 0;
    return busy;
}

void CCaptureEngine::BuildWatermarkBitmap(HFONT font, HDC referenceDc) {
    ::BuildWatermarkBitmap(m_watermarkOptions, font, referenceDc, m_watermark);
}
