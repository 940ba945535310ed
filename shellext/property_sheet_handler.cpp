#include "shellext/property_sheet_handler.h"

#include <shellapi.h>

#include <new>

#include "config/localization.h"
#include "config/preferences.h"
#include "document/document.h"
#include "document/document_kind.h"
#include "foundation/io/path.h"

namespace {

class StorageMedium {
public:
    STGMEDIUM medium = {};
    ~StorageMedium() {
        if (medium.tymed != TYMED_NULL)
            ::ReleaseStgMedium(&medium);
    }
};

} // namespace

PropertySheetHandler::PropertySheetHandler() noexcept
    : richEdit_(::LoadLibraryW(L"RICHED20.DLL")), page_(*this) {}

HRESULT PropertySheetHandler::CreateInstance(REFIID iid, void** result) {
    *result = nullptr;
    auto* handler = new (std::nothrow) PropertySheetHandler();
    if (handler == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = handler->QueryInterface(iid, result);
    handler->Release();
    return hr;
}

IFACEMETHODIMP PropertySheetHandler::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (iid == IID_IUnknown || iid == IID_IShellExtInit) {
        *result = static_cast<IShellExtInit*>(this);
    } else if (iid == IID_IShellPropSheetExt) {
        *result = static_cast<IShellPropSheetExt*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

IFACEMETHODIMP_(ULONG) PropertySheetHandler::AddRef() {
    return ::InterlockedIncrement(&references_);
}

IFACEMETHODIMP_(ULONG) PropertySheetHandler::Release() {
    const LONG count = ::InterlockedDecrement(&references_);
    if (count == 0) {
        delete this;
    }
    return count;
}

IFACEMETHODIMP PropertySheetHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    try {
        return InitializeFrom(data);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_INVALIDARG;
    }
}

HRESULT PropertySheetHandler::InitializeFrom(IDataObject* data) {
    if (data == nullptr) {
        return E_INVALIDARG;
    }
    if (!Preferences::Instance().Load()) {
        return E_INVALIDARG;
    }
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    StorageMedium medium;
    if (FAILED(data->GetData(&format, &medium.medium))) {
        return E_INVALIDARG;
    }
    const auto drop = static_cast<HDROP>(medium.medium.hGlobal);
    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) {
        return E_INVALIDARG;
    }
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    if (length == 0 || ::DragQueryFileW(drop, 0, path.data(), length + 1) != length) {
        return E_INVALIDARG;
    }
    path.resize(length);
    document_ = std::make_shared<Document>(path);
    return S_OK;
}

std::wstring PropertySheetHandler::PageTitle(const std::wstring& path) {
    std::wstring extension = MHFX::IO::Path::GetExtension(path);
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    if (extension == L"snx")
        return KindDisplayName(DocumentKind::Signed);
    if (extension == L"enx")
        return KindDisplayName(DocumentKind::Encrypted);
    if (extension == L"pnx")
        return KindDisplayName(DocumentKind::Protected);
    return std::wstring();
}

IFACEMETHODIMP PropertySheetHandler::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
    try {
        if (addPage == nullptr || !document_) {
            return E_INVALIDARG;
        }
        const HPROPSHEETPAGE page = page_.Create(document_, PageTitle(document_->Path()));
        if (page == nullptr) {
            return E_INVALIDARG;
        }
        // The page's reference on this object is taken with the page; destroying a page the
        // sheet refused gives it back through the page's release notification.
        if (!addPage(page, parameter)) {
            using DestroyFunction = BOOL(WINAPI*)(HPROPSHEETPAGE);
            const auto destroy = reinterpret_cast<DestroyFunction>(reinterpret_cast<void*>(
                Module().FindCommonFunction(L"comctl32.dll", "DestroyPropertySheetPage")));
            if (destroy) {
                destroy(page);
            }
            return E_INVALIDARG;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

IFACEMETHODIMP PropertySheetHandler::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}
