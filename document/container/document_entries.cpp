#include "document/container/document_entries.h"

#include <shellapi.h>

#include <map>

#include "config/localization.h"
#include "document/dialogs/archive_progress_dialog.h"
#include "document/container/document.h"
#include "document/container/entry_target.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace {

constexpr unsigned long kBufferSize = 65536;
// The names of unwritable entries that one message lists.
constexpr size_t kNamedUnwritable = 10;

// Folder entries by their attributes or, whatever those say, by a trailing separator.
bool IsFolderEntry(const CZipFileHeader& header) {
    if (header.IsDirectory()) {
        return true;
    }
    const std::wstring name = header.GetFileName();
    return !name.empty() && (name.back() == L'\\' || name.back() == L'/');
}

bool HasContent(Document& document) {
    document.OpenOnce();
    return static_cast<bool>(document.Content());
}

void ShowExtractionError(HWND owner, const std::wstring& entryPath) {
    const std::wstring text =
        MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED), entryPath.c_str());
    ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_MANAGER_NAME).c_str(),
                  MB_OK | MB_ICONERROR);
}

// The uncompressing dialog for the life of one extraction.
class ProgressScope {
public:
    explicit ProgressScope(CZipArchive& archive) : archive_(archive) {
        dialog_.Start();
        archive_.SetCallback(&dialog_, CZipActionCallback::actExtract);
    }
    ~ProgressScope() {
        archive_.SetCallback(nullptr, CZipActionCallback::actExtract);
        dialog_.Close();
    }
    HWND Window() const { return dialog_.Window(); }

private:
    CZipArchive& archive_;
    ArchiveProgressDialog dialog_{false};
};

} // namespace

int SmallIconIndexOfExtension(const std::wstring& extension) {
    if (extension.empty()) {
        return -1;
    }
    SHFILEINFOW info = {};
    const std::wstring pattern = L"*" + extension;
    if (!::SHGetFileInfoW(pattern.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                          SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
        return -1;
    }
    return info.iIcon;
}

std::vector<EntryInfo> GetEntries(Document& document) {
    std::vector<EntryInfo> entries;
    if (!HasContent(document)) {
        return entries;
    }
    const DocumentContent content = document.Content();
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        // One shell call per extension, not per entry: large archives repeat a few.
        std::map<std::wstring, int> icons;
        entries.reserve(archive.GetCount());
        for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(i);
            if (!header || IsFolderEntry(*header)) {
                continue;
            }
            EntryInfo entry;
            entry.path = header->GetFileName();
            const std::wstring extension = MHFX::IO::Path::GetExtension(entry.path);
            const auto known = icons.find(extension);
            entry.iconIndex = known != icons.end()
                                  ? known->second
                                  : icons[extension] = SmallIconIndexOfExtension(extension);
            entry.size = header->m_uncomprSize;
            entries.push_back(std::move(entry));
        }
    } catch (const CZipException&) {
        entries.clear();
    } catch (const MHFX::Exception&) {
        // A name the path rules refuse: the listing is not to be trusted.
        entries.clear();
    }
    archive.Close(true);
    return entries;
}

bool ExtractEntry(Document& document, const std::wstring& entryPath, const std::wstring& folder,
                  bool fullPath) {
    if (entryPath.empty() || !HasContent(document)) {
        return false;
    }
    const EntryTargetFault fault = CheckEntryTarget(entryPath, folder, fullPath);
    if (fault != EntryTargetFault::None) {
        ShowUnwritableEntry(nullptr, entryPath, fault);
        return false;
    }
    const DocumentContent content = document.Content();
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    bool result = true;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        ProgressScope progress(archive);
        try {
            const ZipIndex index = archive.FindFile(entryPath);
            if (index == ZIP_FILE_INDEX_NOT_FOUND) {
                throw CZipException(CZipException::genericError, entryPath);
            }
            archive.ExtractFile(index, folder, fullPath, {}, kBufferSize);
        } catch (const CZipException&) {
            result = false;
        } catch (const MHFX::Exception&) {
            result = false;
        }
        archive.Close(true);
    } catch (const CZipException&) {
        result = false;
    } catch (const MHFX::Exception&) {
        // The progress dialog could not be started.
        result = false;
    }
    if (!result) {
        ShowExtractionError(nullptr, entryPath);
    }
    return result;
}

bool ExtractAllEntries(Document& document, const std::wstring& folder) {
    if (!HasContent(document)) {
        return false;
    }
    const DocumentContent content = document.Content();
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    bool failed = false;
    int extracted = 0;
    // Names this system cannot write are passed over and named once at the end.
    std::wstring unwritable;
    size_t unwritableCount = 0;
    EntryTargetFault firstFault = EntryTargetFault::None;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        ProgressScope progress(archive);
        for (ZipIndex i = 0; i < archive.GetCount() && !failed; ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(i);
            if (!header || IsFolderEntry(*header)) {
                continue;
            }
            const EntryTargetFault fault = CheckEntryTarget(header->GetFileName(), folder, true);
            if (fault != EntryTargetFault::None) {
                if (firstFault == EntryTargetFault::None) {
                    firstFault = fault;
                }
                if (++unwritableCount <= kNamedUnwritable) {
                    unwritable += (unwritable.empty() ? L"" : L", ") + header->GetFileName();
                } else if (unwritableCount == kNamedUnwritable + 1) {
                    unwritable += L", ...";
                }
                continue;
            }
            bool raised = false;
            try {
                if (archive.ExtractFile(i, folder, true, {}, kBufferSize)) {
                    ++extracted;
                }
            } catch (const CZipException&) {
                raised = true;
            } catch (const MHFX::Exception&) {
                raised = true;
            }
            if (raised) {
                ShowExtractionError(progress.Window(), header->GetFileName());
                failed = true;
            }
        }
        if (unwritableCount > 0) {
            ShowUnwritableEntry(progress.Window(), unwritable, firstFault);
            failed = true;
        }
        archive.Close(true);
    } catch (const CZipException&) {
        ShowExtractionError(nullptr, MHFX::IO::Path::GetFileName(document.Path()));
        failed = true;
    } catch (const MHFX::Exception&) {
        ShowExtractionError(nullptr, MHFX::IO::Path::GetFileName(document.Path()));
        failed = true;
    }
    return !failed && extracted > 0;
}
