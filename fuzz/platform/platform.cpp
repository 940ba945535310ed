// Native Linux stand-ins for the Win32 and C runtime calls the parsers make. Paths are taken
// as the product's platform takes them: `\` and `/` both separate components.
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "dossiq_fuzz_platform.h"

extern "C" {
IMAGE_DOS_HEADER __ImageBase = {0x5A4D};
}

namespace {

thread_local DWORD lastError = 0;
std::string writeRoot;

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool Unencodable(uint32_t c) {
    return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF);
}

// A wide path as the native file system takes it.
std::string NativePath(const wchar_t* path) {
    std::string out;
    for (const wchar_t* p = path; *p != 0; ++p) {
        const uint32_t c = static_cast<uint32_t>(*p);
        if (c == L'\\') {
            out.push_back('/');
        } else {
            AppendUtf8(out, Unencodable(c) ? 0xFFFD : c);
        }
    }
    return out;
}

// The absolute form of `path` with `.` and `..` resolved by name.
std::string Normalize(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            return {};
        }
        full = std::string(cwd) + "/" + full;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t end = full.find('/', start);
        if (end == std::string::npos) {
            end = full.size();
        }
        const std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

// Aborts when a change to `path` would land outside the write root.
void CheckWrite(const std::string& path, const char* what) {
    if (writeRoot.empty()) {
        return;
    }
    const std::string full = Normalize(path);
    if (full == writeRoot || full.compare(0, writeRoot.size() + 1, writeRoot + "/") == 0) {
        return;
    }
    std::fprintf(stderr, "dossiq fuzz: %s outside the destination: %s (root %s)\n", what,
                 full.c_str(), writeRoot.c_str());
    std::abort();
}

struct Mapping {
    uint32_t magic;
    void* data;
};
constexpr uint32_t kMappingMagic = 0x4D415050;

int Fail(DWORD error) {
    lastError = error;
    return 0;
}

uint32_t WideAt(const wchar_t* s, int i) {
    return static_cast<uint32_t>(s[i]);
}

int Length(const wchar_t* s, int length) {
    return length < 0 ? static_cast<int>(std::wcslen(s)) : length;
}

bool SingleByteCodePage(UINT codePage) {
    switch (codePage) {
    case 437:
    case 850:
    case 852:
    case 866:
    case 1250:
    case 1251:
    case 1252:
    case 20127:
    case 28591:
        return true;
    default:
        return false;
    }
}

UINT Resolve(UINT codePage) {
    if (codePage == CP_ACP) {
        return GetACP();
    }
    if (codePage == CP_OEMCP) {
        return GetOEMCP();
    }
    return codePage;
}

// Strict UTF-8 decoding; invalid sequences become U+FFFD, or fail with `strict`.
bool DecodeUtf8(const unsigned char* p, size_t n, bool strict, std::vector<uint32_t>& out) {
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        uint32_t c = 0;
        size_t extra = 0;
        uint32_t min = 0;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
            min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
            min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
            min = 0x10000;
        } else {
            if (strict) {
                return false;
            }
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= extra && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) {
            c = c << 6 | (p[i + k] & 0x3F);
        }
        if (k <= extra || c < min || Unencodable(c)) {
            if (strict) {
                return false;
            }
            out.push_back(0xFFFD);
            i += k;
            continue;
        }
        out.push_back(c);
        i += k;
    }
    return true;
}

} // namespace

void DossiqFuzzSetWriteRoot(const char* root) {
    writeRoot = root == nullptr ? std::string() : Normalize(root);
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

BOOL CloseHandle(HANDLE handle) {
    auto* mapping = static_cast<Mapping*>(handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || mapping->magic != kMappingMagic) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    mapping->magic = 0;
    std::free(mapping->data);
    delete mapping;
    return TRUE;
}

BOOL FindClose(HANDLE) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD id, DWORD, LPWSTR buffer, DWORD, va_list*) {
    if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) {
        return static_cast<DWORD>(Fail(ERROR_CALL_NOT_IMPLEMENTED));
    }
    const std::wstring text = L"System error " + std::to_wstring(id) + L".\r\n";
    auto* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy == nullptr) {
        return static_cast<DWORD>(Fail(ERROR_NOT_ENOUGH_MEMORY));
    }
    std::wmemcpy(copy, text.c_str(), text.size() + 1);
    *reinterpret_cast<wchar_t**>(buffer) = copy;
    return static_cast<DWORD>(text.size());
}

