#include "document/report/report_messages.h"

namespace Dossiq::Documents {

UINT ReportMessages::DocumentParsed() {
    static const UINT message =
        ::RegisterWindowMessageW(L"UWM_DOCUMENT_PARSED_MSG-{58BB4B53-D2D2-49a7-BB81-79F47E304987}");
    return message;
}

UINT ReportMessages::CertificateValidated() {
    static const UINT message = ::RegisterWindowMessageW(
        L"UWM_CERTIFICATE_VALIDATED_MSG-{58BB4B53-D2D2-49a7-BB81-79F47E304987}");
    return message;
}

void ReportMessages::Register() {
    DocumentParsed();
    CertificateValidated();
}

} // namespace Dossiq::Documents
