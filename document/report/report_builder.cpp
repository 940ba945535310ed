#include "document/report/report_builder.h"

#include <algorithm>
#include <cstdio>

#include "certificates/signer_validation.h"
#include "certificates/x509_certificate.h"
#include "document/container/document.h"
#include "document/operations/entry_walk.h"
#include "document/report/certificate_facts.h"
#include "document/report/report_names.h"
#include "foundation/exception.h"
#include "foundation/io/file_stream.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::ChainFindings;
using MHFX::Security::Cryptography::X509::RevocationEvidence;
using MHFX::Security::Cryptography::X509::RevocationKind;
using MHFX::Security::Cryptography::X509::RevocationStatus;
using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

// An OID's dotted text, which is ASCII.
std::wstring AsciiText(const std::string& text) {
    return {text.begin(), text.end()};
}

std::wstring DosTime(uint16_t date, uint16_t time) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", 1980u + (date >> 9),
                  (date >> 5) & 15u, date & 31u, time >> 11, (time >> 5) & 63u, (time & 31u) * 2);
    return text;
}

std::vector<EntryReport> ListEntries(const EntryListing& listing) {
    std::vector<EntryReport> entries;
    entries.reserve(listing.entries.size());
    for (const ArchiveEntry& walked : listing.entries) {
        EntryReport entry;
        entry.index = walked.index;
        entry.name = walked.name;
        entry.size = walked.size;
        entry.compressedSize = walked.compressedSize;
        entry.crc32 = walked.crc32;
        entry.time = DosTime(walked.dosDate, walked.dosTime);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsEnvelopedFile(const std::wstring& path) {
    try {
        MHFX::IO::FileStream input(path);
        BYTE head[64] = {};
        const DWORD read = input.Read(MHFX::IO::ByteArray{head, sizeof(head)});
        // The content type right after the outer header; the parser wants the whole file.
        static const BYTE envelopedOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                            0xF7, 0x0D, 0x01, 0x07, 0x03};
        const BYTE* end = head + std::min<DWORD>(read, 16);
        const BYTE* start = head;
        return std::search(start, end, std::begin(envelopedOid), std::end(envelopedOid)) != end;
    } catch (const MHFX::Exception&) {
        return false;
    }
}

bool IsNotForThisUser(DWORD code) {
    return code == static_cast<DWORD>(CRYPT_E_RECIPIENT_NOT_FOUND) ||
           code == static_cast<DWORD>(NTE_BAD_KEYSET) || code == static_cast<DWORD>(NTE_NO_KEY) ||
           code == static_cast<DWORD>(CRYPT_E_NO_DECRYPT_CERT);
}

// The facts of the one verified list or response that decided (or was consulted for) the
// signer.
void DescribeRevocation(const RevocationEvidence& evidence, RevocationReport& revocation) {
    revocation.gap = evidence.gap;
    revocation.source = evidence.source;
    revocation.kind = evidence.kind;
    if (evidence.kind == RevocationKind::Ocsp) {
        revocation.ocspUrl = evidence.url;
        revocation.ocspResponder = evidence.responder;
        revocation.ocspProducedAt = IsoUtc(evidence.producedAt);
        revocation.ocspThisUpdate = IsoUtc(evidence.thisUpdate);
        if (evidence.nextUpdate.dwHighDateTime || evidence.nextUpdate.dwLowDateTime) {
            revocation.ocspNextUpdate = IsoUtc(evidence.nextUpdate);
        }
    } else {
        revocation.crlUrl = evidence.url;
    }
    if (evidence.listed) {
        revocation.revocationDate = IsoUtc(evidence.revocationDate);
        if (::CompareFileTime(&evidence.revokedFrom, &evidence.revocationDate) != 0) {
            revocation.invalidityDate = IsoUtc(evidence.revokedFrom);
        }
        revocation.reason = evidence.reason;
    }
    const PCCRL_CONTEXT list = evidence.crl.get();
    if (list == nullptr) {
        return;
    }
    revocation.crlIssuer = CrlIssuerName(list);
    revocation.crlThisUpdate = IsoUtc(list->pCrlInfo->ThisUpdate);
    const FILETIME& next = list->pCrlInfo->NextUpdate;
    if (next.dwHighDateTime || next.dwLowDateTime) {
        revocation.crlNextUpdate = IsoUtc(next);
    }
}

void DescribeChain(const ChainFindings& findings, SignatureFacts& signature) {
    if (!findings.chain || findings.chain.get()->cChain == 0) {
        return;
    }
    const CERT_SIMPLE_CHAIN& simple = *findings.chain.get()->rgpChain[0];
    for (DWORD i = 0; i < simple.cElement; ++i) {
        const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
        ChainElementReport item;
        item.certificate = DescribeCertificate(element.pCertContext);
        item.name = DisplayNameOf(element.pCertContext);
        item.errors = element.TrustStatus.dwErrorStatus;
        item.encoded.assign(element.pCertContext->pbCertEncoded,
                            element.pCertContext->pbCertEncoded +
                                element.pCertContext->cbCertEncoded);
        signature.chain.push_back(std::move(item));
    }
}

// The product's own revocation verdicts on the certificates they concern.
void MarkRevocations(const ChainFindings& findings, SignatureFacts& signature) {
    for (size_t i = 0; i < findings.revocations.size() && i < signature.chain.size(); ++i) {
        switch (findings.revocations[i].status) {
        case RevocationStatus::Revoked:
            signature.chain[i].errors |= CERT_TRUST_IS_REVOKED;
            break;
        case RevocationStatus::Unknown:
            signature.chain[i].errors |= CERT_TRUST_REVOCATION_STATUS_UNKNOWN;
            break;
        case RevocationStatus::Good:
            break;
        }
    }
}

// Some engines (Wine's among them) put a problem only on the whole chain, not on the
// certificate it concerns; the path view needs it on the certificate.
void MarkChainElements(DWORD chainStatus, const std::wstring& checkedAt,
                       SignatureFacts& signature) {
    if (signature.chain.empty()) {
        return;
    }
    ChainElementReport& signer = signature.chain.front();
    ChainElementReport& last = signature.chain.back();
    if (!signature.revocation.revocationDate.empty()) {
        signer.errors |= CERT_TRUST_IS_REVOKED;
    }
    if ((chainStatus & CERT_TRUST_IS_NOT_TIME_VALID) &&
        (checkedAt < signer.certificate.notBefore || checkedAt > signer.certificate.notAfter)) {
        signer.errors |= CERT_TRUST_IS_NOT_TIME_VALID;
    }
    last.errors |= chainStatus & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN);
}

