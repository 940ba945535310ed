// Packing the selected files and folders into the in-memory ZIP archive that a container
// signs and/or encrypts: everything selected is packed, or nothing is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/container/message_blob.h"

class CZipActionCallback;
class CZipMemFile;

namespace Dossiq::Documents {

// Archives of this size or more are refused (100 MB).
constexpr std::uint64_t kMaxArchiveLength = 100ull * 1024 * 1024;

// The error of a PackingException for a selection of more files than an archive can list.
constexpr DWORD kErrorTooManyArchiveEntries = 0x20000102;

enum class ArchiveOutcome {
    Built,
    TooLarge, // the archive reached the limit while it was written
};

// Packs `selection` into `archive`. A selected folder contributes its files, never an entry of
// its own, and links to folders met inside it are not followed (a selected link is: the user
// chose it). An item that lies below `rootFolder` is named relative to it; any other item
// (another drive, a search result) is named after its own folder. Throws PackingException for
// the first item that cannot be listed, opened or read, before or while packing, and
// CZipException when the archive writer refuses one (a file over 4 GB); `archive` stays
// empty then, as it does when the limit is reached.
ArchiveOutcome PackSelection(const std::vector<std::wstring>& selection,
                             const std::wstring& rootFolder, CZipActionCallback* progress,
                             MessageBlob& archive);

// Hands the in-memory archive over to `archive` when it is below the limit; otherwise
// releases the buffer and returns false without telling anybody.
bool TakeArchive(CZipMemFile& file, MessageBlob& archive);

// The name of the entry for `path` below `rootFolder`: the relative path without its leading
// ".\". Parent-folder steps at its start (an item outside the root folder) are dropped so
// that no entry leads outside the folder it is extracted to; an item on another drive is
// named after its own folder.
std::wstring ArchiveEntryName(const std::wstring& rootFolder, const std::wstring& path);

} // namespace Dossiq::Documents
