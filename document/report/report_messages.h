// The registered messages the report's two workers post to the window that started them.
// Document parsed: wParam 0. Certificate validated: wParam the ValidationResult. In both,
// lParam is the tag the window gave the worker, so that the window can tell a late message
// of an earlier document from one of the document it shows now.
#pragma once

#include <windows.h>

namespace Dossiq::Documents {

struct ReportMessages {
    static UINT DocumentParsed();
    static UINT CertificateValidated();
    // Registers both; called once at start-up.
    static void Register();
};

} // namespace Dossiq::Documents
