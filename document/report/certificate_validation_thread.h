// The worker that judges a signer's certificate (ValidateSignerCertificate, which may wait
// for revocation data from the network) and posts ReportMessages::CertificateValidated with
// the result to its owner window. When the validation throws, nothing is posted. Given a
// proven signing time, the certificate is judged at that time.
#pragma once

#include "certificates/x509_certificate.h"
#include "foundation/threading/thread.h"

class CertificateValidationThread : public MHFX::Thread {
public:
    // Keeps its own reference to `certificate`; parked until Resume; deletes itself after Run.
    CertificateValidationThread(
        HWND owner, const MHFX::Security::Cryptography::X509::X509Certificate& certificate,
        LPARAM tag, const FILETIME* at = nullptr);

    static bool Start(HWND owner,
                      const MHFX::Security::Cryptography::X509::X509Certificate& certificate,
                      LPARAM tag, const FILETIME* at = nullptr);

protected:
    DWORD Run() override;

private:
    MHFX::Security::Cryptography::X509::X509Certificate certificate_;
    LPARAM tag_;
    bool hasTime_ = false;
    FILETIME at_ = {};
};
