#include "foundation/threading/thread.h"

#include <process.h>

#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX {

namespace {

constexpr wchar_t kMessageGuid[] = L"{CF318DB5-BE7E-43C6-A138-DA9756B2EC97}";

UINT RegisterMessage(const wchar_t* prefix) {
    return ::RegisterWindowMessageW((std::wstring(prefix) + kMessageGuid).c_str());
}

} // namespace

UINT Thread::StartedMessage() {
    static const UINT message = RegisterMessage(L"UWM_THREAD_STARTED_MSG-");
    return message;
}

UINT Thread::EndedMessage() {
    static const UINT message = RegisterMessage(L"UWN_THREAD_ENDED_MSG-");
    return message;
}

Thread::Thread() {
    Start();
}

Thread::Thread(HWND ownerWindow) : ownerWindow_(ownerWindow) {
    Start();
}

Thread::~Thread() = default;

// The new thread signals "started" and blocks on "go"; it is suspended in between, so the
// constructor returns a thread whose suspend count is 1. The started event is closed here,
// after our wait on it has returned, and the go event by the thread after its wait.
void Thread::Start() {
    // The messages are registered before any thread could need them.
    StartedMessage();
    EndedMessage();

    unsigned id = 0;
    const uintptr_t handle =
        ::_beginthreadex(nullptr, 0, &Thread::ThreadProc, this, CREATE_SUSPENDED, &id);
    ThrowLastErrorIf(handle == 0);
    Attach(reinterpret_cast<HANDLE>(handle));
    threadId_ = id;

    Resume();
    ThrowLastErrorIf(!started_.Wait(INFINITE));
    started_.Close();
    Suspend();
    go_.Set();
}

void Thread::Resume() {
    ThrowLastErrorIf(::ResumeThread(GetHandle()) == static_cast<DWORD>(-1));
}

void Thread::Suspend() {
    ThrowLastErrorIf(::SuspendThread(GetHandle()) == static_cast<DWORD>(-1));
}

bool Thread::Release() {
    throw Exception(LoadNeutralString(IDS_THREAD_CANNOT_BE_RELEASED));
}

bool Thread::Wait(DWORD timeoutMs) {
    return ::WaitForSingleObject(GetHandle(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Thread::Run() {
    return FailedExitCode;
}

unsigned __stdcall Thread::ThreadProc(void* argument) {
    auto* self = static_cast<Thread*>(argument);
    // Nothing may leave a thread's entry point: a Foundation exception ends the thread
    // quietly as the rule says, and any other would end the whole process.
    try {
        self->started_.Set();
        if (!self->go_.Wait(INFINITE)) {
            return FailedExitCode;
        }
        self->go_.Close();

        const HWND owner = self->ownerWindow_;
        const WPARAM id = self->threadId_;
        if (::IsWindow(owner)) {
            ::PostMessageW(owner, StartedMessage(), id, 0);
        }
        const DWORD exitCode = self->Run();
        // An owner may delete a worker it owns as soon as the ended message arrives.
        const bool autoDelete = self->autoDelete_;
        if (::IsWindow(owner)) {
            ::PostMessageW(owner, EndedMessage(), id, exitCode);
        }
        if (autoDelete) {
            delete self;
        }
        return exitCode;
    } catch (const Exception&) {
        return FailedExitCode;
    } catch (...) {
        return FailedExitCode;
    }
}

} // namespace MHFX
