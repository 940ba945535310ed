// Whether a certificate is fit for qualified electronic signatures under the ETSI profile,
// judged from the certificate alone: qcStatements with QcCompliance and QcSSCD, a subject
// common name of the accepted form, and key usage digitalSignature plus nonRepudiation.
#pragma once

#include <windows.h>

#include <string>

#include "certificates/x509_certificate.h"

namespace MHFX::Security::Cryptography::X509 {

extern const std::wstring kQcStatementsExtension; // "1.3.6.1.5.5.7.1.3"
constexpr char kQcComplianceStatement[] = "0.4.0.1862.1.1";
constexpr char kQcSscdStatement[] = "0.4.0.1862.1.4";
constexpr DWORD kQualifiedKeyUsage =
    CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_NON_REPUDIATION_KEY_USAGE;

// All three tests are always evaluated, in this order.
bool IsQualified(const X509Certificate& certificate);
bool HasQcComplianceAndSscd(const X509Certificate& certificate);
bool HasQualifiedNameForm(const X509Certificate& certificate);
// The name rule on its own, for a common name already at hand.
bool IsQualifiedNameForm(const std::wstring& commonName);
// False, not an error, for a certificate without a key-usage extension.
bool HasKeyUsage(const X509Certificate& certificate, DWORD required);

} // namespace MHFX::Security::Cryptography::X509
