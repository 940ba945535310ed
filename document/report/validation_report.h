// The validation report of one container as data: how it decoded, who signed it, each of the
// five checks with its status and the facts behind it, the archive's entries and when it was
// checked. The manager's and the property page's report lines, and the console program's
// text and JSON, are all read from it.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "certificates/validation_result.h"
#include "certificates/x509_certificate.h"
#include "document/report/report_lines.h"
#include "document/report/timestamp_evaluation.h"

namespace Dossiq::Documents {

// Unsupported: the signature, or the envelope's key transport or cipher, uses an algorithm
// this platform cannot verify or use; it says nothing about whether the content changed.
enum class DecodingOutcome { NotTampered, Tampered, Unreadable, NotForThisUser, Unsupported };
enum class CheckStatus { Passed, Failed, Skipped };

// The five checks in the order they run.
enum ReportCheck { ValidityCheck, ChainCheck, CrlCheck, RevocationCheck, QualifiedCheck };
constexpr int kReportCheckCount = 5;

struct CheckReport {
    CheckStatus status = CheckStatus::Skipped;
    std::wstring reason;                   // one line, English, for people
    std::vector<std::wstring> chainStatus; // the chain's problem flags by name
    std::wstring crlUrl;                   // the revocation list consulted, when known
    std::wstring crlThisUpdate, crlNextUpdate;
    std::wstring crlIssuer; // who signed that list
    // The evidence that decided: "online", "container" (a list kept at signing), or empty.
    std::wstring crlSource;
    std::wstring crlGap; // why the list did not settle the status (RevocationGapName)
    // When an OCSP response decided instead of a list ("ocsp"; "crl" for a list).
    std::wstring evidenceKind;
    std::wstring ocspUrl, ocspResponder, ocspProducedAt, ocspThisUpdate, ocspNextUpdate;
    std::wstring revocationDate, revocationReason;
    std::wstring invalidityDate; // when the list dates the key's trouble earlier

    std::vector<std::wstring> failedCriteria; // qcStatements, nameForm, keyUsage
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

// One certificate of the signer's chain, signer first, root last, with the problems the chain
// engine found on it by name and its encoding (for the system's certificate view).
struct ChainElementReport {
    SignerReport certificate;
    std::wstring name; // the simple display name
    std::vector<std::wstring> status;
    std::vector<BYTE> encoded;
};

struct EntryReport {
    unsigned index = 0; // in the archive: names may repeat, or differ only in case
    std::wstring name;
    std::uint32_t size = 0, compressedSize = 0, crc32 = 0;
    std::wstring time; // as the archive records it: local time, no zone
};

struct ValidationReport {
    std::wstring path;
    std::wstring kind; // "signed", "protected", "encrypted" or "unknown"
    DecodingOutcome decoding = DecodingOutcome::Unreadable;
    DWORD decodingError = 0;
    // The OID (dotted) of the algorithm that made the decoding Unsupported.
    std::wstring unsupportedAlgorithm;
    // Tampered because the signature names another certificate than the one that verifies.
    bool signerMismatch = false;
    SignerReport signer;
    std::wstring signerName; // the simple display name
    // Whom an envelope was made for, whether this user opened it or not, in its order; a
    // recipient whose certificate is not in the user's stores has only issuer and serial.
    std::vector<RecipientReport> recipients;
    // Signed with a hash no longer fit for signatures (SHA-1 and older).
    bool outdatedAlgorithm = false;
    std::vector<ChainElementReport> chain;
    std::array<CheckReport, kReportCheckCount> checks;
    std::vector<EntryReport> entries;
    std::wstring checkedAt; // UTC, ISO 8601
    // The signature's time-stamp; when used, the checks were judged at its time.
    TimestampReport timestamp;
    // Filled only when the checks ran.
    bool validated = false;
    // Why they did not, in the platform's words, when they could not run.
    std::wstring checksError;
    MHFX::Security::Cryptography::X509::ValidationResult result =
        MHFX::Security::Cryptography::X509::ValidationResult::ChainInvalidOther;
    // Of a signed document, each signature's own report in the message's order, the one
    // described above included (at `selectedSignature`); the others are checked against
    // their own `certificate`, at their own proven time. Empty in those reports.
    std::vector<ValidationReport> signatures;
    size_t selectedSignature = 0;
    MHFX::Security::Cryptography::X509::X509Certificate certificate;
};

// Opens the container at `path` as the current user and runs the checks the manager runs.
// Never throws; a check that cannot be run reads as failed with the platform's text.
// Every signature is described and checked.
ValidationReport BuildValidationReport(const std::wstring& path);

class Document;
struct EntryListing;
// What the document itself shows, opening it first if nobody has: kind, decoding, signer,
// recipients and entries. The checks are left for RunChecks; never throws. It reads files
// and stores and may go to the network (the timestamp): a worker's job.
ValidationReport DescribeDocument(Document& document);
// The same over the walk of the document's archive made already.
ValidationReport DescribeDocument(Document& document, const EntryListing& listing);
// The five checks of the signer and the facts behind them, into a report DescribeDocument
// made for a document that decoded untouched. May block on the network; never throws.
void RunChecks(PCCERT_CONTEXT signer, ValidationReport& report);

// The status of each check that a result implies: the checks before the deciding one passed,
// the deciding one failed, the rest skipped.
std::array<CheckStatus, kReportCheckCount>
CheckStatusesOf(MHFX::Security::Cryptography::X509::ValidationResult result);

// The six lines the manager shows for the finished report.
std::vector<ReportLine> ReportLinesOf(const ValidationReport& report, const ReportTexts& texts);

// True when the container decoded untouched and each of its signers passed all five checks.
bool HasPassed(const ValidationReport& report);
// "passed", "failed", "tampered", "unreadable" (also for an unsupported algorithm), "locked"
// (not for this user), "unsigned". The document's verdict: "passed" only when every
// signature passed, else the verdict of the first signature that did not.
std::wstring VerdictOf(const ValidationReport& report);

// The picture of a finished report: the shown signature's, unless another signature of the
// document keeps it from passing. Without a report, or when the checks did not run, as
// `checked` says: the shown signature's or the warning.
ReportPicture FinishedReportPicture(MHFX::Security::Cryptography::X509::ValidationResult result,
                                    const ValidationReport* report);

const wchar_t* DecodingName(DecodingOutcome outcome);
const wchar_t* CheckName(int check);
const wchar_t* CheckStatusName(CheckStatus status);
// Subject and issuer (distinguished names), serial and SHA-1 thumbprint (hex, upper case),
// validity period and e-mail address of a certificate.
SignerReport DescribeCertificate(PCCERT_CONTEXT context);
// The qualified tests a certificate does not meet: qcStatements, nameForm, keyUsage.
std::vector<std::wstring>
QualifiedCriteriaFailed(const MHFX::Security::Cryptography::X509::X509Certificate& certificate);
// The code (0 to 10) of a revocation reason as the report names it, -1 for another name.
int RevocationReasonCode(const std::wstring& name);
// An instant of the platform as "2026-12-07T17:08:34Z".
std::wstring IsoUtc(const FILETIME& time);

} // namespace Dossiq::Documents
