// Waiting for a condition, with or without handling the calling thread's messages.
#pragma once

#include <windows.h>

#include <functional>

namespace TestSupport {

// Handles the thread's messages until `done` holds or `timeoutMs` passed; the final value
// of `done`. `observer` sees each message before it is dispatched; `idle` runs whenever
// the queue is empty (a window layer's idle handlers).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const std::function<void(const MSG&)>& observer = {},
               const std::function<void()>& idle = {});
// Handles the thread's messages for `milliseconds`.
void Pump(DWORD milliseconds, const std::function<void()>& idle = {});
// Polls `done` without touching the message queue (for threads that own no window).
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The exit code of the last WM_QUIT a pump took out of the queue, -1 for none.
int LastQuitCode();

} // namespace TestSupport
