// create: a container from files and folders without any dialog, the certificates named on
// the command line.
#include <algorithm>

#include "console/arguments.h"
#include "console/certificate_finder.h"
#include "console/commands.h"
#include "console/console_output.h"
#include "console/help_texts.h"
#include "certificates/own_recipient.h"
#include "certificates/recipient_check.h"
#include "document/creation/recipient_texts.h"
#include "certificates/certificate_purpose.h"
#include "document/container/container_writer.h"
#include "document/container/message_builder.h"
#include "document/creation/archive_builder.h"
#include "document/creation/packing_exception.h"
#include "foundation/io/full_path_name.h"
#include "document/report/timestamp_line.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "zip/zip_exception.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Console {

using MHFX::Security::Cryptography::X509::IsRecipientCandidate;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

// Without trailing separators: a folder is packed under its last component.
std::wstring FullPath(const std::wstring& path) {
    std::wstring result = MHFX::IO::FullPathOf(path);
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/')) {
        result.pop_back();
    }
    return result;
}

// The chosen recipient checked before anything is packed; kExitOk when the command may go on.
int CheckRecipient(const MHFX::Security::Cryptography::X509::X509Certificate& recipient,
                   bool acceptWarnings) {
    using MHFX::Security::Cryptography::X509::RecipientVerdict;
    const RecipientVerdict verdict =
        MHFX::Security::Cryptography::X509::CheckRecipientCertificate(recipient);
    if (verdict == RecipientVerdict::Fit) {
        return kExitOk;
    }
    if (verdict == RecipientVerdict::NoKeyEncipherment) {
        return Fail(kExitUsage, RecipientTexts::Refusal(recipient));
    }
    const std::wstring problem = RecipientTexts::Problem(recipient, verdict);
    if (!acceptWarnings) {
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_RECIPIENT_NOT_ACCEPTED, {problem}));
    }
    ConsoleOutput::Err().Write(ConsoleText(IDS_CONSOLE_RECIPIENT_ACCEPTED, {problem}) + L"\r\n");
    return kExitOk;
}

bool SameCertificate(const X509Certificate& a, const X509Certificate& b) {
    return ::CertCompareCertificate(X509_ASN_ENCODING, a.Handle()->pCertInfo,
                                    b.Handle()->pCertInfo) != FALSE;
}

// The recipient `text` names, or null once told why there is none.
const Candidate* ChooseRecipient(const std::vector<Candidate>& recipients,
                                 const std::wstring& text) {
    // Refused before the lists of candidates: a certificate named exactly says more.
    std::vector<const Candidate*> matches;
    if (!FindCandidate(recipients, text, matches) && matches.empty()) {
        const std::vector<Candidate> stored = RecipientStoreCertificates();
        const Candidate* named = FindCandidate(stored, text, matches);
        if (named && !IsRecipientCandidate(named->certificate)) {
            Fail(kExitUsage, RecipientTexts::Refusal(named->certificate));
            return nullptr;
        }
    }
    return ChooseCandidate(recipients, text, false);
}

} // namespace

