// Worker threads against a real hidden window with its own message loop, events, critical
// sections and the scoped lock.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <vector>

#include "foundation/argument_exception.h"
#include "foundation/resource_string.h"
#include "foundation/threading/critical_section.h"
#include "foundation/threading/event.h"
#include "foundation/threading/sync_lock.h"
#include "foundation/threading/thread.h"
#include "foundation/win32_exception.h"

using namespace MHFX;

namespace {

constexpr DWORD kPatienceMs = 60000;

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level window that is never shown and records the two thread messages.
class OwnerWindow {
public:
    OwnerWindow() {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &OwnerWindow::Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"DossiqThreadTestOwner";
            return ::RegisterClassW(&wc);
        }();
        hwnd_ = ::CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    }
    ~OwnerWindow() {
        if (hwnd_ != nullptr) {
            ::DestroyWindow(hwnd_);
        }
    }

    HWND hwnd() const { return hwnd_; }
    const std::vector<Posted>& received() const { return received_; }

    // Runs the message loop until `done` holds or the patience runs out.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs) {
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        for (;;) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            if (done()) {
                return true;
            }
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline) {
                return false;
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                        QS_ALLINPUT);
        }
    }

    // Empties the queue without waiting.
    void Drain() {
        PumpUntil([] { return true; }, 0);
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<OwnerWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr &&
            (message == Thread::StartedMessage() || message == Thread::EndedMessage())) {
            self->received_.push_back({message, wParam, lParam});
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
    std::vector<Posted> received_;
};

// What a worker saw and whether it is gone, kept outside the worker that deletes itself.
struct Trace {
    std::atomic<DWORD> runThread{0};
    std::atomic<int> runs{0};
    std::atomic<int> destroyed{0};
    Event gone{true, false};
};

enum class Outcome { Return, ThrowWin32, ThrowArgument, ThrowStandard };

class Worker : public Thread {
public:
    Worker(HWND owner, Trace& trace, Outcome outcome, DWORD result, bool autoDelete)
        : Thread(owner), trace_(trace), outcome_(outcome), result_(result) {
        autoDelete_ = autoDelete;
    }
    ~Worker() override {
        ++trace_.destroyed;
        trace_.gone.Set();
    }

protected:
    DWORD Run() override {
        trace_.runThread = ::GetCurrentThreadId();
        ++trace_.runs;
        switch (outcome_) {
        case Outcome::ThrowWin32:
            throw Win32Exception(ERROR_ACCESS_DENIED);
        case Outcome::ThrowArgument:
            throw ArgumentException(L"bad", L"p");
        case Outcome::ThrowStandard:
            throw std::runtime_error("not ours");
        case Outcome::Return:
            break;
        }
        return result_;
    }

private:
    Trace& trace_;
    Outcome outcome_;
    DWORD result_;
};

DWORD ExitCodeOf(Thread& thread) {
    DWORD code = 0;
    ::GetExitCodeThread(thread.GetHandle(), &code);
    return code;
}

} // namespace

TEST(Thread, MessagesAreRegisteredOncePerProcess) {
    EXPECT_EQ(
        Thread::StartedMessage(),
        ::RegisterWindowMessageW(L"UWM_THREAD_STARTED_MSG-{CF318DB5-BE7E-43C6-A138-DA9756B2EC97}"));
    EXPECT_EQ(
        Thread::EndedMessage(),
        ::RegisterWindowMessageW(L"UWN_THREAD_ENDED_MSG-{CF318DB5-BE7E-43C6-A138-DA9756B2EC97}"));
    EXPECT_GE(Thread::StartedMessage(), 0xC000u);
    EXPECT_NE(Thread::StartedMessage(), Thread::EndedMessage());
}

