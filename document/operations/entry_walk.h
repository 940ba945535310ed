// The one walk over an archive's central directory that every listing uses: the manager's
// list, the report's entries, the console's list and extract, Extract All. Each entry with
// its name, sizes, CRC, stored time and whether it is a folder; a walk that stops early keeps
// the entries read so far and says that the listing is not complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CZipFileHeader;

namespace Dossiq::Documents {

struct DocumentContent;

struct ArchiveEntry {
    uint16_t index = 0; // in the central directory
    std::wstring name;  // as the reader gives it, `\` separated
    uint32_t size = 0;  // uncompressed bytes
    uint32_t compressedSize = 0;
    uint32_t crc32 = 0;
    uint16_t dosDate = 0;
    uint16_t dosTime = 0;
    uint32_t attributes = 0; // Windows attribute bits as stored
    bool folder = false;
};

struct EntryListing {
    std::vector<ArchiveEntry> entries;
    // False when the archive could not be read to its end (or at all).
    bool complete = false;

    size_t FileCount() const;
};

// Folder entries by their attributes or, whatever those say, by a trailing separator.
bool IsFolderEntry(const CZipFileHeader& header);

// One central directory header as the walk describes it.
ArchiveEntry DescribeEntry(const CZipFileHeader& header, uint16_t index);

// The index of the entry named `name` (either separator), else of the first one whose name
// differs only in case as Windows compares names; -1 when there is none.
int FindEntry(const EntryListing& listing, const std::wstring& name);

// Every entry of the archive `content` holds, in archive order. Never throws.
EntryListing WalkEntries(const DocumentContent& content) noexcept;

} // namespace Dossiq::Documents
