// What every COM class of ours shares: the reference count over its interfaces, a `Held`
// value it keeps while it lives (the server's module lock; NothingHeld elsewhere), its
// creation (`new (std::nothrow)`, QueryInterface, Release, the QueryInterface result) and the
// boundary that keeps exceptions out of COM methods. QueryInterface itself is each class's
// QISearch table.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <new>

namespace Dossiq::Ui {

struct NothingHeld {};

template <typename Held, typename... Interfaces> class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    IFACEMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&references_); }
    IFACEMETHODIMP_(ULONG) Release() override {
        const LONG count = ::InterlockedDecrement(&references_);
        if (count == 0) {
            delete this;
        }
        return count;
    }

    // A new object of class `Class` asked for `iid`.
    template <typename Class> static HRESULT Create(REFIID iid, void** result) {
        *result = nullptr;
        auto* object = new (std::nothrow) Class();
        if (object == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = object->QueryInterface(iid, result);
        object->Release();
        return hr;
    }

protected:
    virtual ~ComObject() = default;

private:
    [[no_unique_address]] Held held_;
    volatile LONG references_ = 1;
};

// The result of `body`, or the HRESULT for the exception it threw: E_OUTOFMEMORY for a
// failed allocation, `otherwise` for anything else.
template <typename Body>
HRESULT ComBoundary(Body&& body, HRESULT otherwise = E_UNEXPECTED) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return otherwise;
    }
}

} // namespace Dossiq::Ui
