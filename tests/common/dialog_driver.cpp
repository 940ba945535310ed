#include "common/dialog_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>

#include "foundation/handle.h"

namespace TestSupport {

namespace {

struct FindData {
    std::wstring title;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* data = reinterpret_cast<FindData*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window)) {
        return TRUE;
    }
    if (WindowText(window) != data->title) {
        return TRUE;
    }
    if (data->className != nullptr) {
        wchar_t name[256] = {};
        ::GetClassNameW(window, name, 256);
        if (std::wstring(name) != data->className) {
            return TRUE;
        }
    }
    data->found.push_back(window);
    return TRUE;
}

struct ChildQuery {
    int id;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    auto* query = reinterpret_cast<ChildQuery*>(parameter);
    if (query->className != nullptr) {
        wchar_t name[256] = {};
        ::GetClassNameW(window, name, 256);
        if (_wcsicmp(name, query->className) == 0) {
            query->found.push_back(window);
        }
    } else if (::GetDlgCtrlID(window) == query->id) {
        query->found.push_back(window);
    }
    return TRUE;
}

} // namespace

std::vector<HWND> WindowsTitled(const std::wstring& title) {
    FindData data{title, nullptr, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs, const wchar_t* className) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    do {
        FindData data{title, className, {}};
        ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&data));
        if (!data.found.empty()) {
            // Let the dialog finish its initialisation before it is read.
            ::Sleep(300);
            return data.found.front();
        }
        ::Sleep(50);
    } while (::GetTickCount64() < end);
    return nullptr;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (::IsWindow(window)) {
        if (::GetTickCount64() >= end) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

std::wstring WindowText(HWND window) {
    const int length = static_cast<int>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = static_cast<int>(
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND ChildById(HWND parent, int id) {
    ChildQuery query{id, nullptr, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    return query.found.empty() ? nullptr : query.found.front();
}

HWND ChildByClass(HWND parent, const wchar_t* className) {
    ChildQuery query{0, className, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    return query.found.empty() ? nullptr : query.found.front();
}

std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className) {
    ChildQuery query{0, className, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    std::vector<std::wstring> texts;
    for (HWND child : query.found) {
        texts.push_back(WindowText(child));
    }
    return texts;
}

MessageBoxContent ReadMessageBox(HWND window) {
    MessageBoxContent content;
    content.window = window;
    if (window == nullptr) {
        return content;
    }
    content.caption = WindowText(window);
    if (HWND text = ::GetDlgItem(window, 0xFFFF)) {
        content.text = WindowText(text);
    }
    ChildQuery query{0, L"Static", {}};
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&query));
    for (HWND child : query.found) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            content.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        }
    }
    return content;
}

void PressButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

namespace {

DWORD WINAPI RunBody(void* parameter) {
    try {
        (*static_cast<const std::function<void()>*>(parameter))();
    } catch (...) {
        return 1;
    }
    return 0;
}

} // namespace

void RunBeside(const std::function<void()>& body, const std::function<void()>& driver) {
    MHFX::KernelHandle thread(
        ::CreateThread(nullptr, 0, RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr));
    ASSERT_TRUE(thread.valid());
    driver();
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 120000), WAIT_OBJECT_0) << "the body hangs";
}


HWND CreateTestWindow(const wchar_t* title) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND window = ::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                        200, 100, nullptr, nullptr, nullptr, nullptr);
        if (window != nullptr) {
            return window;
        }
        ::Sleep(100);
    }
    return nullptr;
}

namespace {

struct DialogSearch {
    HWND ignore;
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (window != search->ignore && ::IsWindowVisible(window) &&
        wcscmp(className, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CloseVisible(HWND window, LPARAM ignore) {
    if (window != reinterpret_cast<HWND>(ignore) && ::IsWindowVisible(window)) {
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

} // namespace

DialogUser::DialogUser(std::function<void(HWND)> act, HWND ignore)
    : uiThread_(::GetCurrentThreadId()), ignore_(ignore), act_(std::move(act)) {
    thread_ = ::CreateThread(
        nullptr, 0,
        [](void* self) -> DWORD {
            auto* user = static_cast<DialogUser*>(self);
            user->Run(user->act_);
            return 0;
        },
        this, 0, nullptr);
}

DialogUser::~DialogUser() {
    if (thread_ != nullptr) {
        Finish();
    }
}

HWND DialogUser::Finish() {
    done_ = true;
    if (thread_ != nullptr) {
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
    }
    return dialog_;
}

void DialogUser::Run(const std::function<void(HWND)>& act) {
    DialogSearch search{ignore_};
    int sinceFound = 0;
    for (int tick = 0; !done_; ++tick) {
        ::Sleep(50);
        if (dialog_ == nullptr) {
            ::EnumThreadWindows(uiThread_, FindDialog, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) {
                dialog_ = search.found;
                owner_ = ::GetWindow(dialog_, GW_OWNER);
                ::Sleep(300); // let the dialog finish its initialization
                act(dialog_);
            }
        } else {
            ++sinceFound;
        }
        // Whatever is still up after a while goes, found or not.
        if (sinceFound > 60 || tick > 300) {
            ::EnumThreadWindows(uiThread_, CloseVisible, reinterpret_cast<LPARAM>(ignore_));
        }
    }
}

struct DialogWatcher::State {
    std::vector<std::wstring> titles;
    Answer answer;
    mutable std::mutex lock;
    std::vector<SeenDialog> seen;
    std::set<HWND> handled;
    volatile bool stop = false;
};

namespace {

struct EnumContext {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM parameter) {
    auto* context = reinterpret_cast<EnumContext*>(parameter);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    if (pid == context->pid && ::IsWindowVisible(hwnd) && lstrcmpW(className, L"#32770") == 0) {
        context->found.push_back(hwnd);
    }
    return TRUE;
}

DWORD WINAPI WatchDialogs(void* parameter) {
    auto state = *static_cast<std::shared_ptr<DialogWatcher::State>*>(parameter);
    delete static_cast<std::shared_ptr<DialogWatcher::State>*>(parameter);
    while (!state->stop) {
        EnumContext context = {::GetCurrentProcessId(), {}};
        ::EnumWindows(&CollectDialogs, reinterpret_cast<LPARAM>(&context));
        for (HWND dialog : context.found) {
            wchar_t title[256] = {};
            ::GetWindowTextW(dialog, title, 256);
            const auto& titles = state->titles;
            const bool wanted = std::find(titles.begin(), titles.end(), title) != titles.end() ||
                                std::find(titles.begin(), titles.end(), L"*") != titles.end();
            std::unique_lock<std::mutex> guard(state->lock);
            if (!wanted || state->handled.count(dialog)) {
                continue;
            }
            state->handled.insert(dialog);
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
            state->seen.push_back({title, text});
            guard.unlock();
            ::Sleep(150); // let the dialog finish coming up
            if (state->answer) {
                state->answer(dialog);
            } else {
                ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
        }
        ::Sleep(50);
    }
    return 0;
}

} // namespace

DialogWatcher::DialogWatcher(std::vector<std::wstring> titles, Answer answer)
    : state_(std::make_shared<State>()) {
    state_->titles = std::move(titles);
    state_->answer = std::move(answer);
    thread_ =
        ::CreateThread(nullptr, 0, &WatchDialogs, new std::shared_ptr<State>(state_), 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    state_->stop = true;
    ::WaitForSingleObject(thread_, 5000);
    ::CloseHandle(thread_);
}

std::vector<SeenDialog> DialogWatcher::Seen() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->seen;
}

} // namespace TestSupport
