// The small part of the Win32 API that the parsers use, for the native fuzzing build.
// Everything here behaves as the platform does for the inputs the parsers pass; what the
// parsers never reach in that build fails with ERROR_CALL_NOT_IMPLEMENTED.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dossiq_crt.h"

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = unsigned int;
using BOOL = int;
using WCHAR = wchar_t;
using CHAR = char;
using LANGID = uint16_t;
using HRESULT = int32_t;
using ULONG_PTR = uintptr_t;
using SIZE_T = size_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPCCH = const char*;
using LPBOOL = BOOL*;
using HANDLE = void*;

#define DOSSIQ_DECLARE_HANDLE(name)                                                                \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    using name = name##__*
DOSSIQ_DECLARE_HANDLE(HINSTANCE);
DOSSIQ_DECLARE_HANDLE(HKEY);
DOSSIQ_DECLARE_HANDLE(HMENU);
DOSSIQ_DECLARE_HANDLE(HICON);
DOSSIQ_DECLARE_HANDLE(HBITMAP);
DOSSIQ_DECLARE_HANDLE(HFONT);
DOSSIQ_DECLARE_HANDLE(HRSRC);
DOSSIQ_DECLARE_HANDLE(HWND);
#undef DOSSIQ_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HGLOBAL = HANDLE;
using HLOCAL = HANDLE;
using HGDIOBJ = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD MAXDWORD = 0xFFFFFFFF;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define MAKELANGID(p, s) (static_cast<WORD>((static_cast<WORD>(s) << 10) | static_cast<WORD>(p)))
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define RT_STRING MAKEINTRESOURCEW(6)
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;

struct IMAGE_DOS_HEADER {
    WORD e_magic;
};

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_ARITHMETIC_OVERFLOW = 534;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_PRECOMPOSED = 0x01;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
constexpr DWORD LOCALE_USER_DEFAULT = 0x0400;
constexpr DWORD NORM_IGNORECASE = 0x01;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;
constexpr DWORD FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x2000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x02;
constexpr DWORD FILE_MAP_READ = 0x04;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;

struct SECURITY_ATTRIBUTES;

DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE handle);
BOOL FindClose(HANDLE handle);
HLOCAL LocalFree(HLOCAL memory);
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer,
                     DWORD size, va_list* args);

HANDLE CreateFileMappingW(HANDLE file, SECURITY_ATTRIBUTES* attributes, DWORD protect,
                          DWORD sizeHigh, DWORD sizeLow, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T size);
BOOL UnmapViewOfFile(LPCVOID view);

UINT GetACP();
UINT GetOEMCP();
inline void* SecureZeroMemory(void* data, size_t length) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (length-- != 0) {
        *p++ = 0;
    }
    return data;
}
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH bytes, int length, LPWSTR wide,
                        int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* wide, int wideLength,
                        LPSTR bytes, int length, LPCCH defaultChar, LPBOOL usedDefault);
int CompareStringW(DWORD locale, DWORD flags, const wchar_t* a, int aLength, const wchar_t* b,
                   int bLength);
int CompareStringOrdinal(const wchar_t* a, int aLength, const wchar_t* b, int bLength,
                         BOOL ignoreCase);

DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL DeleteFileW(LPCWSTR path);

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Named only by handle owners that the parsers never instantiate.
long RegCloseKey(HKEY key);
BOOL DeleteObject(HGDIOBJ object);
BOOL DestroyMenu(HMENU menu);
BOOL DestroyIcon(HICON icon);
BOOL FreeLibrary(HMODULE module);
