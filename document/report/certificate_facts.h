// The facts of certificates as the report keeps them: names, serial, thumbprint and period of
// a certificate, the recipients an envelope names, the qualified tests one does not meet.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "certificates/x509_certificate.h"
#include "document/report/validation_report.h"

namespace Dossiq::Documents {

// Subject and issuer (distinguished names), serial and SHA-1 thumbprint (hex, upper case),
// validity period and e-mail address of a certificate.
SignerReport DescribeCertificate(PCCERT_CONTEXT context);
// The simple display name.
std::wstring DisplayNameOf(PCCERT_CONTEXT context);
// The distinguished name of a list's issuer.
std::wstring CrlIssuerName(PCCRL_CONTEXT crl);
// The qualified tests a certificate does not meet, in their order.
std::vector<QualifiedCriterion>
QualifiedCriteriaFailed(const MHFX::Security::Cryptography::X509::X509Certificate& certificate);
// Whom the envelope at `path` names, looked up in the user's stores; `opened` is the place of
// the recipient whose key opened it, kNoRecipient for none.
std::vector<RecipientReport> RecipientsOf(const std::wstring& path, size_t opened);
// An instant of the platform as "2026-12-07T17:08:34Z".
std::wstring IsoUtc(const FILETIME& time);

} // namespace Dossiq::Documents