void Validate(PCCERT_CONTEXT context, const std::wstring& checkedAt, SignatureFacts& signature) {
    const X509Certificate signer(context);
    ChainFindings findings;
    try {
        // The signer's own store is the message's: its certificates and kept CRLs.
        signature.result = ValidateSignerCertificate(
            signer, &findings, signature.timestamp.used ? &signature.timestamp.provenTime : nullptr,
            context->hCertStore);
    } catch (const MHFX::Exception& e) {
        signature.checks[ValidityCheck].status = CheckStatus::Failed;
        signature.checksError = e.Message();
        return;
    }
    signature.validated = true;
    DescribeChain(findings, signature);
    MarkRevocations(findings, signature);
    const auto statuses = CheckStatusesOf(signature.result);
    for (int check = 0; check < kReportCheckCount; ++check) {
        signature.checks[check].status = statuses[check];
    }
    if (!findings.revocations.empty()) {
        DescribeRevocation(findings.revocations.front(), signature.revocation);
    }
    for (int check = ValidityCheck; check <= RevocationCheck; ++check) {
        CheckReport& item = signature.checks[check];
        if (item.status == CheckStatus::Failed) {
            // A chain refused for another reason shows every flag it has under the chain check.
            item.chainErrors = signature.result == ValidationResult::ChainInvalidOther
                                   ? findings.errorStatus
                                   : findings.errorStatus & ChainBitsOfCheck(check);
        }
    }
    // A revocation is told when it failed the check, or when it came after the proven
    // signing time: the signature was made while the certificate was good.
    const CheckStatus revocation = signature.checks[RevocationCheck].status;
    RevocationReport& evidence = signature.revocation;
    if (revocation != CheckStatus::Failed &&
        !(revocation == CheckStatus::Passed && signature.timestamp.used &&
          !evidence.revocationDate.empty())) {
        evidence.revocationDate.clear();
        evidence.invalidityDate.clear();
        evidence.reason = MHFX::Security::Cryptography::X509::kNoReasonCode;
    }
    if (signature.checks[QualifiedCheck].status == CheckStatus::Failed) {
        signature.unmetCriteria = QualifiedCriteriaFailed(signer);
    }
    MarkChainElements(findings.errorStatus, checkedAt, signature);
}

void RunOne(PCCERT_CONTEXT signer, const std::wstring& checkedAt, SignatureFacts& signature) {
    try {
        Validate(signer, checkedAt, signature);
    } catch (...) {
        // Nothing may leave a worker; a report cut short reads as not checked.
        signature.validated = false;
    }
}

