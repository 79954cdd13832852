// The main of every test program: GoogleTest's own, except that GoogleTest's
// thread watcher starts before the first test.
//
// On Windows GoogleTest starts a thread that watches the main thread the first
// time a test there reports a failure, a skip or a trace. Where that is the
// last test (reference comparisons that skip under Wine), the new thread is
// still starting up when the program ends, and Wine then kills the process
// with SIGSEGV: the core shows the new thread inside its first wineserver call
// with no thread state yet for its signal handler, and the main thread in
// NtTerminateProcess. Started here, the thread has the whole run to come up.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    { SCOPED_TRACE("starts the thread watcher"); }
    return RUN_ALL_TESTS();
}
