// create: a container from files and folders without any dialog, the certificates named on
// the command line.
#include <algorithm>

#include "console/certificate_finder.h"
#include "console/commands.h"
#include "console/help_texts.h"
#include "console/stamping_options.h"
#include "certificates/own_recipient.h"
#include "certificates/recipient_check.h"
#include "document/creation/recipient_texts.h"
#include "certificates/certificate_purpose.h"
#include "document/container/container_writer.h"
#include "document/container/message_builder.h"
#include "document/creation/archive_builder.h"
#include "document/creation/packing_exception.h"
#include "foundation/io/full_path_name.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "zip/zip_exception.h"
#include "resources/console/resource.h"

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
                   bool acceptWarnings, const CommandOutput& output) {
    using MHFX::Security::Cryptography::X509::RecipientVerdict;
    const RecipientVerdict verdict =
        MHFX::Security::Cryptography::X509::CheckRecipientCertificate(recipient);
    if (verdict == RecipientVerdict::Fit) {
        return kExitOk;
    }
    if (verdict == RecipientVerdict::NoKeyEncipherment) {
        return output.Fail(kExitUsage, RecipientTexts::Refusal(recipient));
    }
    const std::wstring problem = RecipientTexts::Problem(recipient, verdict);
    if (!acceptWarnings) {
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_RECIPIENT_NOT_ACCEPTED, {problem}));
    }
    output.Err().Write(ConsoleText(IDS_CONSOLE_RECIPIENT_ACCEPTED, {problem}) + L"\r\n");
    return kExitOk;
}

bool SameCertificate(const X509Certificate& a, const X509Certificate& b) {
    return ::CertCompareCertificate(X509_ASN_ENCODING, a.Handle()->pCertInfo,
                                    b.Handle()->pCertInfo) != FALSE;
}

// The recipient `text` names, or null once told why there is none.
const Candidate* ChooseRecipient(const std::vector<Candidate>& recipients, const std::wstring& text,
                                 const CommandOutput& output) {
    // Refused before the lists of candidates: a certificate named exactly says more.
    std::vector<const Candidate*> matches;
    if (!FindCandidate(recipients, text, matches) && matches.empty()) {
        const std::vector<Candidate> stored = RecipientStoreCertificates();
        const Candidate* named = FindCandidate(stored, text, matches);
        if (named && !IsRecipientCandidate(named->certificate)) {
            output.Fail(kExitUsage, RecipientTexts::Refusal(named->certificate));
            return nullptr;
        }
    }
    return ChooseCandidate(recipients, text, false, output);
}

} // namespace

