// Packing the selected files and folders into the in-memory ZIP archive that a container
// signs and/or encrypts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/container/message_blob.h"

class CZipMemFile;

// Archives of this size or more are refused (100 MB).
constexpr std::uint64_t kMaxArchiveLength = 100ull * 1024 * 1024;

// Packs `selection` (files and folders, walked recursively) under names relative to
// `rootFolder`, showing the archive progress dialog meanwhile. False when the archive is too
// large (the user has been told) or could not be built. Foundation exceptions (a relative
// path that cannot be formed) pass through; the archive writer's own exceptions are turned
// into a false result with the last error set.
bool BuildArchive(const std::vector<std::wstring>& selection, const std::wstring& rootFolder,
                  MessageBlob& archive);

// Hands the in-memory archive over to `archive` when it is below the limit; otherwise
// releases the buffer and returns false without telling anybody.
bool TakeArchive(CZipMemFile& file, MessageBlob& archive);

// The name of the entry for `path` below `rootFolder`: the relative path without its leading
// ".\". Parent-folder steps at its start (an item outside the root folder) are dropped so
// that no entry leads outside the folder it is extracted to.
std::wstring ArchiveEntryName(const std::wstring& rootFolder, const std::wstring& path);
