#include "document/operations/zone_mark.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "foundation/handle.h"
#include "foundation/io/full_path_name.h"

namespace Dossiq::Documents {

const char kInternetZoneMark[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

namespace {

constexpr DWORD kMaxZoneMark = 65536;
constexpr wchar_t kZoneStream[] = L":Zone.Identifier";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

// "\\server\share\" of a UNC path, which not every system's GetVolumePathNameW takes.
std::wstring ShareRoot(const std::wstring& full) {
    if (!StartsWith(full, L"\\\\") || StartsWith(full, L"\\\\?\\") ||
        StartsWith(full, L"\\\\.\\")) {
        return {};
    }
    const size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) {
        return {};
    }
    const size_t share = full.find(L'\\', server + 1);
    if (share == server + 1) {
        return {};
    }
    return share == std::wstring::npos ? full + L'\\' : full.substr(0, share + 1);
}

// The ordinary form of an extended-length path, which the volume functions take.
std::wstring OrdinaryPath(const std::wstring& path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) {
        return L"\\\\" + path.substr(8);
    }
    return StartsWith(path, L"\\\\?\\") ? path.substr(4) : path;
}

std::wstring StreamPath(const std::wstring& path) {
    return ExtendedLengthPath(path) + kZoneStream;
}

} // namespace

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) {
        return path;
    }
    const std::wstring full = MHFX::IO::FullPathOf(path);
    if (StartsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

std::wstring VolumeRootOf(const std::wstring& path) {
    const std::wstring full = MHFX::IO::FullPathOf(OrdinaryPath(path));
    std::vector<wchar_t> root(full.size() + 2);
    if (::GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        return root.data();
    }
    return ShareRoot(full);
}

bool VolumeKeepsStreams(const std::wstring& path) {
    const std::wstring root = VolumeRootOf(path);
    DWORD flags = 0;
    return !root.empty() &&
           ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) &&
           (flags & FILE_NAMED_STREAMS);
}

std::string ReadZoneMark(const std::wstring& path) {
    MHFX::FileHandle stream(::CreateFileW(StreamPath(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!stream) {
        const DWORD error = ::GetLastError();
        // No stream of that name, or a volume that cannot hold one.
        const bool none = error == ERROR_FILE_NOT_FOUND ||
                          (error == ERROR_INVALID_NAME && !VolumeKeepsStreams(path));
        return none ? std::string() : kInternetZoneMark;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(stream.get(), &size) || size.QuadPart > kMaxZoneMark) {
        return kInternetZoneMark;
    }
    std::string mark(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!mark.empty() &&
        (!::ReadFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &read, nullptr) ||
         read != mark.size())) {
        return kInternetZoneMark;
    }
    return mark;
}

bool WriteZoneMark(const std::wstring& path, const std::string& mark) {
    MHFX::FileHandle stream(::CreateFileW(StreamPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return stream &&
           ::WriteFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &written,
                       nullptr) &&
           written == mark.size();
}

} // namespace Dossiq::Documents
