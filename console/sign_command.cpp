// sign: adds the user's signature beside those a Signed Document carries, the certificate
// named on the command line; timestamp and long-term data as create makes them.
#include "console/certificate_finder.h"
#include "console/commands.h"
#include "console/help_texts.h"
#include "console/stamping_options.h"
#include "document/operations/co_signing.h"
#include "foundation/io/full_path_name.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

int SignCommand(const Arguments& arguments, const CommandOutput& output) {
    if (!arguments.Has(L"--sign")) {
        return output.Fail(kExitUsage, HelpText(IDS_CONSOLE_SIGN_HELP));
    }
    StampingOptions stamping;
    if (const int code = stamping.Read(arguments, true, output)) {
        return code;
    }
    const std::wstring path = MHFX::IO::FullPathOf(arguments.Operands().front());
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {path}));
    }
    const std::wstring named = arguments.Value(L"-o", arguments.Value(L"--output"));
    const std::wstring outputPath = named.empty() ? path : MHFX::IO::FullPathOf(named);

    const std::vector<Candidate> signers = SigningCandidates();
    const Candidate* signer = ChooseCandidate(signers, arguments.Value(L"--sign"), true, output);
    if (!signer) {
        return kExitUsage;
    }
    output.Fail(kExitOk, ConsoleText(IDS_CONSOLE_SIGNING_WITH, {CandidateLine(*signer)}));

    const CoSigningResult result = AddSignature(path, outputPath, signer->certificate.Handle(),
                                                stamping.Stamper(output), stamping.Source(output));
    switch (result.outcome) {
    case CoSigningOutcome::Signed:
        return output.Out().Write(outputPath + L"\r\n") ? kExitOk : kExitUsage;
    case CoSigningOutcome::AlreadySigned:
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_ALREADY, {path}));
    case CoSigningOutcome::Enveloped:
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_ENVELOPED, {path}));
    case CoSigningOutcome::Tampered:
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_SIGN_TAMPERED, {path}));
    case CoSigningOutcome::Unreadable:
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CANNOT_DECODE, {path}));
    case CoSigningOutcome::WriteFailed:
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_SIGN_NOT_WRITTEN, {outputPath}));
    case CoSigningOutcome::NotSigned:
        break;
    }
    if (!stamping.Failure().empty()) {
        return output.Fail(kExitFailed, stamping.Failure());
    }
    wchar_t hex[16];
    swprintf(hex, 16, L"%08X", static_cast<unsigned>(result.error));
    return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTAINER_NOT_MADE, {hex}));
}

} // namespace Dossiq::Console
