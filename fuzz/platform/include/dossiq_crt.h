// The Microsoft C runtime calls the parsers use, declared for a native Linux build. Paths
// are wide strings with either separator, as on the product's platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <cwchar>
#include <cstdarg>

using __time64_t = int64_t;

struct __utimbuf64 {
    __time64_t actime;
    __time64_t modtime;
};

// The C library spells st_mtime as a macro for st_mtim.tv_sec; so does this structure.
struct __stat64_time {
    __time64_t tv_sec;
};
struct _stat64 {
    uint32_t st_mode;
    int64_t st_size;
    __stat64_time st_atim;
    __stat64_time st_mtim;
    __stat64_time st_ctim;
};

constexpr int _O_RDONLY = 0x0000;
constexpr int _O_WRONLY = 0x0001;
constexpr int _O_RDWR = 0x0002;
constexpr int _O_CREAT = 0x0100;
constexpr int _O_TRUNC = 0x0200;
constexpr int _O_EXCL = 0x0400;
constexpr int _O_BINARY = 0x8000;
constexpr int _SH_DENYRW = 0x10;
constexpr int _SH_DENYWR = 0x20;
constexpr int _SH_DENYRD = 0x30;
constexpr int _SH_DENYNO = 0x40;
constexpr int _S_IREAD = 0x0100;
constexpr int _S_IWRITE = 0x0080;

int _wsopen(const wchar_t* path, int flags, int share, int mode = 0);
int _close(int fd);
int _read(int fd, void* data, unsigned size);
int _write(int fd, const void* data, unsigned size);
int64_t _lseeki64(int fd, int64_t offset, int origin);
int64_t _filelengthi64(int fd);
int _wmkdir(const wchar_t* path);
int _wstat64(const wchar_t* path, struct _stat64* status);
int _wutime64(const wchar_t* path, __utimbuf64* times);
__time64_t _time64(__time64_t* out);
int _localtime64_s(std::tm* out, const __time64_t* time);
__time64_t _mktime64(std::tm* local);
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
