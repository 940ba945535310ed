// sign: adds the user's signature beside those a Signed Document carries, the certificate
// named on the command line; timestamp and long-term data as create makes them.
#include "config/localization.h"
#include "config/preferences.h"
#include "console/arguments.h"
#include "console/certificate_finder.h"
#include "console/commands.h"
#include "console/console_output.h"
#include "console/help_texts.h"
#include "document/operations/co_signing.h"
#include "document/report/timestamp_line.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"
#include "foundation/io/full_path_name.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Console {

int SignCommand(const std::vector<std::wstring>& args) {
    const Arguments arguments(
        args, {},
        {L"--sign", L"-o", L"--output", L"--timestamp", L"--timestamp-url", L"--long-term"});
    if (arguments.WantsHelp()) {
        ConsoleOutput::Out().Write(HelpText(IDS_CONSOLE_SIGN_HELP));
        return kExitOk;
    }
    if (!arguments.Error().empty()) {
        return Fail(kExitUsage, arguments.Error());
    }
    if (arguments.Operands().size() != 1 || !arguments.Has(L"--sign")) {
        return Fail(kExitUsage, HelpText(IDS_CONSOLE_SIGN_HELP));
    }
    const std::wstring timestampMode = arguments.Value(L"--timestamp", L"optional");
    if (timestampMode != L"required" && timestampMode != L"optional" && timestampMode != L"off") {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_MODE));
    }
    const std::wstring timestampUrl =
        timestampMode == L"off"
            ? std::wstring()
            : arguments.Value(L"--timestamp-url", Preferences::Instance().TimestampURL());
    if (timestampMode == L"required" && timestampUrl.empty()) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_NEEDS_URL));
    }
    LongTermMode longTermMode = LongTermMode::Optional;
    if (!ParseLongTermMode(arguments.Value(L"--long-term", Preferences::Instance().LongTerm()),
                           longTermMode)) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_LONG_TERM_MODE));
    }
    const std::wstring path = MHFX::IO::FullPathOf(arguments.Operands().front());
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {path}));
    }
    const std::wstring output = arguments.Value(L"-o", arguments.Value(L"--output"));
    const std::wstring outputPath = output.empty() ? path : MHFX::IO::FullPathOf(output);

    const std::vector<Candidate> signers = SigningCandidates();
    const Candidate* signer = ChooseCandidate(signers, arguments.Value(L"--sign"), true);
    if (!signer) {
        return kExitUsage;
    }
    Fail(kExitOk, ConsoleText(IDS_CONSOLE_SIGNING_WITH, {CandidateLine(*signer)}));

    // Without a valid timestamp, optional signs with a warning and required writes nothing.
    const bool required = timestampMode == L"required";
    std::wstring timestampFailure;
    const SignatureStamper stamper = TimestampStamper(timestampUrl, [&](TimestampProblem problem) {
        timestampFailure =
            MHFX::FormatString(LoadLocalizedString(IDS_TIMESTAMP_FAILED), timestampUrl.c_str(),
                               LocalizedTimestampProblem(problem).c_str());
        if (!required) {
            ConsoleOutput::Err().Write(timestampFailure + L"\r\n");
        }
        return !required;
    });
    std::wstring longTermFailure;
    const ValidationDataSource source = LongTermSource(longTermMode, [&](const LongTermGap& gap) {
        if (longTermMode == LongTermMode::Required) {
            longTermFailure = LongTermGapText(gap);
            return false;
        }
        ConsoleOutput::Err().Write(LongTermGapText(gap) + L"\r\n");
        return true;
    });
    const CoSigningResult result =
        AddSignature(path, outputPath, signer->certificate.Handle(), stamper, source);
    switch (result.outcome) {
    case CoSigningOutcome::Signed:
        return ConsoleOutput::Out().Write(outputPath + L"\r\n") ? kExitOk : kExitUsage;
    case CoSigningOutcome::AlreadySigned:
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_ALREADY, {path}));
    case CoSigningOutcome::Enveloped:
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_ENVELOPED, {path}));
    case CoSigningOutcome::Tampered:
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_TAMPERED, {path}));
    case CoSigningOutcome::Unreadable:
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CANNOT_DECODE, {path}));
    case CoSigningOutcome::WriteFailed:
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_SIGN_NOT_WRITTEN, {outputPath}));
    case CoSigningOutcome::NotSigned:
        break;
    }
    if (required && !timestampFailure.empty()) {
        return Fail(kExitFailed, timestampFailure);
    }
    if (!longTermFailure.empty()) {
        return Fail(kExitFailed, longTermFailure);
    }
    wchar_t hex[16];
    swprintf(hex, 16, L"%08X", static_cast<unsigned>(result.error));
    return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTAINER_NOT_MADE, {hex}));
}

} // namespace Dossiq::Console