// The selected signature of an opened document.
SignatureFacts DescribeSignature(Document& document) {
    SignatureFacts signature;
    const PCCERT_CONTEXT signer = document.SignerCertificate();
    if (!signer) {
        return signature;
    }
    signature.signer = DescribeCertificate(signer);
    signature.signerName = DisplayNameOf(signer);
    signature.certificate = X509Certificate(signer);
    signature.outdatedAlgorithm = document.IsSignatureAlgorithmOutdated();
    if (document.SignatureCheck() == SignatureStatus::Unsupported) {
        signature.decoding = DecodingOutcome::Unsupported;
        signature.unsupportedAlgorithm = AsciiText(document.UnsupportedAlgorithm());
    } else if (!document.IsSignatureValid()) {
        signature.decoding = DecodingOutcome::Tampered;
        signature.signerMismatch = document.SignatureCheck() == SignatureStatus::SignerMismatch;
    } else {
        signature.timestamp = EvaluateTimestamp(document);
    }
    return signature;
}

// A countersignature of the signature at `of`; judged now, as it carries no proven time.
SignatureFacts DescribeCountersignature(const Countersignature& counter, size_t of) {
    SignatureFacts signature;
    signature.countersigns = of;
    if (counter.signer) {
        signature.signer = DescribeCertificate(counter.signer.get());
        signature.signerName = DisplayNameOf(counter.signer.get());
        signature.certificate = X509Certificate(counter.signer.get());
    }
    signature.decoding = counter.status == SignatureStatus::Valid ? DecodingOutcome::NotTampered
                         : counter.status == SignatureStatus::Unsupported
                             ? DecodingOutcome::Unsupported
                             : DecodingOutcome::Tampered;
    signature.unsupportedAlgorithm = AsciiText(counter.unsupportedAlgorithm);
    return signature;
}

} // namespace

ValidationReport DescribeDocument(Document& document) {
    document.OpenOnce();
    return DescribeDocument(document, WalkEntries(document.Content()));
}

ValidationReport DescribeDocument(Document& document, const EntryListing& listing) {
    ValidationReport report;
    report.path = document.Path();
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    report.checkedAt = IsoUtc(now);

    const bool enveloped = IsEnvelopedFile(report.path);
    if (!document.OpenOnce()) {
        report.decodingError = document.FailureCode();
        report.decoding = IsNotForThisUser(report.decodingError) ? DecodingOutcome::NotForThisUser
                                                                 : DecodingOutcome::Unreadable;
        if (report.decodingError == static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO)) {
            report.decoding = DecodingOutcome::Unsupported;
            report.unsupportedAlgorithm = AsciiText(document.UnsupportedAlgorithm());
        }
        report.kind = L"unknown";
        if (report.decoding == DecodingOutcome::NotForThisUser) {
            report.recipients = RecipientsOf(report.path, kNoRecipient);
        }
        return report;
    }
    const bool signed_ = document.SignerCertificate() != nullptr;
    report.kind = !signed_ ? L"encrypted" : enveloped ? L"protected" : L"signed";
    if (enveloped) {
        report.recipients = RecipientsOf(report.path, document.OpenedRecipient());
    }
    report.entries = ListEntries(listing);
    report.decoding = DecodingOutcome::NotTampered;
    if (!signed_) {
        return report;
    }
    const size_t selected = document.SelectedSignature();
    report.selectedSignature = selected;
    for (size_t i = 0; i < document.SignatureCount(); ++i) {
        if (i != selected) {
            document.SelectSignature(i);
        }
        report.signatures.push_back(DescribeSignature(document));
    }
    document.SelectSignature(selected);
    for (size_t i = 0; i < document.SignatureCount(); ++i) {
        for (const Countersignature& counter : document.Signatures()[i].countersignatures) {
            report.signatures.push_back(DescribeCountersignature(counter, i));
        }
    }
    report.decoding = report.Selected().decoding;
    report.unsupportedAlgorithm = report.Selected().unsupportedAlgorithm;
    return report;
}

void RunChecks(PCCERT_CONTEXT signer, ValidationReport& report) {
    for (size_t i = 0; i < report.signatures.size(); ++i) {
        SignatureFacts& signature = report.signatures[i];
        if (i == report.selectedSignature) {
            RunOne(signer, report.checkedAt, signature);
        } else if (signature.decoding == DecodingOutcome::NotTampered &&
                   signature.certificate.IsInitialized()) {
            RunOne(signature.certificate.Handle(), report.checkedAt, signature);
        }
    }
}

ValidationReport BuildValidationReport(const std::wstring& path) {
    Document document(path);
    ValidationReport report = DescribeDocument(document);
    if (report.decoding == DecodingOutcome::NotTampered && document.SignerCertificate()) {
        RunChecks(document.SignerCertificate(), report);
    }
    return report;
}

} // namespace Dossiq::Documents
