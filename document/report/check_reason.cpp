#include "document/report/check_reason.h"

#include <initializer_list>

#include "config/localization.h"
#include "config/preferences.h"
#include "document/report/report_details.h"
#include "document/report/report_names.h"
#include "document/report/timestamp_line.h"
#include "foundation/resource_string.h"
#include "foundation/text/readable_text.h"
#include "resources/common/localized_ids.h"

using MHFX::Security::Cryptography::X509::RevocationGap;
using MHFX::Security::Cryptography::X509::RevocationSource;

namespace Dossiq::Documents {

namespace {

class Writer {
public:
    explicit Writer(ReasonLanguage language) : language_(language) {}

    // Piece `id` with %1, %2, ... filled by `facts`.
    std::wstring Piece(UINT id, std::initializer_list<std::wstring> facts = {}) const {
        const WORD language = language_ == ReasonLanguage::English
                                  ? Config::LanguageEnglish
                                  : Config::Preferences::Instance().Language();
        std::vector<std::wstring> shown;
        for (const std::wstring& fact : facts) {
            // For people, a stranger's text never reaches a terminal raw; JSON escapes its own.
            shown.push_back(language_ == ReasonLanguage::English ? fact : MHFX::ReadableText(fact));
        }
        return FillPlaceholders(Config::LoadLocalizedString(MHFX::CurrentModule(), language, id),
                                shown);
    }

