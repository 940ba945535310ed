// The property-sheet extension: adds the "Document" page to the sheet of one container.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "foundation/handle.h"
#include "shellext/document_property_page.h"
#include "shellext/shell_module.h"

class Document;

class PropertySheetHandler : public IShellExtInit, public IShellPropSheetExt {
public:
    static HRESULT CreateInstance(REFIID iid, void** result);

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY key) override;

    // IShellPropSheetExt
    IFACEMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
    IFACEMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                               LPARAM parameter) override;

    // The tab caption for a container path: the kind's name for "snx", "pnx" and "enx" in
    // exactly these letters, else empty (the page's own caption shows).
    static std::wstring PageTitle(const std::wstring& path);

private:
    PropertySheetHandler() noexcept;
    virtual ~PropertySheetHandler() = default;

    HRESULT InitializeFrom(IDataObject* data);

    ModuleLock moduleLock_;
    volatile LONG references_ = 1;
    // Shared with the parse worker, which may outlive this object.
    std::shared_ptr<Document> document_;
    MHFX::ModuleHandle richEdit_;
    DocumentPropertyPage page_;
};
