#include "manager/document_entries.h"

#include <shellapi.h>

#include <map>

#include "document/container/document.h"
#include "manager/extraction_command.h"
#include "document/operations/entry_walk.h"
#include "foundation/io/path.h"

using namespace Dossiq::Documents;

namespace Dossiq::Manager {

namespace {

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
    if (!HasContent(document)) {
        return {};
    }
    return EntriesOf(WalkEntries(document.Content()));
}

std::vector<EntryInfo> EntriesOf(const EntryListing& listing) {
    std::vector<EntryInfo> entries;
    entries.reserve(listing.entries.size());
    // One shell call per extension, not per entry: large archives repeat a few.
    std::map<std::wstring, int> icons;
    for (const ArchiveEntry& walked : listing.entries) {
        if (walked.folder) {
            continue;
        }
        EntryInfo entry;
        entry.path = walked.name;
        entry.index = walked.index;
        const std::wstring extension = MHFX::IO::Path::GetExtension(entry.path);
        const auto known = icons.find(extension);
        entry.iconIndex = known != icons.end()
                              ? known->second
                              : icons[extension] = SmallIconIndexOfExtension(extension);
        entry.size = walked.size;
        entries.push_back(std::move(entry));
    }
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

} // namespace Dossiq::Manager