TEST(Thread, ParkedUntilResumedThenPostsStartedAndEnded) {
    OwnerWindow owner;
    ASSERT_NE(owner.hwnd(), nullptr);
    Trace trace;
    auto* worker = new Worker(owner.hwnd(), trace, Outcome::Return, 42, true);
    const DWORD id = worker->ThreadId();
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker->OwnerWindow(), owner.hwnd());

    // Parked inside its procedure with a suspend count of exactly one.
    EXPECT_EQ(::SuspendThread(worker->GetHandle()), 1u);
    EXPECT_EQ(::ResumeThread(worker->GetHandle()), 2u);
    EXPECT_FALSE(worker->Wait(0));
    EXPECT_EQ(trace.runs, 0);

    worker->Resume(); // from here on the worker belongs to itself
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.received().size() == 2; }));
    const auto& got = owner.received();
    EXPECT_EQ(got[0].message, Thread::StartedMessage());
    EXPECT_EQ(got[0].wParam, id);
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_EQ(got[1].message, Thread::EndedMessage());
    EXPECT_EQ(got[1].wParam, id);
    EXPECT_EQ(static_cast<DWORD>(got[1].lParam), 42u);
    EXPECT_EQ(trace.runThread, id);
    ASSERT_TRUE(trace.gone.Wait(kPatienceMs));
    EXPECT_EQ(trace.destroyed, 1);
}

TEST(Thread, EndedCarriesFullExitCode) {
    OwnerWindow owner;
    Trace trace;
    auto* worker = new Worker(owner.hwnd(), trace, Outcome::Return, 0xFFFFFFFEu, true);
    worker->Resume();
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.received().size() == 2; }));
    EXPECT_EQ(static_cast<DWORD>(owner.received()[1].lParam), 0xFFFFFFFEu);
    ASSERT_TRUE(trace.gone.Wait(kPatienceMs));
}

TEST(Thread, NullOrDestroyedOwnerGetsNothing) {
    OwnerWindow bystander; // this thread's queue: a post to a null window would land here
    bystander.Drain();
    Trace trace;
    Worker quiet(nullptr, trace, Outcome::Return, 7, false);
    quiet.Resume();
    ASSERT_TRUE(quiet.Wait(kPatienceMs));
    EXPECT_EQ(ExitCodeOf(quiet), 7u);
    EXPECT_EQ(trace.runs, 1);

    HWND gone = nullptr;
    {
        OwnerWindow shortLived;
        gone = shortLived.hwnd();
    }
    ASSERT_FALSE(::IsWindow(gone));
    Trace trace2;
    Worker orphan(gone, trace2, Outcome::Return, 8, false);
    orphan.Resume();
    ASSERT_TRUE(orphan.Wait(kPatienceMs));
    EXPECT_EQ(ExitCodeOf(orphan), 8u);

    // Both workers have ended, so anything they posted is queued by now.
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, Thread::StartedMessage(), Thread::StartedMessage(),
                                PM_REMOVE));
    EXPECT_FALSE(
        ::PeekMessageW(&msg, nullptr, Thread::EndedMessage(), Thread::EndedMessage(), PM_REMOVE));
    bystander.Drain();
    EXPECT_TRUE(bystander.received().empty());
}

TEST(Thread, ExceptionFromRunEndsQuietlyAndKeepsTheObject) {
    for (Outcome outcome : {Outcome::ThrowWin32, Outcome::ThrowArgument, Outcome::ThrowStandard}) {
        SCOPED_TRACE(static_cast<int>(outcome));
        OwnerWindow owner;
        Trace trace;
        auto* worker = new Worker(owner.hwnd(), trace, outcome, 0, true);
        const DWORD id = worker->ThreadId();
        worker->Resume();
        // Not deleted despite auto delete, so it can still be waited for.
        ASSERT_TRUE(worker->Wait(kPatienceMs));
        EXPECT_EQ(ExitCodeOf(*worker), 0xFFFFFFFFu);
        EXPECT_EQ(trace.runs, 1);
        EXPECT_EQ(trace.destroyed, 0);
        owner.Drain();
        ASSERT_EQ(owner.received().size(), 1u); // started only
        EXPECT_EQ(owner.received()[0].message, Thread::StartedMessage());
        EXPECT_EQ(owner.received()[0].wParam, id);
        delete worker;
        EXPECT_EQ(trace.destroyed, 1);
    }
}

