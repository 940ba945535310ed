// The validation report of one container as facts and codes: how it decoded, whom it was
// made for, its entries and when it was checked, then each signature on its own: its signer,
// chain, the five checks with their status and the evidence behind them, and its timestamp.
// No words for people live here: CheckReason writes a check's reason, the details, lines and
// pages read the same codes. Built by report_builder.h.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "certificates/revocation/revocation_evidence.h"
#include "certificates/validation_result.h"
#include "certificates/x509_certificate.h"
#include "document/report/timestamp_evaluation.h"

namespace Dossiq::Documents {

// Unsupported: the signature, or the envelope's key transport or cipher, uses an algorithm
// this platform cannot verify or use; it says nothing about whether the content changed.
enum class DecodingOutcome { NotTampered, Tampered, Unreadable, NotForThisUser, Unsupported };
enum class CheckStatus { Passed, Failed, Skipped };

// The five checks in the order they run.
enum ReportCheck { ValidityCheck, ChainCheck, CrlCheck, RevocationCheck, QualifiedCheck };
constexpr int kReportCheckCount = 5;

// The tests of a qualified certificate, in the order they are reported.
enum class QualifiedCriterion { QcStatements, NameForm, KeyUsage };

struct CheckReport {
    CheckStatus status = CheckStatus::Skipped;
    // The chain engine's CERT_TRUST_* error bits this failed check is about.
    DWORD chainErrors = 0;
};

// What decided the signer's revocation status, from the one verified list or response.
struct RevocationReport {
    MHFX::Security::Cryptography::X509::RevocationSource source =
        MHFX::Security::Cryptography::X509::RevocationSource::None;
    MHFX::Security::Cryptography::X509::RevocationGap gap =
        MHFX::Security::Cryptography::X509::RevocationGap::None;
    MHFX::Security::Cryptography::X509::RevocationKind kind =
        MHFX::Security::Cryptography::X509::RevocationKind::Crl; // when `source` is not None
    std::wstring crlUrl, crlIssuer, crlThisUpdate, crlNextUpdate;
    std::wstring ocspUrl, ocspResponder, ocspProducedAt, ocspThisUpdate, ocspNextUpdate;
    // Kept when the revocation failed the check, or came after a proven signing time.
    std::wstring revocationDate;
    std::wstring invalidityDate; // when the list dates the key's trouble earlier
    int reason = MHFX::Security::Cryptography::X509::kNoReasonCode;
};

struct SignerReport {
    bool present = false;
    std::wstring subject, issuer, serial, thumbprint, notBefore, notAfter, email;
};

// One recipient of an envelope; `yours` marks the one whose key, of this user's, opened it.
struct RecipientReport {
    SignerReport certificate;
    bool yours = false;
};

// One certificate of the signer's chain, signer first, root last, with the problems found on
// it (CERT_TRUST_* error bits) and its encoding (for the system's certificate view).
struct ChainElementReport {
    SignerReport certificate;
    std::wstring name; // the simple display name
    DWORD errors = 0;
    std::vector<BYTE> encoded;
};

struct EntryReport {
    unsigned index = 0; // in the archive: names may repeat, or differ only in case
    std::wstring name;
    std::uint32_t size = 0, compressedSize = 0, crc32 = 0;
    std::wstring time; // as the archive records it: local time, no zone
};

constexpr size_t kNotCountersigning = static_cast<size_t>(-1);

// One signature of a signed document, judged against its own certificate at its own proven
// time. A countersignature is judged the same way; it vouches for the signature value of the
// signature at `countersigns`.
struct SignatureFacts {
    size_t countersigns = kNotCountersigning;
    // NotTampered, Tampered (content or signer) or Unsupported (its algorithm).
    DecodingOutcome decoding = DecodingOutcome::NotTampered;
    std::wstring unsupportedAlgorithm; // the OID (dotted) when Unsupported
    // Tampered because the signature names another certificate than the one that verifies.
    bool signerMismatch = false;
    SignerReport signer;
    std::wstring signerName; // the simple display name
    MHFX::Security::Cryptography::X509::X509Certificate certificate;
    // Signed with a hash no longer fit for signatures (SHA-1 and older).
    bool outdatedAlgorithm = false;
    std::vector<ChainElementReport> chain;
    std::array<CheckReport, kReportCheckCount> checks;
    RevocationReport revocation;
    std::vector<QualifiedCriterion> unmetCriteria; // when the qualified check failed
    TimestampReport timestamp;                     // when used, the checks were judged at its time
    // Filled only when the checks ran.
    bool validated = false;
    // Why they did not, in the platform's words, when they could not run.
    std::wstring checksError;
    MHFX::Security::Cryptography::X509::ValidationResult result =
        MHFX::Security::Cryptography::X509::ValidationResult::ChainInvalidOther;
};

struct ValidationReport {
    std::wstring path;
    std::wstring kind; // "signed", "protected", "encrypted" or "unknown"
    // The container's, as its selected signature shows it once it opened.
    DecodingOutcome decoding = DecodingOutcome::Unreadable;
    DWORD decodingError = 0;
    // The OID (dotted) of the algorithm that made the decoding Unsupported.
    std::wstring unsupportedAlgorithm;
    // Whom an envelope was made for, whether this user opened it or not, in its order; a
    // recipient whose certificate is not in the user's stores has only issuer and serial.
    std::vector<RecipientReport> recipients;
    std::vector<EntryReport> entries;
    std::wstring checkedAt; // UTC, ISO 8601
    // In the message's order, then the countersignatures; empty when the container is
    // unsigned or did not open.
    std::vector<SignatureFacts> signatures;
    size_t selectedSignature = 0; // the one the manager and the page show

    // The selected signature, or one with no signer when there is none.
    const SignatureFacts& Selected() const;
};

// The status of each check that a result implies: the checks before the deciding one passed,
// the deciding one failed, the rest skipped.
std::array<CheckStatus, kReportCheckCount>
CheckStatusesOf(MHFX::Security::Cryptography::X509::ValidationResult result);

// True when the container decoded untouched and each of its signers passed all five checks.
bool HasPassed(const ValidationReport& report);
// "passed", "failed", "tampered", "unreadable" (also for an unsupported algorithm), "locked"
// (not for this user), "unsigned". The document's verdict: "passed" only when every
// signature passed, else the verdict of the first signature that did not.
std::wstring VerdictOf(const ValidationReport& report);
// The verdict of one signature alone, of a container that opened.
std::wstring VerdictOf(const SignatureFacts& signature);

} // namespace Dossiq::Documents
