#include "document/operations/entry_walk.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "document/container/document.h"
#include "foundation/exception.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace Dossiq::Documents {

ArchiveEntry DescribeEntry(const CZipFileHeader& header, uint16_t index) {
    ArchiveEntry entry;
    entry.index = index;
    entry.name = header.GetFileName();
    entry.size = header.m_uncomprSize;
    entry.compressedSize = header.m_comprSize;
    entry.crc32 = header.m_crc32;
    entry.dosDate = header.m_modDate;
    entry.dosTime = header.m_modTime;
    entry.attributes = header.GetSystemAttr();
    entry.folder = IsFolderEntry(header);
    return entry;
}

namespace {

std::wstring WithBackslashes(std::wstring name) {
    std::replace(name.begin(), name.end(), L'/', L'\\');
    return name;
}

} // namespace

int FindEntry(const EntryListing& listing, const std::wstring& name) {
    const std::wstring wanted = WithBackslashes(name);
    // The name as given wins over one that differs only in case.
    for (const BOOL ignoreCase : {FALSE, TRUE}) {
        for (const ArchiveEntry& entry : listing.entries) {
            const std::wstring candidate = WithBackslashes(entry.name);
            if (::CompareStringOrdinal(candidate.c_str(), static_cast<int>(candidate.size()),
                                       wanted.c_str(), static_cast<int>(wanted.size()),
                                       ignoreCase) == CSTR_EQUAL) {
                return entry.index;
            }
        }
    }
    return -1;
}

size_t EntryListing::FileCount() const {
    return static_cast<size_t>(std::count_if(entries.begin(), entries.end(),
                                             [](const ArchiveEntry& e) { return !e.folder; }));
}

bool IsFolderEntry(const CZipFileHeader& header) {
    if (header.IsDirectory()) {
        return true;
    }
    const std::wstring name = header.GetFileName();
    return !name.empty() && (name.back() == L'\\' || name.back() == L'/');
}

EntryListing WalkEntries(const DocumentContent& content) noexcept {
    EntryListing listing;
    if (!content) {
        return listing;
    }
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        listing.entries.reserve(archive.GetCount());
        bool whole = true;
        for (ZipIndex i = 0; i < archive.GetCount() && whole; ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(i);
            whole = header != nullptr;
            if (whole) {
                listing.entries.push_back(DescribeEntry(*header, i));
            }
        }
        listing.complete = whole;
    } catch (const CZipException&) {
    } catch (const MHFX::Exception&) {
        // A name the path rules refuse: what follows is not listed.
    } catch (const std::bad_alloc&) {
    }
    try {
        archive.Close(true);
    } catch (...) {
    }
    return listing;
}

} // namespace Dossiq::Documents
