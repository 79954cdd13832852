// Per-thread state of the class library (internal header).
#pragma once

#include "AfxDefs.h"

#include <map>
#include <memory>
#include <typeindex>
#include <unordered_map>
#include <utility>

namespace afx_detail {

// Temporary wrapper objects handed out by the FromHandle functions for handles
// that no permanent object owns. They never own their handle: release()
// forgets it before the object is deleted.
struct TempObject {
    std::unique_ptr<CObject> object;
    void (*release)(CObject*) = nullptr;
};

struct ThreadState {
    // Windows with a permanent C++ object, created or attached on this thread.
    std::unordered_map<HWND, CWnd*> permanentWnds;
    // Temporary objects keyed by handle and wrapper type.
    std::map<std::pair<const void*, std::type_index>, TempObject> temporaries;

    // Window creation hook: the object waiting for its window.
    HHOOK hHookCbt = nullptr;
    CWnd* pWndInit = nullptr;

    // The message being processed by the innermost window procedure call.
    MSG lastSentMsg = {};

    // While a window exchanges its dialog data, notifications from its controls
    // (which the exchange itself causes) are ignored.
    HWND hLockoutNotifyWindow = nullptr;

    // The thread object of an AfxBeginThread thread; null on the main thread.
    CWinThread* pCurrentThread = nullptr;

    ~ThreadState();

    template <class T, class Handle>
    T* FindTemp(Handle h) {
        auto it = temporaries.find({static_cast<const void*>(h), std::type_index(typeid(T))});
        return it == temporaries.end() ? nullptr : static_cast<T*>(it->second.object.get());
    }

    template <class T, class Handle>
    T* AddTemp(Handle h, std::unique_ptr<T> obj, void (*release)(CObject*)) {
        T* raw = obj.get();
        TempObject entry;
        entry.object = std::move(obj);
        entry.release = release;
        temporaries[{static_cast<const void*>(h), std::type_index(typeid(T))}] = std::move(entry);
        return raw;
    }

    void DeleteTemporaries();
};

ThreadState& GetThreadState();
// Frees the calling thread's state (at the end of a library thread).
void ReleaseThreadState();

}  // namespace afx_detail
