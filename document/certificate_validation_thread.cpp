#include "document/certificate_validation_thread.h"

#include <memory>

#include "certificates/signer_validation.h"
#include "document/report_messages.h"
#include "foundation/exception.h"

using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::X509Certificate;

CertificateValidationThread::CertificateValidationThread(HWND owner,
                                                         const X509Certificate& certificate,
                                                         LPARAM tag)
    : Thread(owner), certificate_(certificate), tag_(tag) {
    autoDelete_ = true;
}

bool CertificateValidationThread::Start(HWND owner, const X509Certificate& certificate,
                                        LPARAM tag) {
    try {
        std::unique_ptr<CertificateValidationThread> worker(
            new CertificateValidationThread(owner, certificate, tag));
        worker->Resume();
        worker.release(); // it deletes itself now
        return true;
    } catch (const MHFX::Exception&) {
        return false;
    }
}

DWORD CertificateValidationThread::Run() {
    const auto result = ValidateSignerCertificate(certificate_);
    ::PostMessageW(OwnerWindow(), ReportMessages::CertificateValidated(),
                   static_cast<WPARAM>(result), tag_);
    return 0;
}
