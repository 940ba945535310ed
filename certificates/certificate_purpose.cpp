#include "certificates/certificate_purpose.h"

#include "certificates/qualified_certificate.h"
#include "foundation/exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

template <typename Test> bool Passes(Test test) {
    try {
        return test();
    } catch (const MHFX::Exception&) {
        return false;
    }
}

} // namespace

bool IsSigningCandidate(const X509Certificate& certificate) {
    // Every test runs for every certificate, as the qualified check does.
    const bool statements = Passes([&] { return HasQcComplianceAndSscd(certificate); });
    const bool name = Passes([&] { return HasQualifiedNameForm(certificate); });
    const bool usage = Passes([&] { return HasKeyUsage(certificate, kQualifiedKeyUsage); });
    const bool key = HasKeyAtHand(certificate);
    return statements && name && usage && key;
}

bool HasKeyAtHand(const X509Certificate& certificate) {
    return Passes([&] { return certificate.HasPrivateKey(); });
}

bool IsRecipientCandidate(const X509Certificate& certificate) {
    return Passes([&] { return HasKeyUsage(certificate, CERT_KEY_ENCIPHERMENT_KEY_USAGE); });
}

} // namespace MHFX::Security::Cryptography::X509
