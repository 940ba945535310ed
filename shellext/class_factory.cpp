#include "shellext/class_factory.h"

#include "shell/shell_module.h"

using namespace Dossiq::Shell;

IFACEMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

// The module's own reference is the first; the second one on is someone else's.
IFACEMETHODIMP_(ULONG) ClassFactory::AddRef() {
    const LONG count = ::InterlockedIncrement(&references_);
    if (count == 2) {
        Module().Lock();
    }
    return count;
}

IFACEMETHODIMP_(ULONG) ClassFactory::Release() {
    const LONG count = ::InterlockedDecrement(&references_);
    if (count == 1) {
        Module().Unlock();
    } else if (count == 0) {
        delete this;
    }
    return count;
}

IFACEMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return create_(iid, result);
}

IFACEMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        Module().Lock();
    } else {
        Module().Unlock();
    }
    return S_OK;
}
