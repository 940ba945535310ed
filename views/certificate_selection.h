// The choice of the signing and the recipient certificate for a new container: candidates
// from the current user's system stores, the single candidate taken as it is, the system's
// selection dialog over a temporary store when there are several. Commands running side by
// side in one process take turns: the stores below are shared by the whole process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "certificates/x509_certificate.h"
#include "certificates/x509_store.h"
#include "foundation/threading/sync_object.h"

namespace Dossiq::Views {

// The process-wide "My", "AddressBook" and "TrustedPeople" stores of the current user,
// created on first use and open only while a choice lists them.
class SharedCertificateStores {
public:
    enum Index : std::size_t { My = 0, AddressBook = 1, TrustedPeople = 2 };

    // The store, opened read-write if it is not open; the caller closes it after listing.
    // Throws Win32Exception when it cannot be opened.
    static MHFX::Security::Cryptography::X509::X509Store& Open(Index index);
    // Held for a whole choice, so that two commands never use the shared stores or a
    // temporary store of the same name at once.
    static MHFX::SyncObject& Lock();
};

// The temporary store the signing certificate's selection dialog is shown over.
extern const wchar_t kTempSigningStoreName[]; // "TempMyStore$"

// A qualified certificate with its private key from "My": the only one directly, else the
// user's pick. Uninitialized when there is none (the user has been told) or the user
// cancelled. Throws the Foundation's exceptions when a store cannot be opened or created.
MHFX::Security::Cryptography::X509::X509Certificate SelectSigningCertificate();

// Whom a new envelope is for, as the user chose: none chosen when there is no candidate (the
// user has been told) or the user cancelled.
struct RecipientChoice {
    std::vector<MHFX::Security::Cryptography::X509::X509Certificate> recipients;
    bool forMe = false;
    bool Chosen() const { return !recipients.empty() || forMe; }
};

// Certificates for key encipherment from "AddressBook" and "TrustedPeople", each offered
// once: the only one directly, with "Also for me" as `forMe` says, else those the user checks
// in the choice of recipients, which starts with "Also for me" as `forMe` says. Throws as
// above.
RecipientChoice SelectRecipientCertificates(bool forMe);

} // namespace Dossiq::Views
