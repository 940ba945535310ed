#include "views/archive_packing.h"

#include "views/archive_progress_dialog.h"

using namespace Dossiq::Documents;

namespace Dossiq::Views {

ArchiveOutcome PackShowingProgress(const std::vector<std::wstring>& selection,
                                   const std::wstring& rootFolder, MessageBlob& archive) {
    ArchiveProgressDialog dialog(true);
    dialog.Start();
    const ArchiveOutcome outcome = PackSelection(selection, rootFolder, &dialog, archive);
    dialog.Close();
    return outcome;
}

} // namespace Dossiq::Views
