// One RAII owner for every kind of platform handle. A traits type names the handle type,
// its invalid value and how it is closed; closing keeps the thread's last error intact so
// that a failure can still be reported after the cleanup ran.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <ncrypt.h>

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

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CloseHandle(value); }
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) { ::CloseHandle(value); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) { ::FindClose(value); }
};

struct MappedViewTraits {
    using Type = const void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::UnmapViewOfFile(value); }
};

struct CertStoreTraits {
    using Type = HCERTSTORE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CertCloseStore(value, 0); }
};

struct CertContextTraits {
    using Type = PCCERT_CONTEXT;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CertFreeCertificateContext(value); }
};

struct ChainContextTraits {
    using Type = PCCERT_CHAIN_CONTEXT;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CertFreeCertificateChain(value); }
};

struct CryptMsgTraits {
    using Type = HCRYPTMSG;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CryptMsgClose(value); }
};

struct CryptProvTraits {
    using Type = HCRYPTPROV;
    static Type Invalid() { return 0; }
    static void Close(Type value) { ::CryptReleaseContext(value, 0); }
};

struct CryptKeyTraits {
    using Type = HCRYPTKEY;
    static Type Invalid() { return 0; }
    static void Close(Type value) { ::CryptDestroyKey(value); }
};

struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static Type Invalid() { return 0; }
    static void Close(Type value) { ::CryptDestroyHash(value); }
};

struct NCryptKeyTraits {
    using Type = NCRYPT_KEY_HANDLE;
    static Type Invalid() { return 0; }
    static void Close(Type value) { ::NCryptFreeObject(value); }
};

struct BCryptKeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::BCryptDestroyKey(value); }
};

struct BCryptAlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::BCryptCloseAlgorithmProvider(value, 0); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::RegCloseKey(value); }
};

template <typename T> struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::DeleteObject(value); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::DestroyMenu(value); }
};

struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::DestroyIcon(value); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::FreeLibrary(value); }
};

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::LocalFree(value); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>; // events, threads, processes, mappings
using EventHandle = KernelHandle;
using FileMappingHandle = KernelHandle;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using MappedView = UniqueHandle<MappedViewTraits>;
using CertStoreHandle = UniqueHandle<CertStoreTraits>;
using CertContextHandle = UniqueHandle<CertContextTraits>;
using ChainContextHandle = UniqueHandle<ChainContextTraits>;
using CryptMsgHandle = UniqueHandle<CryptMsgTraits>;
using CryptProvHandle = UniqueHandle<CryptProvTraits>;
using CryptKeyHandle = UniqueHandle<CryptKeyTraits>;
using CryptHashHandle = UniqueHandle<CryptHashTraits>;
using NCryptKeyHandle = UniqueHandle<NCryptKeyTraits>;
using BCryptKeyHandle = UniqueHandle<BCryptKeyTraits>;
using BCryptAlgorithmHandle = UniqueHandle<BCryptAlgorithmTraits>;
using RegKeyHandle = UniqueHandle<RegKeyTraits>;
using BitmapHandle = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using MenuHandle = UniqueHandle<MenuTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using ModuleHandle = UniqueHandle<ModuleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

} // namespace MHFX
