// The user-interface thread's message loop with message filters (a look at every message
// before it is dispatched) and idle handlers (run when the queue has become empty).
#pragma once

#include <windows.h>

#include <vector>

namespace Dossiq::Manager {

class MessageFilter {
public:
    virtual ~MessageFilter() = default;
    // True when the message has been dealt with and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& message) = 0;
};

class IdleHandler {
public:
    virtual ~IdleHandler() = default;
    virtual void OnIdle() = 0;
};

class MessageLoop {
public:
    // The loop of the calling thread becomes this one while it exists.
    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    static MessageLoop* Current();

    void AddMessageFilter(MessageFilter* filter);
    void RemoveMessageFilter(MessageFilter* filter);
    void AddIdleHandler(IdleHandler* handler);
    void RemoveIdleHandler(IdleHandler* handler);

    // Runs until WM_QUIT and returns its exit code.
    int Run();
    void RunIdleHandlers();

private:
    void Dispatch(MSG& message);

    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
    MessageLoop* previous_ = nullptr;
};

} // namespace Dossiq::Manager
