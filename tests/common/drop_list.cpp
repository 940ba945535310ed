#include "common/drop_list.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>

namespace TestSupport {

namespace {

// The smallest data object the handlers accept: GetData of CF_HDROP, nothing else.
class DropObject : public IDataObject {
public:
    explicit DropObject(std::vector<BYTE> drop) : drop_(std::move(drop)) {}

    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override {
        *result = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *result = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    IFACEMETHODIMP_(ULONG) Release() override {
        const ULONG count = --references_;
        if (count == 0)
            delete this;
        return count;
    }
    IFACEMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (drop_.empty() || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) {
            return DV_E_FORMATETC;
        }
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, drop_.size());
        std::memcpy(::GlobalLock(memory), drop_.data(), drop_.size());
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    IFACEMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    IFACEMETHODIMP QueryGetData(FORMATETC* format) override {
        return !drop_.empty() && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    IFACEMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    IFACEMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    IFACEMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    IFACEMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    IFACEMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    virtual ~DropObject() = default;
    std::atomic<ULONG> references_{1};
    std::vector<BYTE> drop_;
};

MHFX::ComPtr<IDataObject> Adopt(IDataObject* object) {
    MHFX::ComPtr<IDataObject> result;
    result.attach(object);
    return result;
}

} // namespace

std::vector<BYTE> DropFilesBytes(const std::vector<std::wstring>& paths) {
    std::vector<BYTE> drop(sizeof(DROPFILES));
    auto* header = reinterpret_cast<DROPFILES*>(drop.data());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    for (const std::wstring& path : paths) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(path.c_str());
        drop.insert(drop.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
    }
    drop.insert(drop.end(), (paths.empty() ? 2 : 1) * sizeof(wchar_t), 0);
    return drop;
}

HGLOBAL DropFilesGlobal(const std::vector<std::wstring>& paths) {
    const std::vector<BYTE> bytes = DropFilesBytes(paths);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (memory != nullptr) {
        std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
        ::GlobalUnlock(memory);
    }
    return memory;
}

MHFX::ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths) {
    return Adopt(new DropObject(DropFilesBytes(paths)));
}

MHFX::ComPtr<IDataObject> EmptyDataObject() {
    return Adopt(new DropObject({}));
}

} // namespace TestSupport
