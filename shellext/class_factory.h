// The class object of one creatable class. The module keeps one reference to it for its
// whole life; a reference held by anyone else locks the module, so it is not unloaded
// under a caller's factory pointer.
#pragma once

#include <windows.h>
#include <unknwn.h>

// Creates one object of a class and returns its interface `iid`.
using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** result);

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateInstanceFunction create) noexcept : create_(create) {}

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    // IClassFactory
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    IFACEMETHODIMP LockServer(BOOL lock) override;

private:
    virtual ~ClassFactory() = default;

    volatile LONG references_ = 1;
    CreateInstanceFunction create_;
};
