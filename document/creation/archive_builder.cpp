#include "document/creation/archive_builder.h"

#include "config/localization.h"
#include "document/dialogs/archive_progress_dialog.h"
#include "foundation/io/directory.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace {

constexpr uint64_t kGrowStep = 1024;
constexpr int kAddOptions = 7;
constexpr unsigned long kTransferBuffer = 65536;

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder contributes its files, never an entry of its own; the first failure inside it
// stops it.
bool AddItem(CZipArchive& archive, const std::wstring& rootFolder, const std::wstring& path) {
    if (!path.empty() && IsDirectory(path)) {
        const std::vector<std::wstring> entries = MHFX::IO::Directory::GetFileSystemEntries(
            path, L"*", MHFX::IO::SearchOption::TopDirectoryOnly);
        for (const std::wstring& entry : entries) {
            if (!AddItem(archive, rootFolder, entry)) {
                return false;
            }
        }
        return true;
    }
    return archive.AddNewFile(path, ArchiveEntryName(rootFolder, path), -1, kAddOptions,
                              kTransferBuffer);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

} // namespace

std::wstring ArchiveEntryName(const std::wstring& rootFolder, const std::wstring& path) {
    const std::wstring relative = MHFX::IO::Path::GetRelativePath(rootFolder, path);
    std::wstring name = relative.size() > 2 ? relative.substr(2) : std::wstring();
    for (;;) {
        if (!name.empty() && MHFX::IO::Path::IsDirectorySeparator(name[0])) {
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
    archive.Attach(file.Detach(), static_cast<DWORD>(length));
    return true;
}

bool BuildArchive(const std::vector<std::wstring>& selection, const std::wstring& rootFolder,
                  MessageBlob& archive) {
    archive.Release();
    CZipMemFile file(kGrowStep);
    ArchiveProgressDialog dialog(true);
    dialog.Start();
    {
        CZipArchive zip;
        try {
            zip.SetCallback(&dialog, CZipActionCallback::actAdd);
            if (!zip.Open(file, CZipArchive::zipCreate)) {
                ::SetLastError(ERROR_INVALID_OPERATION);
                return false;
            }
            // A failure inside one selected folder ends that folder, not the selection.
            for (const std::wstring& path : selection) {
                AddItem(zip, rootFolder, path);
            }
            zip.Close(false, false);
        } catch (const CZipException& e) {
            zip.Close(true);
            ::SetLastError(e.GetCode() == CZipException::memError ? ERROR_NOT_ENOUGH_MEMORY
                                                                  : ERROR_INVALID_DATA);
            return false;
        }
    }
    dialog.Close();

    if (!TakeArchive(file, archive)) {
        ::MessageBoxW(nullptr, LoadLocalizedString(IDS_CONTENT_TOO_LARGE).c_str(),
                      MHFX::LoadNeutralString(IDS_PRODUCT_NAME2).c_str(), MB_OK | MB_ICONWARNING);
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    return true;
}