int CreateCommand(const Arguments& arguments, const CommandOutput& output) {
    const bool sign = arguments.Has(L"--sign");
    // The sender is a recipient only when asked: by default only the recipients' keys open
    // what is sent.
    const bool forMe = arguments.Has(L"--encrypt-for-me");
    const bool encrypt = arguments.Has(L"--encrypt-to") || forMe;
    const std::wstring named = arguments.Value(L"-o", arguments.Value(L"--output"));
    if (!sign && !encrypt) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_KIND));
    }
    if (named.empty()) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_OUTPUT));
    }
    if (arguments.Operands().empty()) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_INPUT));
    }
    StampingOptions stamping;
    if (const int code = stamping.Read(arguments, sign, output)) {
        return code;
    }
    std::vector<std::wstring> selection;
    for (const std::wstring& operand : arguments.Operands()) {
        selection.push_back(FullPath(operand));
        if (::GetFileAttributesW(selection.back().c_str()) == INVALID_FILE_ATTRIBUTES) {
            return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {operand}));
        }
        // The path rules packing applies, tried here so that the refusal names the operand
        // (a stream name such as "a.pdf:Zone.Identifier", a path too long to pack).
        try {
            MHFX::IO::Path::CheckInvalidPathChars(selection.back());
            MHFX::IO::Path::GetDirectoryName(selection.back());
            MHFX::IO::Path::GetItemName(selection.back());
        } catch (const MHFX::Exception& e) {
            return output.Fail(kExitUsage,
                               ConsoleText(IDS_CONSOLE_CANNOT_USE, {operand, e.Message()}));
        }
    }
    const std::wstring outputPath = FullPath(named);
    if (::GetFileAttributesW(outputPath.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !arguments.Has(L"--overwrite")) {
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_OUTPUT_EXISTS, {outputPath}));
    }

    const std::vector<Candidate> signers = sign ? SigningCandidates() : std::vector<Candidate>();
    const std::vector<Candidate> recipients =
        encrypt ? RecipientCandidates() : std::vector<Candidate>();
    const Candidate* signer =
        sign ? ChooseCandidate(signers, arguments.Value(L"--sign"), true, output) : nullptr;
    if (sign && !signer) {
        return kExitUsage;
    }
    // Every recipient is chosen and checked before anything is packed, and named before
    // anything is written.
    std::vector<Candidate> chosen;
    for (const std::wstring& text : arguments.Values(L"--encrypt-to")) {
        const Candidate* recipient = ChooseRecipient(recipients, text, output);
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
            return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_OWN_RECIPIENT));
        }
        if (std::none_of(chosen.begin(), chosen.end(), [&](const Candidate& c) {
                return SameCertificate(c.certificate, mine);
            })) {
            chosen.push_back(DescribeCandidate(mine));
            ownAdded = true;
        }
    }
    if (chosen.size() > kMostRecipients) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TOO_MANY_RECIPIENTS,
                                                   {std::to_wstring(kMostRecipients)}));
    }
    for (const Candidate& recipient : chosen) {
        const int checked = CheckRecipient(recipient.certificate,
                                           arguments.Has(L"--accept-recipient-warnings"), output);
        if (checked != kExitOk) {
            return checked;
        }
    }

    if (signer) {
        output.Fail(kExitOk, ConsoleText(IDS_CONSOLE_SIGNING_WITH, {CandidateLine(*signer)}));
    }
    Recipients envelopeFor;
    for (const Candidate& recipient : chosen) {
        const bool own = ownAdded && &recipient == &chosen.back();
        output.Fail(kExitOk,
                    ConsoleText(own ? IDS_CONSOLE_ENCRYPTING_FOR_ME : IDS_CONSOLE_ENCRYPTING_FOR,
                                {CandidateLine(recipient)}));
        envelopeFor.push_back(recipient.certificate.Handle());
    }

    // Entry names are relative to the folder of the first item, as in the context menu.
    const std::wstring rootFolder = MHFX::IO::Path::GetDirectoryName(selection.front());
    MessageBlob archiveBytes;
    try {
        if (PackSelection(selection, rootFolder, nullptr, archiveBytes) ==
            ArchiveOutcome::TooLarge) {
            return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTENT_TOO_LARGE));
        }
    } catch (const PackingException& e) {
        return output.Fail(kExitUsage,
                           ConsoleText(IDS_CONSOLE_CANNOT_READ, {e.Item()}) + L": " + e.Message());
    } catch (const CZipException&) {
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ARCHIVE_NOT_MADE));
    } catch (const MHFX::Exception& e) {
        return output.Fail(kExitUsage,
                           ConsoleText(IDS_CONSOLE_CANNOT_USE, {rootFolder, e.Message()}));
    }

    MessageBlob message;
    const SignatureStamper stamper = stamping.Stamper(output);
    const ValidationDataSource source = stamping.Source(output);
    // The library's algorithms for new containers, the same as the context menu's.
    const bool made = sign && encrypt ? ProtectArchive(archiveBytes, signer->certificate.Handle(),
                                                       kSignatureHashOid, envelopeFor, message,
                                                       kContentCipher, stamper, source)
                      : sign          ? SignArchive(archiveBytes, signer->certificate.Handle(),
                                                    kSignatureHashOid, message, stamper, source)
                                      : EncryptArchive(archiveBytes, envelopeFor, message);
    if (!made && !stamping.Failure().empty()) {
        return output.Fail(kExitFailed, stamping.Failure());
    }
    if (!made) {
        const DWORD code = ::GetLastError();
        wchar_t hex[16];
        swprintf(hex, 16, L"%08X", static_cast<unsigned>(code));
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CONTAINER_NOT_MADE, {hex}));
    }
    try {
        if (!WriteContainer(message, outputPath)) {
            return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_WRITE, {outputPath}));
        }
    } catch (const MHFX::Exception& e) {
        return output.Fail(
            kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_WRITE_BECAUSE, {outputPath, e.Message()}));
    }
    return output.Out().Write(outputPath + L"\r\n") ? kExitOk : kExitUsage;
}

} // namespace Dossiq::Console
