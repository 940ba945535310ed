// The worker that judges a signer's certificate (ValidateSignerCertificate, which may wait
// for revocation data from the network) and posts ReportMessages::CertificateValidated with
// the result to its owner window. Whatever the checks run into, a message is posted: a check
// that throws or cannot run posts ChainInvalidOther, the failed chain. Given a report, it runs
// the checks into it (RunChecks), facts and chain included, at the time the report's timestamp
// proves; the window reads the report only after the message came. Without a report, a given
// proven signing time is the time the certificate is judged at.
#pragma once

#include <memory>

#include "certificates/x509_certificate.h"
#include "foundation/threading/thread.h"

namespace Dossiq::Documents {

struct ValidationReport;

class CertificateValidationThread : public MHFX::Thread {
public:
    // Keeps its own reference to `certificate`; parked until Resume; deletes itself after Run.
    CertificateValidationThread(
        HWND owner, const MHFX::Security::Cryptography::X509::X509Certificate& certificate,
        LPARAM tag, std::shared_ptr<ValidationReport> report = nullptr,
        const FILETIME* at = nullptr);

    static bool Start(HWND owner,
                      const MHFX::Security::Cryptography::X509::X509Certificate& certificate,
                      LPARAM tag, std::shared_ptr<ValidationReport> report = nullptr,
                      const FILETIME* at = nullptr);

protected:
    DWORD Run() override;

private:
    MHFX::Security::Cryptography::X509::X509Certificate certificate_;
    LPARAM tag_;
    std::shared_ptr<ValidationReport> report_;
    bool hasTime_ = false;
    FILETIME at_ = {};
};

} // namespace Dossiq::Documents