TEST(Thread, DefaultRunFailsAndReleaseThrows) {
    Thread plain;
    plain.Resume();
    ASSERT_TRUE(plain.Wait(kPatienceMs));
    EXPECT_EQ(ExitCodeOf(plain), 0xFFFFFFFFu);
    try {
        plain.Release();
        FAIL() << "Release returned";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"Thread cannot be released!");
    }
    // A lock on a thread waits for its end; the refused release is dropped.
    EXPECT_NO_THROW({
        SyncLock lock(plain);
        EXPECT_TRUE(lock.IsHeld());
    });
}

TEST(Thread, SuspendStopsAndResumeContinues) {
    struct Spinner : Thread {
        std::atomic<long> count{0};
        std::atomic<bool> stop{false};
        DWORD Run() override {
            while (!stop) {
                ++count;
            }
            return 5;
        }
    } spinner;
    spinner.Resume();
    while (spinner.count < 1000) {
        ::Sleep(1);
    }
    spinner.Suspend();
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    ::GetThreadContext(spinner.GetHandle(), &context); // returns once it really stands
    const long frozen = spinner.count;
    ::Sleep(50);
    EXPECT_EQ(spinner.count, frozen);
    spinner.Resume();
    const ULONGLONG deadline = ::GetTickCount64() + kPatienceMs;
    while (spinner.count == frozen && ::GetTickCount64() < deadline) {
        ::Sleep(1);
    }
    EXPECT_GT(spinner.count, frozen);
    spinner.stop = true;
    ASSERT_TRUE(spinner.Wait(kPatienceMs));
    EXPECT_EQ(ExitCodeOf(spinner), 5u);
}

// The start-up handshake under load: several threads create and start workers at once.
TEST(Thread, ManyWorkersFromSeveralCreatorsAllFinish) {
    constexpr int kCreators = 4;
    constexpr int kPerCreator = 50;
    struct Counted : Thread {
        std::atomic<int>& ran;
        std::atomic<int>& destroyed;
        std::atomic<int>& wrongThread;
        Event& allGone;
        Counted(std::atomic<int>& r, std::atomic<int>& d, std::atomic<int>& w, Event& g)
            : ran(r), destroyed(d), wrongThread(w), allGone(g) {
            autoDelete_ = true;
        }
        ~Counted() override {
            if (++destroyed == kCreators * kPerCreator) {
                allGone.Set();
            }
        }
        DWORD Run() override {
            if (ThreadId() != ::GetCurrentThreadId()) {
                ++wrongThread;
            }
            ++ran;
            return 0;
        }
    };
    std::atomic<int> ran{0}, destroyed{0}, wrongThread{0}, failures{0};
    Event allGone(true, false);
    struct Creator : Thread {
        std::function<void()> body;
        DWORD Run() override {
            body();
            return 0;
        }
    };
    std::vector<std::unique_ptr<Creator>> creators;
    for (int i = 0; i < kCreators; ++i) {
        creators.push_back(std::make_unique<Creator>());
        creators.back()->body = [&] {
            for (int n = 0; n < kPerCreator; ++n) {
                try {
                    (new Counted(ran, destroyed, wrongThread, allGone))->Resume();
                } catch (const Exception&) {
                    ++failures;
                }
            }
        };
    }
    for (auto& creator : creators) {
        creator->Resume();
    }
    for (auto& creator : creators) {
        ASSERT_TRUE(creator->Wait(kPatienceMs * 2));
    }
    ASSERT_TRUE(allGone.Wait(kPatienceMs * 2)) << ran << " ran, " << destroyed << " destroyed";
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ran, kCreators * kPerCreator);
    EXPECT_EQ(wrongThread, 0);
}

