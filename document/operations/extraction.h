// The one extraction of entries from an opened document's archive, whichever program asks,
// and the rules it keeps whatever the archive holds:
// - nothing is written outside the chosen folder, and no name Windows cannot write;
// - names are written and shown with their bidirectional controls spelled out;
// - the open container is never written to (by another spelling of its name or a link to
//   it either);
// - whether a file exists is decided for each entry just before it is written, so that
//   names earlier entries produced (another case, a short alias) are asked about too;
// - the container's Internet zone mark goes on each file written before the attributes
//   that could block it; a file whose mark cannot be written on a volume with streams is
//   removed again and reported; offline, temporary and system attributes are never
//   taken from the archive;
// - every failure of the reader, raised or returned, is a failure of that entry.
// The host answers the questions and is told the outcome of each entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/operations/entry_walk.h"

class CZipActionCallback;

namespace Dossiq::Documents {

struct DocumentContent;

enum class ExtractionFault {
    InvalidName,    // a component Windows cannot name a file or folder by
    TooLong,        // the file or its folder would be longer than the system allows
    OpenContainer,  // it would land on the container the archive came from
    ReaderFailed,   // refused by the reader, or its data could not be produced
    MarkNotWritten, // the container's zone mark could not go on it: removed again
};

class ExtractionHost {
public:
    enum class Answer { Replace, ReplaceAll, Skip, Cancel };

    virtual ~ExtractionHost() = default;
    // `target` exists: what to do with it. ReplaceAll holds for the rest of the extraction.
    virtual Answer AskReplace(const std::wstring& target) = 0;
    // An entry that was not written as asked, under its shown name; false ends the extraction.
    virtual bool OnFailed(const ArchiveEntry& entry, const std::wstring& shownName,
                          ExtractionFault fault) = 0;
    virtual void OnWritten(const ArchiveEntry&, const std::wstring& /*target*/) {}
    // Follows the reader's progress when not null; its stop request cancels.
    virtual CZipActionCallback* Progress() { return nullptr; }
};

struct ExtractionRequest {
    std::wstring folder;           // an existing folder, full path
    bool withFolders = true;       // the entries' folders below it, or only their names
    std::vector<uint16_t> entries; // these entries in this order; empty for every file
};

struct ExtractionOutcome {
    size_t written = 0;
    size_t skipped = 0;
    size_t failed = 0;
    bool cancelled = false;
    bool unreadable = false;  // the archive could not be read at all
    std::wstring lastWritten; // the file the last entry written became

    bool Succeeded() const { return failed == 0 && !cancelled && !unreadable; }
};

// Extracts from `content`, the archive of the container at `containerPath`. Never throws
// for what the archive or the file system do.
ExtractionOutcome ExtractEntries(const DocumentContent& content, const std::wstring& containerPath,
                                 const ExtractionRequest& request, ExtractionHost& host);

} // namespace Dossiq::Documents
