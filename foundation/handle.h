// One RAII owner for every kind of platform handle. A traits type names the handle type,
// its invalid value and how it is closed; closing keeps the thread's last error intact so
// that a failure can still be reported after the cleanup ran.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <ncrypt.h>

#include <type_traits>
#include <utility>

namespace MHFX {

template <typename Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Closes the held value (if any) and takes `value`.
    void reset(Type value = Traits::Invalid()) noexcept {
        if (value_ != Traits::Invalid()) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

    // Gives the value up without closing it.
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // For out-parameters: closes the old value first.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

// The traits of a handle of type `T` closed by `Closer` (extra arguments zero, the result
// ignored); its invalid value is null, or INVALID_HANDLE_VALUE where `MinusOneInvalid`.
template <typename T, auto Closer, bool MinusOneInvalid = false> struct ClosedBy {
    using Type = T;
    static Type Invalid() {
        if constexpr (MinusOneInvalid) {
            return INVALID_HANDLE_VALUE;
        } else {
            return Type{};
        }
    }
    static void Close(Type value) {
        if constexpr (std::is_invocable_v<decltype(Closer), Type>) {
            Closer(value);
        } else {
            Closer(value, 0);
        }
    }
};

using KernelHandle =
    UniqueHandle<ClosedBy<HANDLE, ::CloseHandle>>; // events, threads, processes, mappings
using EventHandle = KernelHandle;
using FileMappingHandle = KernelHandle;
using FileHandle = UniqueHandle<ClosedBy<HANDLE, ::CloseHandle, true>>;
using FindHandle = UniqueHandle<ClosedBy<HANDLE, ::FindClose, true>>;
using MappedView = UniqueHandle<ClosedBy<const void*, ::UnmapViewOfFile>>;
using CertStoreHandle = UniqueHandle<ClosedBy<HCERTSTORE, ::CertCloseStore>>;
using CertContextHandle = UniqueHandle<ClosedBy<PCCERT_CONTEXT, ::CertFreeCertificateContext>>;
using ChainContextHandle = UniqueHandle<ClosedBy<PCCERT_CHAIN_CONTEXT, ::CertFreeCertificateChain>>;
using CryptMsgHandle = UniqueHandle<ClosedBy<HCRYPTMSG, ::CryptMsgClose>>;
using CryptProvHandle = UniqueHandle<ClosedBy<HCRYPTPROV, ::CryptReleaseContext>>;
using CryptKeyHandle = UniqueHandle<ClosedBy<HCRYPTKEY, ::CryptDestroyKey>>;
using CryptHashHandle = UniqueHandle<ClosedBy<HCRYPTHASH, ::CryptDestroyHash>>;
using NCryptKeyHandle = UniqueHandle<ClosedBy<NCRYPT_KEY_HANDLE, ::NCryptFreeObject>>;
using BCryptKeyHandle = UniqueHandle<ClosedBy<BCRYPT_KEY_HANDLE, ::BCryptDestroyKey>>;
using BCryptAlgorithmHandle =
    UniqueHandle<ClosedBy<BCRYPT_ALG_HANDLE, ::BCryptCloseAlgorithmProvider>>;
using RegKeyHandle = UniqueHandle<ClosedBy<HKEY, ::RegCloseKey>>;
using BitmapHandle = UniqueHandle<ClosedBy<HBITMAP, ::DeleteObject>>;
using FontHandle = UniqueHandle<ClosedBy<HFONT, ::DeleteObject>>;
using MenuHandle = UniqueHandle<ClosedBy<HMENU, ::DestroyMenu>>;
using IconHandle = UniqueHandle<ClosedBy<HICON, ::DestroyIcon>>;
using ModuleHandle = UniqueHandle<ClosedBy<HMODULE, ::FreeLibrary>>;
using LocalMemory = UniqueHandle<ClosedBy<HLOCAL, ::LocalFree>>;

} // namespace MHFX
