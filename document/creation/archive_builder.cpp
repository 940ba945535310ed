#include "document/creation/archive_builder.h"

#include "config/localization.h"
#include "document/creation/packing_exception.h"
#include "foundation/handle.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

#include <malloc.h>

#include <algorithm>

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

using MHFX::IO::Path;

constexpr uint64_t kGrowStep = 1024;
constexpr int kAddOptions = 7;
constexpr unsigned long kTransferBuffer = 65536;

// A file to pack and the name of its entry.
struct PackItem {
    std::wstring path;
    std::wstring name;
    uint64_t size; // as listed
};

// Thrown by the archive's storage at the size limit, through the archive writer, which
// removes the entry it was writing.
struct ArchiveFull {};

// Refuses the write that would make the archive reach the limit, so a selection of many
// gigabytes stops after the first 100 MB instead of after compressing all of it.
class LimitedMemFile final : public CZipMemFile {
public:
    explicit LimitedMemFile(uint64_t capacity) : CZipMemFile(kGrowStep, capacity) {}

    void Write(const void* data, size_t size) override {
        if (GetPosition() + size >= kMaxArchiveLength) {
            throw ArchiveFull();
        }
        CZipMemFile::Write(data, size);
    }
};

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) {
        return name;
    }
    return Path::IsDirectorySeparator(folder.back()) ? folder + name : folder + L'\\' + name;
}

void Add(std::vector<PackItem>& items, std::wstring path, std::wstring name, DWORD sizeHigh,
         DWORD sizeLow) {
    if (items.size() >= CZipArchive::maxEntries) {
        throw PackingException(path, kErrorTooManyArchiveEntries);
    }
    items.push_back({std::move(path), std::move(name), (uint64_t{sizeHigh} << 32) | sizeLow});
}

// Room for the files as they are, up to the limit: the archive then grows by copying only
// where they grew since they were listed.
uint64_t ExpectedLength(const std::vector<PackItem>& items) {
    constexpr uint64_t kEntryOverhead = 512; // two headers and a long name
    uint64_t length = 0;
    for (const PackItem& item : items) {
        length += std::min(item.size, kMaxArchiveLength) + kEntryOverhead;
        if (length >= kMaxArchiveLength) {
            return kMaxArchiveLength;
        }
    }
    return length;
}

// A junction or symbolic link (a name surrogate), or a reparse point whose tag is not given
// (Wine's links). Other reparse points, such as a cloud drive's folders kept online, are
// ordinary folders to the user.
bool IsLinkToFolder(const WIN32_FIND_DATAW& data) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    return data.dwReserved0 == 0 || IsReparseTagNameSurrogate(data.dwReserved0);
}

// The files below `folder`, whose entries are named below `name`. Folders that are links
// (junctions, symbolic links) lead elsewhere: a profile's hidden ones deny listing, and a
// loop would repeat the same files until the path limit.
void CollectFolder(const std::wstring& folder, const std::wstring& name,
                   std::vector<PackItem>& items) {
    WIN32_FIND_DATAW data;
    MHFX::FindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &data));
    if (!find) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return; // a drive's root without entries
        }
        throw PackingException(folder, error);
    }
    do {
        const std::wstring child = data.cFileName;
        if (child == L"." || child == L"..") {
            continue;
        }
        const std::wstring path = Join(folder, child);
        if (path.size() >= Path::MaxPath) {
            throw PackingException(path, ERROR_FILENAME_EXCED_RANGE);
        }
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            Add(items, path, Join(name, child), data.nFileSizeHigh, data.nFileSizeLow);
        } else if (!IsLinkToFolder(data)) {
            CollectFolder(path, Join(name, child), items);
        }
    } while (::FindNextFileW(find.get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throw PackingException(folder, error);
    }
}