int CreateCommand(const std::vector<std::wstring>& args) {
    const Arguments arguments(args,
                              {L"--overwrite", L"--accept-recipient-warnings", L"--encrypt-for-me"},
                              {L"--sign", L"--encrypt-to", L"-o", L"--output", L"--timestamp",
                               L"--timestamp-url", L"--long-term"});
    if (arguments.WantsHelp()) {
        ConsoleOutput::Out().Write(HelpText(IDS_CONSOLE_CREATE_HELP));
        return kExitOk;
    }
    if (!arguments.Error().empty()) {
        return Fail(kExitUsage, arguments.Error());
    }
    const bool sign = arguments.Has(L"--sign");
    // The sender is a recipient only when asked: by default only the recipients' keys open
    // what is sent.
    const bool forMe = arguments.Has(L"--encrypt-for-me");
    const bool encrypt = arguments.Has(L"--encrypt-to") || forMe;
    const std::wstring output = arguments.Value(L"-o", arguments.Value(L"--output"));
    if (!sign && !encrypt) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_KIND));
    }
    if (output.empty()) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_OUTPUT));
    }
    if (arguments.Operands().empty()) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_INPUT));
    }
    const std::wstring timestampMode = arguments.Value(L"--timestamp", L"optional");
    if (timestampMode != L"required" && timestampMode != L"optional" && timestampMode != L"off") {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_MODE));
    }
    const std::wstring timestampUrl =
        timestampMode == L"off"
            ? std::wstring()
            : arguments.Value(L"--timestamp-url", Preferences::Instance().TimestampURL());
    if (sign && timestampMode == L"required" && timestampUrl.empty()) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_NEEDS_URL));
    }
    LongTermMode longTermMode = LongTermMode::Optional;
    if (!ParseLongTermMode(arguments.Value(L"--long-term", Preferences::Instance().LongTerm()),
                           longTermMode)) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_LONG_TERM_MODE));
    }
    std::vector<std::wstring> selection;
    for (const std::wstring& operand : arguments.Operands()) {
        selection.push_back(FullPath(operand));
        if (::GetFileAttributesW(selection.back().c_str()) == INVALID_FILE_ATTRIBUTES) {
            return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {operand}));
        }
        // The path rules packing applies, tried here so that the refusal names the operand
        // (a stream name such as "a.pdf:Zone.Identifier", a path too long to pack).
        try {
            MHFX::IO::Path::CheckInvalidPathChars(selection.back());
            MHFX::IO::Path::GetDirectoryName(selection.back());
            MHFX::IO::Path::GetItemName(selection.back());
        } catch (const MHFX::Exception& e) {
            return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_USE, {operand, e.Message()}));
        }
    }
    const std::wstring outputPath = FullPath(output);
    if (::GetFileAttributesW(outputPath.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !arguments.Has(L"--overwrite")) {
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_OUTPUT_EXISTS, {outputPath}));
    }

    const std::vector<Candidate> signers = sign ? SigningCandidates() : std::vector<Candidate>();
    const std::vector<Candidate> recipients =
        encrypt ? RecipientCandidates() : std::vector<Candidate>();
    const Candidate* signer =
        sign ? ChooseCandidate(signers, arguments.Value(L"--sign"), true) : nullptr;
    if (sign && !signer) {
        return kExitUsage;
    }
    // Every recipient is chosen and checked before anything is packed, and named before
    // anything is written.
    std::vector<Candidate> chosen;
    for (const std::wstring& text : arguments.Values(L"--encrypt-to")) {
        const Candidate* recipient = ChooseRecipient(recipients, text);
        if (!recipient) {
            return kExitUsage;
        }
        if (std::none_of(chosen.begin(), chosen.end(), [&](const Candidate& c) {
                return SameCertificate(c.certificate, recipient->certificate);
            })) {
            chosen.push_back(*recipient);
        }
    }
    // The sender's own certificate comes last, unless it was named already.
    bool ownAdded = false;
    if (forMe) {
        const X509Certificate mine =
            FindOwnRecipient(signer ? signer->certificate : X509Certificate());
        if (!mine.IsInitialized()) {
            return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_OWN_RECIPIENT));
        }
        if (std::none_of(chosen.begin(), chosen.end(), [&](const Candidate& c) {
                return SameCertificate(c.certificate, mine);
            })) {
            chosen.push_back(DescribeCandidate(mine));
            ownAdded = true;
        }
    }
    if (chosen.size() > kMostRecipients) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TOO_MANY_RECIPIENTS,
                                            {std::to_wstring(kMostRecipients)}));
    }
    for (const Candidate& recipient : chosen) {
        const int checked =
            CheckRecipient(recipient.certificate, arguments.Has(L"--accept-recipient-warnings"));
        if (checked != kExitOk) {
            return checked;
        }
    }

    if (signer) {
        Fail(kExitOk, ConsoleText(IDS_CONSOLE_SIGNING_WITH, {CandidateLine(*signer)}));
    }
    Recipients envelopeFor;
    for (const Candidate& recipient : chosen) {
        const bool own = ownAdded && &recipient == &chosen.back();
        Fail(kExitOk, ConsoleText(own ? IDS_CONSOLE_ENCRYPTING_FOR_ME : IDS_CONSOLE_ENCRYPTING_FOR,
                                  {CandidateLine(recipient)}));
        envelopeFor.push_back(recipient.certificate.Handle());
    }

    // Entry names are relative to the folder of the first item, as in the context menu.
    const std::wstring rootFolder = MHFX::IO::Path::GetDirectoryName(selection.front());
    MessageBlob archiveBytes;
    try {
        if (PackSelection(selection, rootFolder, nullptr, archiveBytes) ==
            ArchiveOutcome::TooLarge) {
            return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTENT_TOO_LARGE));
        }
    } catch (const PackingException& e) {
        return Fail(kExitUsage,
                    ConsoleText(IDS_CONSOLE_CANNOT_READ, {e.Item()}) + L": " + e.Message());
    } catch (const CZipException&) {
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ARCHIVE_NOT_MADE));
    } catch (const MHFX::Exception& e) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_USE, {rootFolder, e.Message()}));
    }

    MessageBlob message;
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
    // Missing long-term data is decided the same way.
    std::wstring longTermFailure;
    const ValidationDataSource source = LongTermSource(longTermMode, [&](const LongTermGap& gap) {
        if (longTermMode == LongTermMode::Required) {
            longTermFailure = LongTermGapText(gap);
            return false;
        }
        ConsoleOutput::Err().Write(LongTermGapText(gap) + L"\r\n");
        return true;
    });
    // The library's algorithms for new containers, the same as the context menu's.
    const bool made = sign && encrypt ? ProtectArchive(archiveBytes, signer->certificate.Handle(),
                                                       kSignatureHashOid, envelopeFor, message,
                                                       kContentCipher, stamper, source)
                      : sign          ? SignArchive(archiveBytes, signer->certificate.Handle(),
                                                    kSignatureHashOid, message, stamper, source)
                                      : EncryptArchive(archiveBytes, envelopeFor, message);
    if (!made && required && !timestampFailure.empty()) {
        return Fail(kExitFailed, timestampFailure);
    }
    if (!made && !longTermFailure.empty()) {
        return Fail(kExitFailed, longTermFailure);
    }
    if (!made) {
        const DWORD code = ::GetLastError();
        wchar_t hex[16];
        swprintf(hex, 16, L"%08X", static_cast<unsigned>(code));
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTAINER_NOT_MADE, {hex}));
    }
    try {
        if (!WriteContainer(message, outputPath)) {
            return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_WRITE, {outputPath}));
        }
    } catch (const MHFX::Exception& e) {
        return Fail(kExitUsage,
                    ConsoleText(IDS_CONSOLE_CANNOT_WRITE_BECAUSE, {outputPath, e.Message()}));
    }
    return ConsoleOutput::Out().Write(outputPath + L"\r\n") ? kExitOk : kExitUsage;
}

} // namespace Dossiq::Console
