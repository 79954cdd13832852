// Worker threads: suspended start, resume, join, and results posted back.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr UINT WM_WORK_DONE = WM_APP + 80;

struct Work {
    std::atomic<bool> ran{false};
    CWinThread* seenThread = nullptr;
    HWND notify = nullptr;
};

UINT __cdecl WorkerProc(LPVOID param) {
    auto* work = static_cast<Work*>(param);
    work->seenThread = AfxGetThread();
    work->ran = true;
    if (work->notify)
        ::PostMessageW(work->notify, WM_WORK_DONE, 0, 7);
    return 7;
}

class CReceiverWnd : public test::CHostWnd {
public:
    LPARAM received = 0;

protected:
    afx_msg LRESULT OnWorkDone(WPARAM, LPARAM lParam) {
        received = lParam;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReceiverWnd, test::CHostWnd)
    ON_MESSAGE(WM_WORK_DONE, OnWorkDone)
END_MESSAGE_MAP()

TEST(Thread, SuspendedResumedJoinedAndKept) {
    CReceiverWnd receiver;
    ASSERT_TRUE(receiver.CreateHost(100, 100));
    Work work;
    work.notify = receiver.m_hWnd;

    CWinThread* thread = AfxBeginThread(WorkerProc, &work, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    ASSERT_NE(thread->m_hThread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_FALSE(work.ran);
    EXPECT_EQ(thread->ResumeThread(), 1u);  // it was suspended once

    ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(::GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(work.ran);
    EXPECT_EQ(work.seenThread, thread);  // the object outlived its thread
    delete thread;

    test::PumpMessages();
    EXPECT_EQ(receiver.received, 7);
    EXPECT_EQ(AfxGetThread(), AfxGetApp());  // the UI thread is the application's
    receiver.DestroyWindow();
}

TEST(Thread, AutoDeletingThreadRuns) {
    Work work;
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Context {
        Work* work;
        HANDLE done;
    } context = {&work, done};
    CWinThread* thread = AfxBeginThread(
        [](LPVOID p) -> UINT {
            auto* c = static_cast<Context*>(p);
            WorkerProc(c->work);
            ::SetEvent(c->done);
            return 0;
        },
        &context);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(::WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(work.ran);
    ::CloseHandle(done);
}

}  // namespace