    // Names stay as named in every language.
    std::wstring Names(const std::vector<std::wstring>& names) const {
        const std::wstring text = JoinNames(names);
        return language_ == ReasonLanguage::English ? text : MHFX::ReadableText(text);
    }

private:
    ReasonLanguage language_;
};

std::wstring Append(const std::wstring& text, const std::wstring& more) {
    return text.empty() ? more : more.empty() ? text : text + L"; " + more;
}

// Where the CRL check's evidence came from; why it did not settle the status.
std::wstring EvidenceText(const RevocationReport& evidence, const Writer& writer) {
    std::wstring text;
    if (!evidence.ocspUrl.empty()) {
        text = writer.Piece(IDS_REASON_OCSP,
                            {evidence.ocspUrl, evidence.ocspResponder, evidence.ocspProducedAt,
                             evidence.ocspThisUpdate, evidence.ocspNextUpdate});
    } else if (evidence.source == RevocationSource::Container) {
        text = writer.Piece(IDS_REASON_CRL_KEPT,
                            {evidence.crlIssuer, evidence.crlThisUpdate, evidence.crlNextUpdate});
    } else if (!evidence.crlUrl.empty()) {
        text = evidence.crlThisUpdate.empty()
                   ? writer.Piece(IDS_REASON_CRL_NOT_RETRIEVED, {evidence.crlUrl})
                   : writer.Piece(IDS_REASON_CRL, {evidence.crlUrl, evidence.crlThisUpdate,
                                                   evidence.crlNextUpdate});
    }
    switch (evidence.gap) {
    case RevocationGap::ExpiredNotCovered:
        return Append(text, writer.Piece(IDS_REASON_GAP_EXPIRED));
    case RevocationGap::UnusableList:
        return Append(text, writer.Piece(IDS_REASON_GAP_UNUSABLE));
    case RevocationGap::NoAddress:
        return Append(text, writer.Piece(IDS_REASON_GAP_NO_ADDRESS));
    case RevocationGap::None:
    case RevocationGap::Unreachable:
    case RevocationGap::Outdated:
        break;
    }
    return text;
}

std::wstring RevokedText(const RevocationReport& evidence, const Writer& writer) {
    const std::wstring reason = RevocationReasonName(evidence.reason);
    std::wstring text = writer.Piece(
        IDS_REASON_REVOKED,
        {evidence.revocationDate, reason.empty() ? writer.Piece(IDS_REASON_NOT_GIVEN) : reason});
    if (!evidence.invalidityDate.empty()) {
        text += writer.Piece(IDS_REASON_KEY_INVALID_SINCE, {evidence.invalidityDate});
    }
    return text;
}

// The reason of a check the chain engine judged, from its flags, then the facts behind it.
std::wstring ValidatedReason(const SignatureFacts& signature, int index, const Writer& writer) {
    const CheckReport& check = signature.checks[index];
    std::wstring text;
    if (check.status == CheckStatus::Failed && index <= RevocationCheck) {
        const std::vector<std::wstring> names = ChainErrorNames(check.chainErrors);
        text = names.empty() ? writer.Piece(IDS_REASON_POLICY) : writer.Names(names);
    }
    const RevocationReport& evidence = signature.revocation;
    switch (index) {
    case ValidityCheck:
        return Append(text, writer.Piece(IDS_REASON_PERIOD,
                                         {signature.signer.notBefore, signature.signer.notAfter}));
    case CrlCheck:
        return Append(text, EvidenceText(evidence, writer));
    case RevocationCheck:
        if (evidence.revocationDate.empty()) {
            return text;
        }
        if (check.status == CheckStatus::Passed) {
            // Revoked since: the signature was made while the certificate was good.
            return RevokedText(evidence, writer) + writer.Piece(IDS_REASON_AFTER_PROVEN);
        }
        return Append(text, RevokedText(evidence, writer));
    case QualifiedCheck:
        if (check.status == CheckStatus::Failed) {
            std::vector<std::wstring> names;
            for (QualifiedCriterion criterion : signature.unmetCriteria) {
                names.push_back(QualifiedCriterionName(criterion));
            }
            return writer.Piece(IDS_REASON_NOT_MET, {writer.Names(names)});
        }
        break;
    }
    return text;
}

// The JSON's words for a timestamp's problem; people read the localized ones.
const wchar_t* EnglishTimestampReason(TimestampProblem problem) {
    switch (problem) {
    case TimestampProblem::None:
        return L"";
    case TimestampProblem::Unreachable:
        return L"the time-stamping service could not be reached";
    case TimestampProblem::Refused:
        return L"the time-stamping service refused the request";
    case TimestampProblem::Malformed:
        return L"the timestamp cannot be read";
    case TimestampProblem::SignatureInvalid:
        return L"the timestamp's own signature does not verify";
    case TimestampProblem::ImprintMismatch:
        return L"the timestamp was made for another signature";
    case TimestampProblem::NonceMismatch:
        return L"the reply answers another request";
    case TimestampProblem::NotTimestampAuthority:
        return L"the timestamp's signer is not a time-stamping authority";
    case TimestampProblem::UntrustedAuthority:
        return L"the time-stamping authority is not trusted";
    case TimestampProblem::WeakAlgorithm:
        return L"the timestamp is signed with MD5 or SHA-1, no longer fit for signatures";
    case TimestampProblem::CertificateMismatch:
        return L"the timestamp does not name the certificate that verifies it";
    case TimestampProblem::AuthorityRevoked:
        return L"the time-stamping authority's certificate has been revoked";
    case TimestampProblem::AuthorityStatusUnknown:
        return L"the revocation status of the time-stamping authority could not be established";
    case TimestampProblem::FutureTime:
        return L"the timestamp is dated later than the time of the check";
    case TimestampProblem::UnsupportedImprint:
        return L"the timestamp was made with an unsupported hash";
    case TimestampProblem::UnsupportedAlgorithm:
        return L"the timestamp is signed with an algorithm that cannot be verified here";
    }
    return L"";
}

} // namespace

std::wstring TimestampReason(TimestampProblem problem, ReasonLanguage language) {
    if (language == ReasonLanguage::English || problem == TimestampProblem::None) {
        return EnglishTimestampReason(problem);
    }
    return LocalizedTimestampProblem(problem);
}

std::wstring CheckReason(const ValidationReport& report, const SignatureFacts& signature, int check,
                         ReasonLanguage language) {
    const Writer writer(language);
    if (report.decoding == DecodingOutcome::Unreadable ||
        report.decoding == DecodingOutcome::NotForThisUser ||
        (report.decoding == DecodingOutcome::Unsupported && !signature.signer.present)) {
        return writer.Piece(IDS_REASON_UNDECODED);
    }
    if (!signature.signer.present) {
        return writer.Piece(IDS_REASON_UNSIGNED);
    }
    switch (signature.decoding) {
    case DecodingOutcome::Unsupported:
        return writer.Piece(IDS_REASON_UNSUPPORTED, {signature.unsupportedAlgorithm});
    case DecodingOutcome::Tampered:
        return writer.Piece(signature.signerMismatch ? IDS_REASON_SIGNER_MISMATCH
                                                     : IDS_REASON_TAMPERED);
    default:
        break;
    }
    if (!signature.validated) {
        // Never checked (a signature without its certificate) reads as not decoded.
        if (signature.checksError.empty()) {
            return writer.Piece(IDS_REASON_UNDECODED);
        }
        return check == ValidityCheck ? writer.Piece(IDS_REASON_NOT_RUN, {signature.checksError})
                                      : writer.Piece(IDS_REASON_EARLIER_FAILED);
    }
    if (signature.checks[check].status == CheckStatus::Skipped) {
        return writer.Piece(IDS_REASON_EARLIER_FAILED);
    }
    return ValidatedReason(signature, check, writer);
}

} // namespace Dossiq::Documents
