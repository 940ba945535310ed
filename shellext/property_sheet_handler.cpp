#include "shellext/property_sheet_handler.h"

#include "document/container/document.h"

using namespace Dossiq::Documents;
using namespace Dossiq::Shell;

PropertySheetHandler::PropertySheetHandler() noexcept
    : richEdit_(::LoadLibraryW(L"RICHED20.DLL")), page_(*static_cast<IShellExtInit*>(this)) {}

HRESULT PropertySheetHandler::CreateInstance(REFIID iid, void** result) {
    return Create<PropertySheetHandler>(iid, result);
}

IFACEMETHODIMP PropertySheetHandler::QueryInterface(REFIID iid, void** result) {
    static const QITAB interfaces[] = {
        QITABENT(PropertySheetHandler, IShellExtInit),
        QITABENT(PropertySheetHandler, IShellPropSheetExt),
        {nullptr, 0},
    };
    return ::QISearch(this, interfaces, iid, result);
}

// One container only.
HRESULT PropertySheetHandler::OnSelection(std::vector<std::wstring> names) {
    if (names.size() != 1 || names.front().empty()) {
        return E_INVALIDARG;
    }
    document_ = std::make_shared<Document>(names.front());
    return S_OK;
}

IFACEMETHODIMP PropertySheetHandler::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
    return ComBoundary([&] {
        if (addPage == nullptr || !document_) {
            return E_INVALIDARG;
        }
        return page_.AddTo(document_, addPage, parameter) ? S_OK : E_INVALIDARG;
    });
}

IFACEMETHODIMP PropertySheetHandler::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}
