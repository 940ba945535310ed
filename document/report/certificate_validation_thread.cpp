#include "document/report/certificate_validation_thread.h"

#include "certificates/signer_validation.h"
#include "document/report/report_messages.h"

using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

CertificateValidationThread::CertificateValidationThread(HWND owner,
                                                         const X509Certificate& certificate,
                                                         LPARAM tag)
    : Thread(owner), certificate_(certificate), tag_(tag) {
    autoDelete_ = true;
}

bool CertificateValidationThread::Start(HWND owner, const X509Certificate& certificate,
                                        LPARAM tag) {
    return MHFX::StartWorker<CertificateValidationThread>(owner, certificate, tag);
}

DWORD CertificateValidationThread::Run() {
    // The window waits for this message whatever the checks ran into: a check that cannot
    // run counts as a failed chain, never as a pass.
    ValidationResult result = ValidationResult::ChainInvalidOther;
    try {
        result = ValidateSignerCertificate(certificate_);
    } catch (...) {
    }
    ::PostMessageW(OwnerWindow(), ReportMessages::CertificateValidated(),
                   static_cast<WPARAM>(result), tag_);
    return 0;
}
