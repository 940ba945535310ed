#include "document/container/document_entries.h"

#include <shellapi.h>

#include <map>

#include "config/localization.h"
#include "document/container/document.h"
#include "document/container/extraction_command.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace {

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
            entry.index = static_cast<unsigned>(i);
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
                  bool fullPath, HWND owner) {
    return ExtractionCommand(document, owner).ExtractOne(entryPath, folder, fullPath);
}

bool ExtractEntry(Document& document, unsigned index, const std::wstring& folder, bool fullPath,
                  HWND owner) {
    return ExtractionCommand(document, owner).ExtractAt(index, folder, fullPath);
}

bool ExtractAllEntries(Document& document, const std::wstring& folder, HWND owner) {
    return ExtractionCommand(document, owner).ExtractAll(folder);
}
