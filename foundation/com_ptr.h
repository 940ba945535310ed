// The one smart COM pointer: holds one reference, releases it once.
#pragma once

#include <objbase.h>

#include <utility>

namespace MHFX {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Adopts a reference the caller already owns.
    void attach(T* p) noexcept {
        reset();
        p_ = p;
    }
    T* detach() noexcept { return std::exchange(p_, nullptr); }
    // For out-parameters: releases the old reference first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    template <typename U> HRESULT As(ComPtr<U>& other) const noexcept {
        return p_ ? p_->QueryInterface(__uuidof(U), other.put_void()) : E_POINTER;
    }

private:
    T* p_ = nullptr;
};

} // namespace MHFX
