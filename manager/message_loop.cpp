#include "manager/message_loop.h"

#include <algorithm>

namespace Dossiq::Manager {

namespace {

thread_local MessageLoop* t_current = nullptr;

// Messages that arrive all the time and say nothing about the user's work.
bool IsIdleMessage(const MSG& message) {
    switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case WM_TIMER:
    case 0x0118: // WM_SYSTIMER, the caret's blink
        return false;
    default:
        return true;
    }
}

template <typename T> void Remove(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

MessageLoop::MessageLoop() : previous_(t_current) {
    t_current = this;
}

MessageLoop::~MessageLoop() {
    t_current = previous_;
}

MessageLoop* MessageLoop::Current() {
    return t_current;
}

void MessageLoop::AddMessageFilter(MessageFilter* filter) {
    filters_.push_back(filter);
}

void MessageLoop::RemoveMessageFilter(MessageFilter* filter) {
    Remove(filters_, filter);
}

void MessageLoop::AddIdleHandler(IdleHandler* handler) {
    idleHandlers_.push_back(handler);
}

void MessageLoop::RemoveIdleHandler(IdleHandler* handler) {
    Remove(idleHandlers_, handler);
}

void MessageLoop::RunIdleHandlers() {
    // A handler may remove itself while it runs.
    const std::vector<IdleHandler*> handlers = idleHandlers_;
    for (IdleHandler* handler : handlers) {
        if (std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) != idleHandlers_.end()) {
            handler->OnIdle();
        }
    }
}

void MessageLoop::Dispatch(MSG& message) {
    // Filters are asked last-registered first, as nested windows expect.
    const std::vector<MessageFilter*> filters = filters_;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if ((*it)->PreTranslateMessage(message)) {
            return;
        }
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

int MessageLoop::Run() {
    bool idle = true;
    for (;;) {
        MSG message;
        while (idle && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            RunIdleHandlers();
            idle = false;
        }
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) {
            continue;
        }
        if (!got) {
            return static_cast<int>(message.wParam);
        }
        Dispatch(message);
        if (IsIdleMessage(message)) {
            idle = true;
        }
    }
}

} // namespace Dossiq::Manager
