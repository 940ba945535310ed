// Packing a selection while the archive progress dialog shows how far it got.
#pragma once

#include <string>
#include <vector>

#include "document/creation/archive_builder.h"

namespace Dossiq::Views {

// PackSelection with the dialog showing; telling the user that the archive grew too large is
// the caller's. Exceptions pass through, the dialog closed.
Documents::ArchiveOutcome PackShowingProgress(const std::vector<std::wstring>& selection,
                                              const std::wstring& rootFolder,
                                              Documents::MessageBlob& archive);

} // namespace Dossiq::Views
