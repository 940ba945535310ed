#include "document/report/certificate_validation_thread.h"

#include "certificates/signer_validation.h"
#include "document/report/report_messages.h"

using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::X509Certificate;

CertificateValidationThread::CertificateValidationThread(HWND owner,
                                                         const X509Certificate& certificate,
                                                         LPARAM tag, const FILETIME* at)
    : Thread(owner), certificate_(certificate), tag_(tag), hasTime_(at != nullptr),
      at_(at ? *at : FILETIME{}) {
    autoDelete_ = true;
}

bool CertificateValidationThread::Start(HWND owner, const X509Certificate& certificate, LPARAM tag,
                                        const FILETIME* at) {
    return MHFX::StartWorker<CertificateValidationThread>(owner, certificate, tag, at);
}

DWORD CertificateValidationThread::Run() {
    const auto result = ValidateSignerCertificate(certificate_, nullptr, hasTime_ ? &at_ : nullptr);
    ::PostMessageW(OwnerWindow(), ReportMessages::CertificateValidated(),
                   static_cast<WPARAM>(result), tag_);
    return 0;
}
