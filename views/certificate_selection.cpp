#include "views/certificate_selection.h"

#include <algorithm>
#include <array>
#include <memory>

#include "certificates/certificate_purpose.h"
#include "certificates/store_name.h"
#include "config/localization.h"
#include "foundation/resource_string.h"
#include "foundation/threading/critical_section.h"
#include "foundation/threading/sync_lock.h"
#include "foundation/win32_exception.h"
#include "resources/common/localized_ids.h"
#include "views/recipient_choice_dialog.h"

using namespace Dossiq::Config;

namespace Dossiq::Views {

using MHFX::Security::Cryptography::X509::IsRecipientCandidate;
using MHFX::Security::Cryptography::X509::IsSigningCandidate;
using MHFX::Security::Cryptography::X509::StoreName;
using MHFX::Security::Cryptography::X509::X509Certificate;
using MHFX::Security::Cryptography::X509::X509CertificateCollection;
using MHFX::Security::Cryptography::X509::X509Store;

const wchar_t kTempSigningStoreName[] = L"TempMyStore$";

namespace {

constexpr DWORD kCurrentUser = CERT_SYSTEM_STORE_CURRENT_USER;

// Closes a shared store at the end of its listing, also when the listing threw.
class StoreCloser {
public:
    explicit StoreCloser(X509Store& store) : store_(store) {}
    ~StoreCloser() {
        try {
            if (store_.IsOpen()) {
                store_.Close();
            }
        } catch (...) {
        }
    }
    StoreCloser(const StoreCloser&) = delete;
    StoreCloser& operator=(const StoreCloser&) = delete;

private:
    X509Store& store_;
};

// Deletes a temporary store when the choice ends, whichever way it ends. A store that
// cannot be deleted now is removed before the next choice creates it again.
class TemporaryStoreRemover {
public:
    explicit TemporaryStoreRemover(const wchar_t* name) : name_(name) {}
    ~TemporaryStoreRemover() { DeleteQuietly(name_); }
    TemporaryStoreRemover(const TemporaryStoreRemover&) = delete;
    TemporaryStoreRemover& operator=(const TemporaryStoreRemover&) = delete;

    static void DeleteQuietly(const wchar_t* name) {
        try {
            X509Store::DeleteStore(kCurrentUser, name);
        } catch (const MHFX::Exception&) {
        }
    }

private:
    const wchar_t* name_;
};

void TellNoCandidate(UINT textId) {
    ::MessageBoxW(nullptr, LoadLocalizedString(textId).c_str(),
                  MHFX::LoadNeutralString(IDS_SHELL_NAME).c_str(), MB_OK | MB_ICONWARNING);
}

// Creates the temporary store, or takes over one that an earlier choice left behind and
// that could not be deleted (Wine reports deleting a system store as done and keeps it),
// emptied, so that the dialog still shows exactly the candidates.
void CreateOrReuse(X509Store& store, const wchar_t* name) {
    try {
        store.CreateStore(kCurrentUser, name);
        store.Open(0);
        return;
    } catch (const MHFX::Win32Exception&) {
        try {
            store.Open(0);
        } catch (const MHFX::Exception&) {
        }
        if (!store.IsOpen()) {
            throw;
        }
    }
    for (const X509Certificate& stale : store.Certificates()) {
        MHFX::ThrowLastErrorIf(
            !::CertDeleteCertificateFromStore(::CertDuplicateCertificateContext(stale.Handle())));
    }
    if (!store.Certificates().Empty()) {
        throw MHFX::Win32Exception(ERROR_ALREADY_EXISTS);
    }
}

// The selection dialog over a temporary store holding exactly the candidates.
X509Certificate ChooseAmong(const X509CertificateCollection& candidates, const wchar_t* storeName,
                            DWORD disposition, UINT displayTextId) {
    // A store left by a choice that never ended would make creating it fail for good.
    TemporaryStoreRemover::DeleteQuietly(storeName);

    X509Store store(storeName, kCurrentUser);
    TemporaryStoreRemover remover(storeName);
    CreateOrReuse(store, storeName);
    for (const X509Certificate& candidate : candidates) {
        MHFX::ThrowLastErrorIf(!::CertAddCertificateContextToStore(
            store.Handle(), candidate.Handle(), disposition, nullptr));
    }
    return store.SelectCertificate(LoadLocalizedString(IDS_SELECT_CERTIFICATE_TITLE),
                                   LoadLocalizedString(displayTextId));
}

} // namespace

X509Store& SharedCertificateStores::Open(Index index) {
    static std::array<std::unique_ptr<X509Store>, 3> stores = {
        std::make_unique<X509Store>(StoreName::My, kCurrentUser),
        std::make_unique<X509Store>(StoreName::AddressBook, kCurrentUser),
        std::make_unique<X509Store>(StoreName::TrustedPeople, kCurrentUser),
    };
    X509Store& store = *stores.at(index);
    if (!store.IsOpen()) {
        store.Open(0);
    }
    return store;
}

MHFX::SyncObject& SharedCertificateStores::Lock() {
    static MHFX::CriticalSection lock;
    return lock;
}

X509Certificate SelectSigningCertificate() {
    MHFX::SyncLock lock(SharedCertificateStores::Lock());

    X509CertificateCollection candidates;
    {
        X509Store& my = SharedCertificateStores::Open(SharedCertificateStores::My);
        StoreCloser closer(my);
        for (const X509Certificate& certificate : my.Certificates()) {
            if (IsSigningCandidate(certificate)) {
                candidates.Add(certificate);
            }
        }
    }

    if (candidates.Empty()) {
        TellNoCandidate(IDS_NO_SIGNING_CERTIFICATE);
        return X509Certificate();
    }
    if (candidates.Count() == 1) {
        return candidates[0];
    }
    return ChooseAmong(candidates, kTempSigningStoreName, CERT_STORE_ADD_ALWAYS,
                       IDS_SELECT_SIGNING_CERTIFICATE);
}

RecipientChoice SelectRecipientCertificates(bool forMe) {
    MHFX::SyncLock lock(SharedCertificateStores::Lock());

    std::vector<X509Certificate> candidates;
    for (auto index :
         {SharedCertificateStores::AddressBook, SharedCertificateStores::TrustedPeople}) {
        X509Store* store = nullptr;
        try {
            store = &SharedCertificateStores::Open(index);
        } catch (const MHFX::Win32Exception&) {
            continue; // a recipient store the user does not have
        }
        StoreCloser closer(*store);
        for (const X509Certificate& certificate : store->Certificates()) {
            const bool seen =
                std::any_of(candidates.begin(), candidates.end(), [&](const X509Certificate& c) {
                    return ::CertCompareCertificate(X509_ASN_ENCODING, c.Handle()->pCertInfo,
                                                    certificate.Handle()->pCertInfo);
                });
            if (!seen && IsRecipientCandidate(certificate)) {
                candidates.push_back(certificate);
            }
        }
    }

    if (candidates.empty()) {
        TellNoCandidate(IDS_NO_RECIPIENT_CERTIFICATE);
        return {};
    }
    if (candidates.size() == 1) {
        return {candidates, forMe};
    }
    RecipientChoiceDialog dialog(candidates, forMe);
    if (!dialog.Ask(::GetActiveWindow())) {
        return {};
    }
    return {dialog.Chosen(), dialog.ForMe()};
}

} // namespace Dossiq::Views
