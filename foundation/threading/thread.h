// Base of every worker thread. The constructor creates the thread and parks it inside its
// procedure; Resume lets it run Run. Around Run the thread posts the registered "started"
// and "ended" messages to its owner window, if that window still exists. A worker that owns
// itself sets autoDelete_ in its constructor and is deleted by its thread after Run; its
// creator must not touch it after Resume.
#pragma once

#include <memory>
#include <utility>

#include "foundation/exception.h"
#include "foundation/threading/event.h"
#include "foundation/threading/handle_holder.h"
#include "foundation/threading/sync_object.h"

namespace MHFX {

class Thread : public HandleHolder, public SyncObject {
public:
    // Both throw Win32Exception when the thread cannot be created or parked.
    Thread();
    explicit Thread(HWND ownerWindow);
    // Closes the handles; neither waits for nor stops the thread.
    ~Thread() override;

    void Resume();
    void Suspend();

    DWORD ThreadId() const { return threadId_; }
    HWND OwnerWindow() const { return ownerWindow_; }

    // A thread cannot be released: always throws Exception.
    bool Release() override;
    // True when the thread has ended within `timeoutMs`.
    bool Wait(DWORD timeoutMs) override;

    // The registered messages, looked up once per process. Started: wParam is the thread
    // id. Ended: wParam is the thread id, lParam Run's exit code.
    static UINT StartedMessage();
    static UINT EndedMessage();

    static constexpr DWORD FailedExitCode = 0xFFFFFFFF;

protected:
    // The work; its result is the thread's exit code.
    virtual DWORD Run();

    bool autoDelete_ = false;

private:
    static unsigned __stdcall ThreadProc(void* argument);
    void Start();

    HWND ownerWindow_ = nullptr;
    Event started_{true, false};
    Event go_{true, false};
    DWORD threadId_ = 0;
};

// Makes a worker that sets autoDelete_ and lets it run; from then on it is its own. False
// when its thread cannot be made.
template <typename Worker, typename... Arguments> bool StartWorker(Arguments&&... arguments) {
    try {
        std::unique_ptr<Worker> worker(new Worker(std::forward<Arguments>(arguments)...));
        worker->Resume();
        worker.release(); // it deletes itself
        return true;
    } catch (const Exception&) {
        return false;
    }
}

} // namespace MHFX
