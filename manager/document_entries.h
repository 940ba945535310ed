// What the manager does with an opened document's archive: list its files, and extract one
// or all of them from the content in place while the uncompressing progress dialog runs on
// its own thread. Each opens the document first when nobody has.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Dossiq::Documents {
class Document;
struct EntryListing;
} // namespace Dossiq::Documents

namespace Dossiq::Manager {

struct EntryInfo {
    int iconIndex = -1; // the system small-icon index of the extension, -1 for none
    std::wstring path;  // inside the archive, as the reader gives it
    uint32_t size = 0;  // uncompressed bytes
    unsigned index = 0; // in the archive: names may repeat, or differ only in case
};

// The file entries in archive order, as far as the archive can be read; empty for a
// document without content.
std::vector<EntryInfo> GetEntries(Documents::Document& document);
// The same from a walk already made.
std::vector<EntryInfo> EntriesOf(const Documents::EntryListing& listing);

// Extracts the entry `entryPath` into `folder`, with its folders inside the archive when
// `fullPath`; true when it was written. What is asked and refused, and how errors are shown
// (owned by `owner` once the progress dialog has gone): see ExtractionCommand.
bool ExtractEntry(Documents::Document& document, const std::wstring& entryPath,
                  const std::wstring& folder, bool fullPath, HWND owner = nullptr);
// The same for the entry at `index` of the archive, as a row of the list stands for it.
bool ExtractEntry(Documents::Document& document, unsigned index, const std::wstring& folder,
                  bool fullPath, HWND owner = nullptr);

// Extracts every file with its folders into `folder`, stopping at the first error or when the
// user cancels. True when at least one file was written and nothing failed.
bool ExtractAllEntries(Documents::Document& document, const std::wstring& folder,
                       HWND owner = nullptr);

// The system small-icon index for files with `extension` (dot included), -1 for none.
int SmallIconIndexOfExtension(const std::wstring& extension);

} // namespace Dossiq::Manager