// Every handle a worker opens (thread, two handshake events) is closed again, by the side
// that used it last.
TEST(Thread, LeavesNoHandlesBehind) {
    auto cycle = [](int count) {
        for (int i = 0; i < count; ++i) {
            Trace trace;
            Worker worker(nullptr, trace, Outcome::Return, 0, false);
            worker.Resume();
            ASSERT_TRUE(worker.Wait(kPatienceMs));
        }
    };
    cycle(5); // warm up whatever the runtime opens once
    DWORD before = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
    cycle(50);
    DWORD after = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
    EXPECT_EQ(after, before);
}

TEST(Event, WaitSetResetAndClose) {
    Event manual(true, false);
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_FALSE(manual.Wait(0));
    EXPECT_LT(::GetTickCount64() - before, 5000u); // "at once", with room for a slow machine
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0)); // stays set
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));
    EXPECT_TRUE(manual.Release()); // releasing an event sets it
    EXPECT_TRUE(manual.Wait(INFINITE));

    Event automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0)); // one waiter took it

    automatic.Close();
    EXPECT_FALSE(automatic.IsOpen());
    EXPECT_FALSE(automatic.Wait(0));
    EXPECT_NO_THROW(automatic.Close());
    try {
        automatic.Set();
        FAIL() << "Set on a closed event";
    } catch (const Win32Exception& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST(SyncLock, CriticalSectionExcludesOtherThreads) {
    CriticalSection section;
    long shared = 0; // deliberately not atomic
    struct Adder : Thread {
        CriticalSection& section;
        long& shared;
        Adder(CriticalSection& s, long& v) : section(s), shared(v) {}
        DWORD Run() override {
            for (int i = 0; i < 20000; ++i) {
                SyncLock lock(section);
                const long seen = shared;
                if (i % 1000 == 0) {
                    ::SwitchToThread(); // invite the others in while we hold it
                }
                shared = seen + 1;
            }
            return 0;
        }
    };
    std::vector<std::unique_ptr<Adder>> adders;
    for (int i = 0; i < 4; ++i) {
        adders.push_back(std::make_unique<Adder>(section, shared));
    }
    for (auto& adder : adders) {
        adder->Resume();
    }
    for (auto& adder : adders) {
        ASSERT_TRUE(adder->Wait(kPatienceMs));
    }
    EXPECT_EQ(shared, 80000);
    EXPECT_TRUE(section.Wait(0)); // free again, and re-entrant for its owner
    EXPECT_TRUE(section.Wait(0));
    section.Release();
    section.Release();
}

TEST(SyncLock, ReleasesOnlyWhatItHolds) {
    struct Counting : SyncObject {
        bool waitResult = true;
        bool releaseResult = true;
        bool releaseThrows = false;
        int waits = 0;
        int releases = 0;
        bool Wait(DWORD timeoutMs) override {
            EXPECT_EQ(timeoutMs, INFINITE);
            ++waits;
            return waitResult;
        }
        bool Release() override {
            ++releases;
            if (releaseThrows) {
                throw Win32Exception(ERROR_NOT_OWNER);
            }
            return releaseResult;
        }
    };
    Counting held;
    {
        SyncLock lock(held);
        EXPECT_TRUE(lock.IsHeld());
        EXPECT_EQ(held.releases, 0);
    }
    EXPECT_EQ(held.waits, 1);
    EXPECT_EQ(held.releases, 1);

    Counting refused;
    refused.waitResult = false;
    { SyncLock lock(refused); }
    EXPECT_EQ(refused.releases, 0);

    Counting throwing;
    throwing.releaseThrows = true;
    EXPECT_NO_THROW({ SyncLock lock(throwing); });
    EXPECT_EQ(throwing.releases, 1);
}
