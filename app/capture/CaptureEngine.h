// The capture engine: names each capture's target, runs it on a worker
// thread of its own, joins the worker when it reports back and keeps count of
// a continuous series. Owned by the main dialog, which forwards
// WM_CAPTURE_DONE to OnCaptureDone.
#pragma once

#include "app/capture/CaptureJob.h"

#include <array>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

// Target names of the running continuous series, in capture order; UI thread only.
extern std::list<CString> CapturedFileList;

// Shots of a running bitmap series, in capture order; UI thread only. The
// list owns each bitmap until the continuous-capture panel takes it.
struct CapturedBitmap {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};
extern std::list<CapturedBitmap> CapturedBitmapList;

class CCaptureEngine {
public:
    static constexpr int kSlotCount = 1024;
    // Taken names one capture passes over before it gives up.
    static constexpr int kMaxNameProbes = 10000;
    // Address space a capture kept in memory must leave free, so that the
    // program can go on working (windows, encoders, saving the list to files).
    static constexpr unsigned long long kAddressReserve = 256ull << 20;

    CCaptureEngine(COpFilePropertyPage& fileOptions, COpWatermarkPropertyPage& watermarkOptions,
                   COpContinuePage& miscOptions);
    // Joins every running worker.
    ~CCaptureEngine();
    CCaptureEngine(const CCaptureEngine&) = delete;
    CCaptureEngine& operator=(const CCaptureEngine&) = delete;

    // `owner` receives WM_CAPTURE_DONE; `sink` gets the results. Either may be null.
    void Attach(HWND owner, ICaptureSink* sink);

    // Whether `needed` more bytes of address space, in blocks of `block`
    // bytes, can still be had beside kAddressReserve.
    using AddressSpaceProbe = std::function<bool(unsigned long long needed, unsigned long long block)>;
    // The system is asked unless another probe is set here.
    void SetAddressSpaceProbe(AddressSpaceProbe probe);

    // UI thread. `source` (and `sourceBitmap`, the bitmap selected in it) are
    // handed over: the worker deletes them, also when no capture starts.
    // `cursorAt`: where the pointer was when the capture was asked for, when
    // that was before this call (a region's release); null: where it is now.
    // False when no worker could be started.
    bool StartCapture(HDC source, RECT rect, BOOL noList, bool series, int seriesCount,
                      HBITMAP sourceBitmap = nullptr, const POINT* cursorAt = nullptr);
    // The primary screen, as the full-screen command takes it.
    bool StartFullScreenCapture();
    // UI thread: handler of WM_CAPTURE_DONE with lParam = slot. Returns 0.
    LRESULT OnCaptureDone(int slot);
    // Waits for every running worker and deletes it; results are dropped.
    void JoinAll();
    // UI thread, when the session ends and the process is about to be ended:
    // the running captures are finished, for at most `finishMs`; then those
    // that have not begun writing their file give up, removing the name each
    // held, for at most `giveUpMs` more. True when no worker runs any more.
    bool FinishForSessionEnd(DWORD finishMs, DWORD giveUpMs);

    // 0 image files, 1 saved-DC list.
    void SetSaveTarget(int target) { m_saveTarget = target == kTargetSavedDc ? kTargetSavedDc : kTargetFiles; }
    int GetSaveTarget() const { return m_saveTarget; }

    // Rebuilds the prepared watermark from the options (see BuildWatermarkBitmap).
    void BuildWatermarkBitmap(HFONT font, HDC referenceDc);
    const WatermarkBitmap& GetWatermark() const { return m_watermark; }

    // The navigator ends a series early: forget it and hand its names over.
    void EndSeries();
    // A series stopped after `started` captures: it ends once those have
    // completed (at once when they have), so only finished files are handed over.
    void EndSeriesAfter(int started);
    // Captures include layered windows (CAPTUREBLT).
    bool CapturesLayeredWindows() const;

    int GetNextSlot() const { return m_nextSlot; }
    int GetSavedDcCounter() const { return m_savedDcCounter; }
    RECT GetCaptureRect() const { return m_captureRect; }
    bool IsSeries() const { return m_series; }
    int GetSeriesCount() const { return m_seriesCount; }
    int GetSeriesDone() const { return m_seriesDone; }
    // Slots whose worker has not been joined yet.
    int GetBusySlotCount() const;

private:
    struct Slot {
        CWinThread* thread = nullptr;
        bool posted = false;     // its worker posted WM_CAPTURE_DONE
        int staleMessages = 0;   // completions already handled at slot reuse
        CString failure;
        CString editorFailure;  // the capture was made; its editing program did not start
        unsigned long long memory = 0;  // address space its in-memory capture may still take
    };

    static UINT __cdecl CaptureThreadProc(LPVOID param);
    // StartCapture's steps: the slot to use, the job's contents, its worker.
    int TakeNextSlot();
    void FillJob(CaptureJob& job, const RECT& rect, int slot, const CString& name, int target, bool series,
                 BOOL noList, const POINT* cursorAt);
    bool StartWorker(std::unique_ptr<CaptureJob> job);
    // Empty, with the message why in `failure`, when no file can be made: the
    // name is cut to another, or none of kMaxNameProbes numbers is free, or the
    // counter is at its top and that name is taken too. `reserved`: the
    // name's file was made (empty) to hold it.
    CString NextTargetName(int target, CString& failure, bool& reserved);
    // Address space a capture of `rect` into memory takes at its peak.
    static unsigned long long MemoryPeakOf(const RECT& rect);
    // Whether a capture of `rect` may still be kept in memory.
    bool HasRoomInMemory(const RECT& rect);
    // UI thread: joins the slot's worker, reports its failure and counts the series.
    void FinishSlot(int slot);
    void CountSeriesCompletion();
    // Whether every running worker ended by `deadline` (a GetTickCount64 time).
    bool WaitForWorkers(ULONGLONG deadline) const;

    COpFilePropertyPage& m_fileOptions;
    COpWatermarkPropertyPage& m_watermarkOptions;
    COpContinuePage& m_miscOptions;
    HWND m_owner = nullptr;
    ICaptureSink* m_sink = nullptr;

    mutable std::mutex m_slotLock;  // the workers' posted/failure fields
    std::array<Slot, kSlotCount> m_slots;
    RECT m_captureRect = {};
    int m_nextSlot = 0;
    int m_seriesCount = 0;
    bool m_series = false;
    int m_seriesDone = 0;
    WatermarkBitmap m_watermark;
    int m_saveTarget = kTargetFiles;
    int m_savedDcCounter = 0;
    bool m_editorFailureTold = false;
    CString m_topNameTaken;  // the name of the counter's top, once given to a capture this run
    AddressSpaceProbe m_addressSpaceProbe;
    unsigned long long m_memoryInFlight = 0;  // the slots' memory, not yet taken
    std::atomic<bool> m_givingUp{false};
};
