// The one extraction of entries from an opened document's archive, whichever program asks,
// and the rules it keeps whatever the archive holds:
// - nothing is written outside the chosen folder, and no name Windows cannot write;
// - names are written and shown with their bidirectional controls spelled out;
// - the open container is never written to (by another spelling of its name or a link to
//   it either);
// - whether a file exists is decided for each entry just before it is written, so that
//   names earlier entries produced (another case, a short alias) are asked about too;
// - the container's Internet zone mark, then the attributes, go on each file while it is
//   still the new file beside its target: a mark that cannot be written on a volume with
//   streams, or attributes that cannot be set, leave the target as it was; a stop after an
//   entry's last step leaves it finished. Offline, temporary, system and hidden attributes
//   are never taken from the archive;
// - a file Explorer acts on when it shows its folder (desktop.ini, a library, a search
//   connector, an Internet shortcut) is written under a name it does not act on, and the
//   host is told;
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
    MarkNotWritten, // the container's zone mark could not go on it: not written
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
    // Before OnWritten: the entry Explorer would act on went to `target` instead.
    virtual void OnMadeVisible(const ArchiveEntry&, const std::wstring& /*target*/) {}
    // Follows the reader's progress when not null; its stop request cancels.
    virtual CZipActionCallback* Progress() { return nullptr; }

    // The file system, for tests to stand in for volumes this system does not have.
    // Whether the volume that holds `path` keeps named streams: the mark goes only there.
    virtual bool KeepsStreams(const std::wstring& path);
    // Puts the container's mark on `file`, the new file that is to replace the target.
    virtual bool WriteMark(const std::wstring& file, const std::string& mark);
};

// The name an entry is written under: `name` itself, or for a file Explorer acts on, one
// it shows as text.
std::wstring InertName(const std::wstring& name);

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