// Only page-file-backed sections: a block of zeroed heap memory.
HANDLE CreateFileMappingW(HANDLE file, SECURITY_ATTRIBUTES*, DWORD, DWORD sizeHigh, DWORD sizeLow,
                          LPCWSTR) {
    if (file != INVALID_HANDLE_VALUE) {
        Fail(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    const uint64_t size = static_cast<uint64_t>(sizeHigh) << 32 | sizeLow;
    if (size == 0) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* data = std::calloc(1, static_cast<size_t>(size));
    if (data == nullptr) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return new Mapping{kMappingMagic, data};
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD, DWORD, DWORD, SIZE_T) {
    auto* m = static_cast<Mapping*>(mapping);
    if (m == nullptr || m->magic != kMappingMagic) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return m->data;
}

BOOL UnmapViewOfFile(LPCVOID) {
    return TRUE;
}

UINT GetACP() {
    return 1252;
}

UINT GetOEMCP() {
    return 437;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH bytes, int length, LPWSTR wide,
                        int wideLength) {
    codePage = Resolve(codePage);
    if (bytes == nullptr || length == 0 || wideLength < 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const size_t n = length < 0 ? std::strlen(bytes) + 1 : static_cast<size_t>(length);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::vector<uint32_t> chars;
    if (codePage == CP_UTF8) {
        if (flags & ~MB_ERR_INVALID_CHARS) {
            return Fail(ERROR_INVALID_FLAGS);
        }
        if (!DecodeUtf8(p, n, (flags & MB_ERR_INVALID_CHARS) != 0, chars)) {
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        }
    } else if (SingleByteCodePage(codePage)) {
        // The exact tables do not matter to the parsers: one character per byte.
        for (size_t i = 0; i < n; ++i) {
            chars.push_back(p[i]);
        }
    } else {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (chars.size() > INT_MAX) {
        return Fail(ERROR_ARITHMETIC_OVERFLOW);
    }
    if (wideLength == 0) {
        return static_cast<int>(chars.size());
    }
    if (static_cast<size_t>(wideLength) < chars.size()) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    for (size_t i = 0; i < chars.size(); ++i) {
        wide[i] = static_cast<wchar_t>(chars[i]);
    }
    return static_cast<int>(chars.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const wchar_t* wide, int wideLength, LPSTR bytes,
                        int length, LPCCH, LPBOOL usedDefault) {
    codePage = Resolve(codePage);
    if (wide == nullptr || wideLength == 0 || length < 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const int n = wideLength < 0 ? static_cast<int>(std::wcslen(wide)) + 1 : wideLength;
    std::string out;
    bool defaulted = false;
    for (int i = 0; i < n; ++i) {
        const uint32_t c = WideAt(wide, i);
        if (codePage == CP_UTF8) {
            AppendUtf8(out, Unencodable(c) ? 0xFFFD : c);
        } else if (SingleByteCodePage(codePage)) {
            defaulted = defaulted || c > 0xFF;
            out.push_back(c > 0xFF ? '?' : static_cast<char>(c));
        } else {
            return Fail(ERROR_INVALID_PARAMETER);
        }
    }
    if (usedDefault != nullptr) {
        *usedDefault = defaulted;
    }
    if (out.size() > INT_MAX) {
        return Fail(ERROR_ARITHMETIC_OVERFLOW);
    }
    if (length == 0) {
        return static_cast<int>(out.size());
    }
    if (static_cast<size_t>(length) < out.size()) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(bytes, out.data(), out.size());
    return static_cast<int>(out.size());
}

int CompareStringOrdinal(const wchar_t* a, int aLength, const wchar_t* b, int bLength,
                         BOOL ignoreCase) {
    aLength = Length(a, aLength);
    bLength = Length(b, bLength);
    for (int i = 0; i < aLength && i < bLength; ++i) {
        wint_t x = static_cast<wint_t>(a[i]);
        wint_t y = static_cast<wint_t>(b[i]);
        if (ignoreCase) {
            x = std::towupper(x);
            y = std::towupper(y);
        }
        if (x != y) {
            return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
        }
    }
    return aLength == bLength ? CSTR_EQUAL : aLength < bLength ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

int CompareStringW(DWORD, DWORD flags, const wchar_t* a, int aLength, const wchar_t* b,
                   int bLength) {
    return CompareStringOrdinal(a, aLength, b, bLength, (flags & NORM_IGNORECASE) ? TRUE : FALSE);
}

DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    if (path == nullptr || *path == 0) {
        return static_cast<DWORD>(Fail(ERROR_INVALID_PARAMETER));
    }
    const std::string full = Normalize(NativePath(path));
    if (full.empty()) {
        return static_cast<DWORD>(Fail(ERROR_FILE_NOT_FOUND));
    }
    std::vector<uint32_t> chars;
    DecodeUtf8(reinterpret_cast<const unsigned char*>(full.data()), full.size(), false, chars);
    if (size < chars.size() + 1) {
        return static_cast<DWORD>(chars.size() + 1);
    }
    for (size_t i = 0; i < chars.size(); ++i) {
        buffer[i] = static_cast<wchar_t>(chars[i]);
    }
    buffer[chars.size()] = 0;
    if (filePart != nullptr) {
        *filePart = nullptr;
    }
    return static_cast<DWORD>(chars.size());
}

DWORD GetFileAttributesW(LPCWSTR path) {
    struct stat status {};
    if (::stat(NativePath(path).c_str(), &status) != 0) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(status.st_mode & S_IWUSR)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD) {
    const std::string native = NativePath(path);
    CheckWrite(native, "attributes set");
    struct stat status {};
    if (::stat(native.c_str(), &status) != 0) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    return TRUE; // the read-only bit would only keep the next run from cleaning up
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD) {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    CheckWrite(source, "file renamed");
    CheckWrite(target, "file renamed");
    return ::rename(source.c_str(), target.c_str()) == 0 ? TRUE : Fail(ERROR_ACCESS_DENIED);
}

BOOL DeleteFileW(LPCWSTR path) {
    const std::string native = NativePath(path);
    CheckWrite(native, "file removed");
    return ::unlink(native.c_str()) == 0 ? TRUE : Fail(ERROR_FILE_NOT_FOUND);
}

HRSRC FindResourceExW(HMODULE, LPCWSTR, LPCWSTR, WORD) {
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC) {
    return nullptr;
}

LPVOID LockResource(HGLOBAL) {
    return nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC) {
    return 0;
}

long RegCloseKey(HKEY) {
    return static_cast<long>(ERROR_CALL_NOT_IMPLEMENTED);
}

BOOL DeleteObject(HGDIOBJ) {
    return FALSE;
}

BOOL DestroyMenu(HMENU) {
    return FALSE;
}

BOOL DestroyIcon(HICON) {
    return FALSE;
}

BOOL FreeLibrary(HMODULE) {
    return FALSE;
}

int _wsopen(const wchar_t* path, int flags, int, int) {
    const std::string native = NativePath(path);
    int mode = (flags & _O_RDWR) ? O_RDWR : (flags & _O_WRONLY) ? O_WRONLY : O_RDONLY;
    if (flags & _O_CREAT) {
        mode |= O_CREAT;
    }
    if (flags & _O_TRUNC) {
        mode |= O_TRUNC;
    }
    if (flags & _O_EXCL) {
        mode |= O_EXCL;
    }
    if (flags & (_O_WRONLY | _O_RDWR | _O_CREAT | _O_TRUNC)) {
        CheckWrite(native, "file written");
    }
    return ::open(native.c_str(), mode | O_CLOEXEC, 0644);
}

int _close(int fd) {
    return ::close(fd);
}

int _read(int fd, void* data, unsigned size) {
    return static_cast<int>(::read(fd, data, size));
}

int _write(int fd, const void* data, unsigned size) {
    return static_cast<int>(::write(fd, data, size));
}

int64_t _lseeki64(int fd, int64_t offset, int origin) {
    return ::lseek(fd, offset, origin);
}

int64_t _filelengthi64(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_size : -1;
}

int _wmkdir(const wchar_t* path) {
    const std::string native = NativePath(path);
    struct stat status {};
    if (::stat(native.c_str(), &status) == 0) {
        errno = EEXIST; // nothing changes: callers try every folder above their target
        return -1;
    }
    CheckWrite(native, "folder made");
    return ::mkdir(native.c_str(), 0755);
}

int _wstat64(const wchar_t* path, struct _stat64* out) {
    struct stat status {};
    if (::stat(NativePath(path).c_str(), &status) != 0) {
        return -1;
    }
    out->st_mode = status.st_mode;
    out->st_size = status.st_size;
    out->st_atim.tv_sec = status.st_atim.tv_sec;
    out->st_mtim.tv_sec = status.st_mtim.tv_sec;
    out->st_ctim.tv_sec = status.st_ctim.tv_sec;
    return 0;
}

int _wutime64(const wchar_t* path, __utimbuf64* times) {
    const std::string native = NativePath(path);
    CheckWrite(native, "time set");
    struct utimbuf value {};
    value.actime = static_cast<time_t>(times->actime);
    value.modtime = static_cast<time_t>(times->modtime);
    return ::utime(native.c_str(), &value);
}

__time64_t _time64(__time64_t* out) {
    const __time64_t now = static_cast<__time64_t>(::time(nullptr));
    if (out != nullptr) {
        *out = now;
    }
    return now;
}

// The runtime's range: 1970 up to the end of 3000.
constexpr __time64_t kMaxTime64 = 32535215999LL;

int _localtime64_s(std::tm* out, const __time64_t* value) {
    if (out == nullptr || value == nullptr || *value < 0 || *value > kMaxTime64) {
        return EINVAL;
    }
    const time_t t = static_cast<time_t>(*value);
    return ::localtime_r(&t, out) != nullptr ? 0 : EINVAL;
}

__time64_t _mktime64(std::tm* local) {
    const time_t t = ::mktime(local);
    if (t < 0 || t > kMaxTime64) {
        return -1;
    }
    return static_cast<__time64_t>(t);
}

int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    return std::vswprintf(buffer, count, format, args);
}
