// The main of every test program: GoogleTest's, except that GoogleTest's
// thread watcher is started, and has come up, before the first test.
//
// On Windows GoogleTest starts a thread that watches the main thread the first
// time a test there reports a failure, a skip or a trace. Should the program
// end while that thread is still starting, Wine kills the process with
// SIGSEGV: the core shows the new thread inside its first wineserver call with
// no thread state yet for its signal handler, and the main thread in
// NtTerminateProcess. Started at once, the thread still lost that race in
// programs whose tests take under a millisecond (5 crashes in 6,000 runs of
// one such program beside a CPU load), so main also waits for it to come up.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <atomic>

namespace {

std::atomic<int> threadsUp{0};

// A thread's attach notices reach TLS callbacks once the thread is set up
// and about to run its own code, past the window in which an end kills it.
void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH)
        ++threadsUp;
}

}  // namespace

extern "C" __attribute__((section(".CRT$XLV"), used)) const PIMAGE_TLS_CALLBACK vesk_test_thread_event = OnThreadEvent;
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    const int before = threadsUp;
#endif
    { SCOPED_TRACE("starts the thread watcher"); }
#ifdef _WIN32
    // The first thread to come up after the trace is taken for the watcher. In
    // a program without windows it is the only one; in one with windows it may
    // be another (not measured), but those run for seconds, time enough for it.
    for (int waited = 0; threadsUp == before && waited < 5000; waited += 5)
        ::Sleep(5);
#endif
    return RUN_ALL_TESTS();
}
