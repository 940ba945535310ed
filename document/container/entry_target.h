// Whether an archive entry can become a file of the same name on this system. Archives made
// elsewhere hold names Windows cannot write (reserved characters, device names, a trailing dot
// or space) or that end up too long below the chosen folder; such an entry is still listed,
// and extracting or viewing it gets its own message instead of a reader error.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Documents {

enum class EntryTargetFault {
    None,
    InvalidName, // a component Windows cannot name a file or folder by
    TooLong,     // the file or its folder would be longer than the system allows
};

// The fault that keeps `entryPath` (as the reader gives it) from becoming a file below
// `folder`, with its folders when `withFolders`, else under its last component only.
// Names that would leave the folder ("..", rooted names) are left to the reader, which
// refuses them.
EntryTargetFault CheckEntryTarget(const std::wstring& entryPath, const std::wstring& folder,
                                  bool withFolders);

// The message for one entry that cannot be written, in the user's language.
std::wstring UnwritableEntryText(const std::wstring& entryPath, EntryTargetFault fault);

} // namespace Dossiq::Documents
