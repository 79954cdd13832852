#include "ThreadState.h"

#include "Wnd.h"

#include <memory>

namespace afx_detail {

ThreadState::~ThreadState() {
    DeleteTemporaries();
    if (hHookCbt)
        ::UnhookWindowsHookEx(hHookCbt);
}

void ThreadState::DeleteTemporaries() {
    // Take the map first: releasing an object must not see a half-cleared map.
    auto doomed = std::move(temporaries);
    temporaries.clear();
    for (auto& entry : doomed) {
        if (entry.second.release && entry.second.object)
            entry.second.release(entry.second.object.get());
    }
}

namespace {
DWORD StateSlot() {
    static const DWORD slot = ::TlsAlloc();
    return slot;
}
}  // namespace

// Kept in a system TLS slot rather than a C++ thread_local: objects with static
// storage (windows, markers) are destroyed after the main thread's
// thread_locals and must still find the maps. The main thread's state lives
// until the process ends; library threads free theirs when they finish.
ThreadState& GetThreadState() {
    auto* state = static_cast<ThreadState*>(::TlsGetValue(StateSlot()));
    if (!state) {
        auto created = std::make_unique<ThreadState>();
        ::TlsSetValue(StateSlot(), created.get());
        state = created.release();
    }
    return *state;
}

void ReleaseThreadState() {
    std::unique_ptr<ThreadState> state(static_cast<ThreadState*>(::TlsGetValue(StateSlot())));
    ::TlsSetValue(StateSlot(), nullptr);
}

}  // namespace afx_detail
