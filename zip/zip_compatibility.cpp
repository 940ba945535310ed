#include "zip/zip_compatibility.h"

#include "zip/zip_exception.h"

#include <windows.h>

#include <algorithm>

namespace ZipCompatibility {

namespace {

constexpr uint32_t unixTypeDirectory = 0x4000;
constexpr uint32_t unixTypeRegular = 0x8000;
constexpr uint32_t unixOwnerRead = 0400;
constexpr uint32_t unixOwnerWrite = 0200;
constexpr uint32_t unixOwnerExecute = 0100;

uint32_t ToWindows(uint32_t attributes, int system) {
    switch (system) {
    case zcDosFat:
    case zcOs2Hpfs:
    case zcNtfs:
        return attributes;
    case zcMacintosh:
        return attributes & (attrDirectory | attrReadOnly);
    case zcUnix:
        return UnixModeToWindows(attributes);
    default:
        throw CZipException(CZipException::platfNotSupp);
    }
}

uint32_t FromWindows(uint32_t attributes, int system) {
    switch (system) {
    case zcDosFat:
    case zcOs2Hpfs:
    case zcNtfs:
        return attributes;
    case zcMacintosh:
        return attributes & (attrDirectory | attrReadOnly);
    case zcUnix:
        return WindowsToUnixMode(attributes);
    default:
        throw CZipException(CZipException::platfNotSupp);
    }
}

} // namespace

bool IsSystemSupported(int system) {
    return system == zcDosFat || system == zcUnix || system == zcOs2Hpfs || system == zcMacintosh ||
           system == zcNtfs;
}

uint32_t ConvertAttributes(uint32_t attributes, int fromSystem, int toSystem) {
    if (!IsSystemSupported(fromSystem) || !IsSystemSupported(toSystem)) {
        throw CZipException(CZipException::platfNotSupp);
    }
    return FromWindows(ToWindows(attributes, fromSystem), toSystem);
}

uint32_t UnixModeToWindows(uint32_t mode) {
    uint32_t attributes = 0;
    if (mode & unixTypeDirectory) {
        attributes |= attrDirectory;
    } else if (!(mode & unixOwnerExecute)) {
        attributes |= attrArchive;
    }
    if (!(mode & unixOwnerWrite)) {
        attributes |= attrReadOnly;
    }
    if (!(mode & unixOwnerRead)) {
        attributes |= attrHidden;
    }
    return attributes;
}

uint32_t WindowsToUnixMode(uint32_t attributes) {
    uint32_t mode = (attributes & attrHidden) ? 0 : 0444;
    if (!(attributes & attrReadOnly)) {
        mode |= 0220;
    }
    mode |= (attributes & attrDirectory) ? (unixTypeDirectory | 0111) : unixTypeRegular;
    return mode;
}

uint32_t DosExternalAttributes(uint32_t windowsAttributes) {
    return (windowsAttributes & 0xFFFF) | (WindowsToUnixMode(windowsAttributes) << 16);
}

unsigned DefaultNameCodePage(int system) {
    return system == zcDosFat ? ::GetOEMCP() : ::GetACP();
}

unsigned DefaultCommentCodePage(int /*system*/) {
    return ::GetACP();
}

namespace {

std::wstring WithForwardSlashes(const std::wstring& name) {
    std::wstring source(name);
    std::replace(source.begin(), source.end(), L'\\', L'/');
    return source;
}

int WideLength(const std::wstring& text) {
    return static_cast<int>(std::min<size_t>(text.size(), 0x7FFFFFFF));
}

} // namespace

std::string EncodeName(const std::wstring& name, unsigned codePage) {
    if (name.empty()) {
        return {};
    }
    const std::wstring source = WithForwardSlashes(name);
    const int wideLength = WideLength(source);
    const int n =
        ::WideCharToMultiByte(codePage, 0, source.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        throw CZipException(CZipException::genericError);
    }
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, source.data(), wideLength, bytes.data(), n, nullptr,
                          nullptr);
    return bytes;
}

bool EncodeNameExactly(const std::wstring& name, unsigned codePage, std::string& bytes) {
    bytes.clear();
    if (name.empty()) {
        return true;
    }
    const std::wstring source = WithForwardSlashes(name);
    if (codePage == CP_UTF8) {
        // Takes no such check, and is marked differently; plain ASCII reads alike anywhere.
        if (std::any_of(source.begin(), source.end(), [](wchar_t c) { return c >= 0x80; })) {
            return false;
        }
        bytes.assign(source.begin(), source.end());
        return true;
    }
    const int wideLength = WideLength(source);
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, source.data(), wideLength,
                                        nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) {
        return false;
    }
    std::string out(static_cast<size_t>(n), '\0');
    if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, source.data(), wideLength, out.data(),
                              n, nullptr, &usedDefault) != n ||
        usedDefault) {
        return false;
    }
    bytes = std::move(out);
    return true;
}

bool DecodeText(const std::string& bytes, unsigned codePage, std::wstring& text) {
    text.clear();
    if (bytes.empty()) {
        return true;
    }
    const int length = static_cast<int>(std::min<size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD flags = (codePage == ::GetACP() || codePage == ::GetOEMCP()) ? MB_PRECOMPOSED : 0;
    int n = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (n <= 0 && flags != 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // A system whose ANSI or OEM code page is UTF-8 refuses the request.
        flags = 0;
        n = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    }
    if (n <= 0) {
        return false;
    }
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (::MultiByteToWideChar(codePage, flags, bytes.data(), length, out.data(), n) != n) {
        return false;
    }
    text = std::move(out);
    return true;
}

std::wstring DecodeName(const std::string& bytes, unsigned codePage) {
    std::wstring name;
    if (!DecodeText(bytes, codePage, name)) {
        throw CZipException(CZipException::badZipFile);
    }
    std::replace(name.begin(), name.end(), L'/', L'\\');
    return name;
}

void PackDosDateTime(const std::tm& local, uint16_t& date, uint16_t& time) {
    const int year = local.tm_year + 1900;
    const int yearField = year > 1980 ? year - 1980 : 0;
    date = static_cast<uint16_t>(local.tm_mday + 32 * (local.tm_mon + 1) + 512 * yearField);
    time = static_cast<uint16_t>(local.tm_sec / 2 + 32 * local.tm_min + 2048 * local.tm_hour);
}

std::tm UnpackDosDateTime(uint16_t date, uint16_t time) {
    std::tm local{};
    local.tm_sec = 2 * (time & 31);
    local.tm_min = (time >> 5) & 63;
    local.tm_hour = time >> 11;
    local.tm_mday = date & 31;
    local.tm_mon = ((date >> 5) & 15) - 1;
    local.tm_year = (date >> 9) + 1980 - 1900;
    local.tm_isdst = -1;
    return local;
}

void TimeToDos(int64_t seconds, uint16_t& date, uint16_t& time) {
    __time64_t value = seconds;
    std::tm local{};
    if (_localtime64_s(&local, &value) != 0) {
        // Before 1970 or beyond what the runtime converts: the earliest DOS date.
        date = 1 + 32 * 1;
        time = 0;
        return;
    }
    PackDosDateTime(local, date, time);
}

int64_t DosToTime(uint16_t date, uint16_t time) {
    std::tm local = UnpackDosDateTime(date, time);
    return _mktime64(&local);
}

} // namespace ZipCompatibility
