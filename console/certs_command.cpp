// certs: what create may sign with and encrypt to, and why the other personal certificates
// are not offered for signing.
#include "console/certificate_finder.h"
#include "console/commands.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

int CertsCommand(const Arguments&, const CommandOutput& output) {
    const std::vector<Candidate> signers = SigningCandidates();
    std::wstring text = ConsoleText(IDS_CONSOLE_SIGNING_HEADING) + L"\r\n";
    for (const Candidate& candidate : signers) {
        text += L"    " + CandidateLine(candidate) + L"\r\n";
    }
    text += ConsoleText(IDS_CONSOLE_RECIPIENTS_HEADING) + L"\r\n";
    for (const Candidate& candidate : RecipientCandidates()) {
        text += L"    " + CandidateLine(candidate) + L"\r\n";
    }
    text += ConsoleText(IDS_CONSOLE_NOT_OFFERED_HEADING) + L"\r\n";
    for (const Candidate& candidate : PersonalCertificates()) {
        bool offered = false;
        for (const Candidate& signer : signers) {
            offered = offered || signer.description.thumbprint == candidate.description.thumbprint;
        }
        if (offered) {
            continue;
        }
        std::wstring failed;
        for (const std::wstring& criterion : SigningCriteriaFailed(candidate.certificate)) {
            failed += (failed.empty() ? L"" : L", ") + criterion;
        }
        text += L"    " + CandidateLine(candidate) + L"\r\n        " +
                ConsoleText(IDS_CONSOLE_FAILS, {failed}) + L"\r\n";
    }
    return output.Out().Write(text) ? kExitOk : kExitUsage;
}

} // namespace Dossiq::Console
