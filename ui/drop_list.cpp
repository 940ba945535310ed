#include "ui/drop_list.h"

namespace Dossiq::Ui {

namespace {

// The medium of one GetData call, released whatever happens.
class StorageMedium {
public:
    STGMEDIUM medium = {};
    ~StorageMedium() {
        if (medium.tymed != TYMED_NULL)
            ::ReleaseStgMedium(&medium);
    }
};

} // namespace

std::vector<std::wstring> ReadDropList(HDROP drop) {
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> names;
    names.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        // An empty list reads as one empty name on some systems; it stays empty here.
        if (length == 0 || ::DragQueryFileW(drop, i, name.data(), length + 1) != length) {
            name.clear();
        }
        name.resize(name.empty() ? 0 : length);
        names.push_back(std::move(name));
    }
    return names;
}

HRESULT ReadDropList(IDataObject* data, std::vector<std::wstring>& names) {
    names.clear();
    if (data == nullptr) {
        return E_INVALIDARG;
    }
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    StorageMedium medium;
    if (FAILED(data->GetData(&format, &medium.medium))) {
        return E_INVALIDARG;
    }
    const HGLOBAL memory = medium.medium.hGlobal;
    if (::GlobalLock(memory) == nullptr) {
        return E_INVALIDARG;
    }
    names = ReadDropList(static_cast<HDROP>(memory));
    ::GlobalUnlock(memory);
    return S_OK;
}

} // namespace Dossiq::Ui
