// The property-sheet extension: adds the "Document" page to the sheet of one container.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "foundation/handle.h"
#include "shell/document_property_page.h"
#include "shell/shell_extension.h"

namespace Dossiq::Documents {
class Document;
} // namespace Dossiq::Documents

class PropertySheetHandler : public Dossiq::Shell::ShellExtension<IShellPropSheetExt> {
public:
    static HRESULT CreateInstance(REFIID iid, void** result);

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override;

    // IShellPropSheetExt
    IFACEMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
    IFACEMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                               LPARAM parameter) override;

private:
    friend class ComObject;
    PropertySheetHandler() noexcept;
    ~PropertySheetHandler() override = default;

    HRESULT OnSelection(std::vector<std::wstring> names) override;

    // Shared with the parse worker, which may outlive this object.
    std::shared_ptr<Dossiq::Documents::Document> document_;
    MHFX::ModuleHandle richEdit_;
    Dossiq::Shell::DocumentPropertyPage page_;
};
