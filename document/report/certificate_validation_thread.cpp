#include "document/report/certificate_validation_thread.h"

#include "certificates/signer_validation.h"
#include "document/report/report_messages.h"
#include "document/report/report_builder.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

CertificateValidationThread::CertificateValidationThread(HWND owner,
                                                         const X509Certificate& certificate,
                                                         LPARAM tag,
                                                         std::shared_ptr<ValidationReport> report,
                                                         const FILETIME* at)
    : Thread(owner), certificate_(certificate), tag_(tag), report_(std::move(report)),
      hasTime_(at != nullptr), at_(at ? *at : FILETIME{}) {
    autoDelete_ = true;
}

bool CertificateValidationThread::Start(HWND owner, const X509Certificate& certificate, LPARAM tag,
                                        std::shared_ptr<ValidationReport> report,
                                        const FILETIME* at) {
    return MHFX::StartWorker<CertificateValidationThread>(owner, certificate, tag,
                                                          std::move(report), at);
}

DWORD CertificateValidationThread::Run() {
    // The window waits for this message whatever the checks ran into: a check that cannot
    // run counts as a failed chain, never as a pass.
    ValidationResult result = ValidationResult::ChainInvalidOther;
    try {
        if (report_) {
            RunChecks(certificate_.Handle(), *report_);
            if (report_->Selected().validated) {
                result = report_->Selected().result;
            }
        } else {
            result = ValidateSignerCertificate(certificate_, nullptr, hasTime_ ? &at_ : nullptr);
        }
    } catch (...) {
    }
    ::PostMessageW(OwnerWindow(), ReportMessages::CertificateValidated(),
                   static_cast<WPARAM>(result), tag_);
    return 0;
}

} // namespace Dossiq::Documents