// Every file of the selection, listed before anything is packed: a folder that cannot be
// listed or too many files end the command before minutes of compressing.
std::vector<PackItem> Collect(const std::vector<std::wstring>& selection,
                              const std::wstring& rootFolder) {
    std::vector<PackItem> items;
    for (std::wstring path : selection) {
        while (path.size() > Path::GetRootLength(path) && Path::IsDirectorySeparator(path.back())) {
            path.pop_back();
        }
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            throw PackingException(path, LastErrorOr(ERROR_FILE_NOT_FOUND));
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectFolder(path, ArchiveEntryName(rootFolder, path), items);
        } else {
            Add(items, path, ArchiveEntryName(rootFolder, path), data.nFileSizeHigh,
                data.nFileSizeLow);
        }
    }
    return items;
}

void Pack(CZipArchive& zip, const PackItem& item) {
    // Opened here for the system's reason when it cannot be (a sharing violation, a file
    // removed since it was listed); the writer's own open only says that it failed. A link
    // to a file opens the file it points to, which is what is packed.
    MHFX::FileHandle file(::CreateFileW(item.path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) {
        throw PackingException(item.path, LastErrorOr(ERROR_OPEN_FAILED));
    }
    ::SetLastError(ERROR_SUCCESS);
    if (!zip.AddNewFile(item.path, item.name, -1, kAddOptions, kTransferBuffer)) {
        throw PackingException(item.path, LastErrorOr(ERROR_READ_FAULT));
    }
}

bool SameRoot(const std::wstring& a, const std::wstring& b) {
    auto root = [](const std::wstring& path) {
        std::wstring text = path.substr(0, Path::GetRootLength(path));
        for (wchar_t& c : text) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        while (!text.empty() && text.back() == L'\\') {
            text.pop_back();
        }
        return text;
    };
    const std::wstring left = root(a);
    const std::wstring right = root(b);
    return _wcsicmp(left.c_str(), right.c_str()) == 0;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

} // namespace

std::wstring ArchiveEntryName(const std::wstring& rootFolder, const std::wstring& path) {
    if (!SameRoot(rootFolder, path)) {
        std::wstring item = path;
        while (!item.empty() && Path::IsDirectorySeparator(item.back())) {
            item.pop_back();
        }
        return item.size() > Path::GetRootLength(item) ? Path::GetFileName(item) : std::wstring();
    }
    const std::wstring relative = Path::GetRelativePath(rootFolder, path);
    std::wstring name = relative.size() > 2 ? relative.substr(2) : std::wstring();
    for (;;) {
        if (!name.empty() && Path::IsDirectorySeparator(name[0])) {
            name.erase(0, 1);
        } else if (name == L".." || StartsWith(name, L"..\\") || StartsWith(name, L"../")) {
            name.erase(0, 2);
        } else {
            return name;
        }
    }
}

bool TakeArchive(CZipMemFile& file, MessageBlob& archive) {
    const uint64_t length = file.GetLength();
    if (length >= kMaxArchiveLength) {
        file.SetLength(0);
        std::free(file.Detach());
        return false;
    }
    void* const block = file.Detach();
    // The room left over goes back, where it can without a copy.
    if (block != nullptr && length != 0) {
        ::_expand(block, static_cast<size_t>(length));
    }
    archive.Attach(block, static_cast<DWORD>(length));
    return true;
}

ArchiveOutcome PackSelection(const std::vector<std::wstring>& selection,
                             const std::wstring& rootFolder, CZipActionCallback* progress,
                             MessageBlob& archive) {
    archive.Release();
    const std::vector<PackItem> items = Collect(selection, rootFolder);
    LimitedMemFile file(ExpectedLength(items));
    CZipArchive zip;
    try {
        zip.SetCallback(progress, CZipActionCallback::actAdd);
        if (!zip.Open(file, CZipArchive::zipCreate)) {
            throw CZipException(CZipException::internalError);
        }
        for (const PackItem& item : items) {
            Pack(zip, item);
        }
        zip.Close(false, false);
    } catch (const ArchiveFull&) {
        zip.Close(true);
        return ArchiveOutcome::TooLarge;
    } catch (...) {
        zip.Close(true);
        throw;
    }
    return TakeArchive(file, archive) ? ArchiveOutcome::Built : ArchiveOutcome::TooLarge;
}

} // namespace Dossiq::Documents
