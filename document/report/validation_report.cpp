#include "document/report/validation_report.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "certificates/certificate_purpose.h"
#include "certificates/qualified_certificate.h"
#include "certificates/signer_validation.h"
#include "certificates/x509_certificate.h"
#include "document/container/document.h"
#include "document/container/envelope.h"
#include "document/operations/entry_walk.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/file_stream.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::ChainFindings;
using MHFX::Security::Cryptography::X509::HasKeyUsage;
using MHFX::Security::Cryptography::X509::HasQcComplianceAndSscd;
using MHFX::Security::Cryptography::X509::HasQualifiedNameForm;
using MHFX::Security::Cryptography::X509::kQualifiedKeyUsage;
using MHFX::Security::Cryptography::X509::RevocationEvidence;
using MHFX::Security::Cryptography::X509::RevocationGapName;
using MHFX::Security::Cryptography::X509::RevocationKind;
using MHFX::Security::Cryptography::X509::RevocationKindName;
using MHFX::Security::Cryptography::X509::RevocationSource;
using MHFX::Security::Cryptography::X509::RevocationSourceName;
using MHFX::Security::Cryptography::X509::RevocationStatus;
using MHFX::Security::Cryptography::X509::ValidateSignerCertificate;
using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

// An OID's dotted text, which is ASCII.
std::wstring AsciiText(const std::string& text) {
    return {text.begin(), text.end()};
}

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// An envelope's recipients: read from this much of the file's start, and only so many
// looked for in the stores (as many as an envelope is made for).
constexpr size_t kRecipientHead = 256 * 1024;
constexpr size_t kDescribedRecipients = kMostRecipients;

struct FlagName {
    DWORD bit;
    const wchar_t* name;
};

// The engine's trust-error bits under stable names.
constexpr FlagName kFlagNames[] = {
    {CERT_TRUST_IS_NOT_TIME_VALID, L"NotTimeValid"},
    {CERT_TRUST_IS_NOT_TIME_NESTED, L"NotTimeNested"},
    {CERT_TRUST_IS_REVOKED, L"Revoked"},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, L"NotSignatureValid"},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, L"NotValidForUsage"},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, L"UntrustedRoot"},
    {CERT_TRUST_REVOCATION_STATUS_UNKNOWN, L"RevocationStatusUnknown"},
    {CERT_TRUST_IS_CYCLIC, L"Cyclic"},
    {CERT_TRUST_INVALID_EXTENSION, L"InvalidExtension"},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS, L"InvalidPolicyConstraints"},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, L"InvalidBasicConstraints"},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS, L"InvalidNameConstraints"},
    {CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT, L"HasNotSupportedNameConstraint"},
    {CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT, L"HasNotDefinedNameConstraint"},
    {CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT, L"HasNotPermittedNameConstraint"},
    {CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT, L"HasExcludedNameConstraint"},
    {CERT_TRUST_IS_PARTIAL_CHAIN, L"PartialChain"},
    {CERT_TRUST_CTL_IS_NOT_TIME_VALID, L"CtlNotTimeValid"},
    {CERT_TRUST_CTL_IS_NOT_SIGNATURE_VALID, L"CtlNotSignatureValid"},
    {CERT_TRUST_CTL_IS_NOT_VALID_FOR_USAGE, L"CtlNotValidForUsage"},
    {CERT_TRUST_IS_OFFLINE_REVOCATION, L"OfflineRevocation"},
    {CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY, L"NoIssuanceChainPolicy"},
};

// The bits each failing check is about.
constexpr DWORD kCheckBits[] = {
    CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED |
        CERT_TRUST_IS_NOT_SIGNATURE_VALID,
    CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT,
    CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_REVOCATION_STATUS_UNKNOWN,
    CERT_TRUST_IS_REVOKED,
};

const wchar_t* const kRevocationReasons[] = {
    L"unspecified",   L"keyCompromise",        L"cACompromise",    L"affiliationChanged",
    L"superseded",    L"cessationOfOperation", L"certificateHold", L"unused",
    L"removeFromCRL", L"privilegeWithdrawn",   L"aACompromise",
};

std::vector<std::wstring> FlagNames(DWORD bits) {
    std::vector<std::wstring> names;
    for (const FlagName& flag : kFlagNames) {
        if (bits & flag.bit) {
            names.push_back(flag.name);
        }
    }
    return names;
}

std::wstring Join(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (const std::wstring& part : parts) {
        text += (text.empty() ? L"" : L", ") + part;
    }
    return text;
}

std::wstring Hex(const BYTE* bytes, DWORD length, bool reversed) {
    std::wstring text;
    wchar_t pair[3];
    for (DWORD i = 0; i < length; ++i) {
        std::swprintf(pair, 3, L"%02X", bytes[reversed ? length - 1 - i : i]);
        text += pair;
    }
    return text;
}

std::wstring NameOf(PCCERT_CONTEXT context, DWORD type, DWORD flags, const void* para = nullptr) {
    const DWORD length =
        ::CertGetNameStringW(context, type, flags, const_cast<void*>(para), nullptr, 0);
    std::wstring text(length, L'\0');
    ::CertGetNameStringW(context, type, flags, const_cast<void*>(para), text.data(), length);
    text.resize(length ? length - 1 : 0);
    return text;
}

std::wstring DistinguishedName(PCCERT_CONTEXT context, DWORD flags) {
    DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    return NameOf(context, CERT_NAME_RDN_TYPE, flags, &type);
}

} // namespace

SignerReport DescribeCertificate(PCCERT_CONTEXT context) {
    SignerReport signer;
    signer.present = true;
    signer.subject = DistinguishedName(context, 0);
    signer.issuer = DistinguishedName(context, CERT_NAME_ISSUER_FLAG);
    const CRYPT_INTEGER_BLOB& serial = context->pCertInfo->SerialNumber;
    signer.serial = Hex(serial.pbData, serial.cbData, true);
    BYTE hash[20];
    DWORD hashLength = sizeof(hash);
    if (::CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &hashLength)) {
        signer.thumbprint = Hex(hash, hashLength, false);
    }
    signer.notBefore = IsoUtc(context->pCertInfo->NotBefore);
    signer.notAfter = IsoUtc(context->pCertInfo->NotAfter);
    signer.email = NameOf(context, CERT_NAME_EMAIL_TYPE, 0);
    return signer;
}

namespace {

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

std::wstring CrlIssuerName(PCCRL_CONTEXT crl) {
    CERT_NAME_BLOB issuer = crl->pCrlInfo->Issuer;
    const DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD length = ::CertNameToStrW(kEncoding, &issuer, type, nullptr, 0);
    std::wstring text(length, L'\0');
    ::CertNameToStrW(kEncoding, &issuer, type, text.data(), length);
    text.resize(length ? length - 1 : 0);
    return text;
}

// The facts of the one verified list that decided (or was consulted for) the signer.
void DescribeRevocation(const RevocationEvidence& evidence, CheckReport& crl,
                        CheckReport& revocation) {
    crl.crlGap = RevocationGapName(evidence.gap);
    if (evidence.source != RevocationSource::None) {
        crl.crlSource = RevocationSourceName(evidence.source);
        revocation.crlSource = crl.crlSource;
        crl.evidenceKind = RevocationKindName(evidence.kind);
    }
    if (evidence.kind == RevocationKind::Ocsp) {
        crl.ocspUrl = evidence.url;
        crl.ocspResponder = evidence.responder;
        crl.ocspProducedAt = IsoUtc(evidence.producedAt);
        crl.ocspThisUpdate = IsoUtc(evidence.thisUpdate);
        if (evidence.nextUpdate.dwHighDateTime || evidence.nextUpdate.dwLowDateTime) {
            crl.ocspNextUpdate = IsoUtc(evidence.nextUpdate);
        }
    } else {
        crl.crlUrl = evidence.url;
    }
    if (evidence.listed) {
        revocation.revocationDate = IsoUtc(evidence.revocationDate);
        if (::CompareFileTime(&evidence.revokedFrom, &evidence.revocationDate) != 0) {
            revocation.invalidityDate = IsoUtc(evidence.revokedFrom);
        }
        // No reason code stays apart from "unspecified".
        if (evidence.reason >= 0 &&
            evidence.reason < static_cast<int>(std::size(kRevocationReasons))) {
            revocation.revocationReason = kRevocationReasons[evidence.reason];
        }
    }
    const PCCRL_CONTEXT list = evidence.crl.get();
    if (list == nullptr) {
        return;
    }
    crl.crlIssuer = CrlIssuerName(list);
    crl.crlThisUpdate = IsoUtc(list->pCrlInfo->ThisUpdate);
    const FILETIME& next = list->pCrlInfo->NextUpdate;
    if (next.dwHighDateTime || next.dwLowDateTime) {
        crl.crlNextUpdate = IsoUtc(next);
    }
}

// Where the CRL check's evidence came from, in words; why it did not settle the status.
std::wstring CrlEvidenceText(const CheckReport& crl) {
    const std::wstring dates =
        L" (this update " + crl.crlThisUpdate + L", next update " + crl.crlNextUpdate + L")";
    std::wstring text;
    if (!crl.ocspUrl.empty()) {
        text = L"OCSP " + crl.ocspUrl + L" (responder " + crl.ocspResponder + L", produced " +
               crl.ocspProducedAt + L", this update " + crl.ocspThisUpdate + L", next update " +
               crl.ocspNextUpdate + L")";
    } else if (crl.crlSource == L"container") {
        text = L"CRL kept in the container, issued by " + crl.crlIssuer + dates;
    } else if (!crl.crlUrl.empty()) {
        text = L"CRL " + crl.crlUrl + (crl.crlThisUpdate.empty() ? L" (not retrieved)" : dates);
    }
    if (crl.crlGap == L"expiredNotCovered") {
        text += (text.empty() ? L"" : L"; ") +
                std::wstring(L"the certificate has expired and its issuer's current CRL no "
                             L"longer has to list it: a CRL kept in the container at signing, or "
                             L"one keeping expired certificates (ExpiredCertsOnCRL) since before "
                             L"the proven signing time, would settle its status");
    } else if (crl.crlGap == L"unusableList") {
        text += (text.empty() ? L"" : L"; ") +
                std::wstring(L"the list is a delta, is limited to other certificates or reasons, "
                             L"or has an extension it must not be used without: it cannot show "
                             L"that the certificate is not revoked");
    } else if (crl.crlGap == L"noAddress") {
        text += (text.empty() ? L"" : L"; ") +
                std::wstring(L"the certificate names no http or https CRL address");
    }
    return text;
}

// The first bytes of the file, where an envelope names its recipients; empty when it cannot
// be read.
std::vector<BYTE> ReadHead(const std::wstring& path) {
    std::vector<BYTE> bytes(kRecipientHead);
    try {
        MHFX::IO::FileStream input(path);
        DWORD done = 0;
        while (done < bytes.size()) {
            const DWORD read = input.Read(
                MHFX::IO::ByteArray{bytes.data() + done, static_cast<DWORD>(bytes.size() - done)});
            if (read == 0) {
                break;
            }
            done += read;
        }
        bytes.resize(done);
    } catch (const MHFX::Exception&) {
        bytes.clear();
    }
    return bytes;
}

// The certificate a recipient names, looked for in the user's own and other people's stores;
SignerReport DescribeRecipient(const EnvelopeRecipient& recipient) {
    for (const wchar_t* name : {L"My", L"AddressBook", L"TrustedPeople"}) {
        MHFX::CertStoreHandle store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                                    CERT_SYSTEM_STORE_CURRENT_USER |
                                                        CERT_STORE_OPEN_EXISTING_FLAG |
                                                        CERT_STORE_READONLY_FLAG,
                                                    name));
        if (!store) {
            continue;
        }
        PCCERT_CONTEXT found = nullptr;
        if (!recipient.keyId.empty()) {
            CRYPT_HASH_BLOB id = {static_cast<DWORD>(recipient.keyId.size()),
                                  const_cast<BYTE*>(recipient.keyId.data())};
            found = ::CertFindCertificateInStore(store.get(), kEncoding, 0,
                                                 CERT_FIND_KEY_IDENTIFIER, &id, nullptr);
        } else {
            CERT_INFO info = {};
            info.Issuer = {static_cast<DWORD>(recipient.issuer.size()),
                           const_cast<BYTE*>(recipient.issuer.data())};
            info.SerialNumber = {static_cast<DWORD>(recipient.serial.size()),
                                 const_cast<BYTE*>(recipient.serial.data())};
            found = ::CertFindCertificateInStore(store.get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT,
                                                 &info, nullptr);
        }
        if (found) {
            const X509Certificate owned = X509Certificate::Adopt(found);
            return DescribeCertificate(found);
        }
    }
    SignerReport named;
    if (!recipient.issuer.empty()) {
        CERT_NAME_BLOB issuer = {static_cast<DWORD>(recipient.issuer.size()),
                                 const_cast<BYTE*>(recipient.issuer.data())};
        const DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
        const DWORD length = ::CertNameToStrW(kEncoding, &issuer, type, nullptr, 0);
        std::wstring text(length, L'\0');
        ::CertNameToStrW(kEncoding, &issuer, type, text.data(), length);
        text.resize(length ? length - 1 : 0);
        named.issuer = text;
        named.serial =
            Hex(recipient.serial.data(), static_cast<DWORD>(recipient.serial.size()), true);
    } else {
        named.serial =
            Hex(recipient.keyId.data(), static_cast<DWORD>(recipient.keyId.size()), false);
    }
    return named;
}

// `opened`: the place of the recipient whose key opened the envelope, kNoRecipient for none.
std::vector<RecipientReport> RecipientsOf(const std::wstring& path, size_t opened) {
    const std::vector<BYTE> head = ReadHead(path);
    std::vector<RecipientReport> recipients;
    for (const EnvelopeRecipient& recipient : ReadEnvelopeRecipientsFromHead(
             head.data(), static_cast<DWORD>(head.size()), kDescribedRecipients)) {
        RecipientReport described{DescribeRecipient(recipient)};
        described.yours = recipients.size() == opened;
        recipients.push_back(std::move(described));
    }
    return recipients;
}

void DescribeChain(const ChainFindings& findings, ValidationReport& report) {
    if (!findings.chain || findings.chain.get()->cChain == 0) {
        return;
    }
    const CERT_SIMPLE_CHAIN& simple = *findings.chain.get()->rgpChain[0];
    for (DWORD i = 0; i < simple.cElement; ++i) {
        const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
        ChainElementReport item;
        item.certificate = DescribeCertificate(element.pCertContext);
        item.name = NameOf(element.pCertContext, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0);
        item.status = FlagNames(element.TrustStatus.dwErrorStatus);
        item.encoded.assign(element.pCertContext->pbCertEncoded,
                            element.pCertContext->pbCertEncoded +
                                element.pCertContext->cbCertEncoded);
        report.chain.push_back(std::move(item));
    }
}

void AddStatus(ChainElementReport& element, const wchar_t* name) {
    if (std::find(element.status.begin(), element.status.end(), name) == element.status.end()) {
        element.status.push_back(name);
    }
}

// The product's own revocation verdicts on the certificates they concern.
void MarkRevocations(const ChainFindings& findings, ValidationReport& report) {
    for (size_t i = 0; i < findings.revocations.size() && i < report.chain.size(); ++i) {
        switch (findings.revocations[i].status) {
        case RevocationStatus::Revoked:
            AddStatus(report.chain[i], L"Revoked");
            break;
        case RevocationStatus::Unknown:
            AddStatus(report.chain[i], L"RevocationStatusUnknown");
            break;
        case RevocationStatus::Good:
            break;
        }
    }
}

// Some engines (Wine's among them) put a problem only on the whole chain, not on the
// certificate it concerns; the path view needs it on the certificate.
void MarkChainElements(DWORD chainStatus, ValidationReport& report) {
    if (report.chain.empty()) {
        return;
    }
    ChainElementReport& signer = report.chain.front();
    ChainElementReport& last = report.chain.back();
    if (!report.checks[RevocationCheck].revocationDate.empty()) {
        AddStatus(signer, L"Revoked");
    }
    if ((chainStatus & CERT_TRUST_IS_NOT_TIME_VALID) &&
        (report.checkedAt < signer.certificate.notBefore ||
         report.checkedAt > signer.certificate.notAfter)) {
        AddStatus(signer, L"NotTimeValid");
    }
    if (chainStatus & CERT_TRUST_IS_UNTRUSTED_ROOT) {
        AddStatus(last, L"UntrustedRoot");
    }
    if (chainStatus & CERT_TRUST_IS_PARTIAL_CHAIN) {
        AddStatus(last, L"PartialChain");
    }
}

template <typename Test> bool Passes(Test test) {
    try {
        return test();
    } catch (const MHFX::Exception&) {
        return false;
    }
}

void Validate(PCCERT_CONTEXT context, ValidationReport& report) {
    const X509Certificate signer(context);
    ChainFindings findings;
    try {
        // The signer's own store is the message's: its certificates and kept CRLs.
        report.result = ValidateSignerCertificate(
            signer, &findings, report.timestamp.used ? &report.timestamp.provenTime : nullptr,
            context->hCertStore);
    } catch (const MHFX::Exception& e) {
        report.checks[ValidityCheck].status = CheckStatus::Failed;
        report.checksError = e.Message();
        report.checks[ValidityCheck].reason = L"the checks could not run: " + report.checksError;
        for (int check = ChainCheck; check < kReportCheckCount; ++check) {
            report.checks[check].reason = L"an earlier check failed";
        }
        return;
    }
    report.validated = true;
    DescribeChain(findings, report);
    MarkRevocations(findings, report);
    const auto statuses = CheckStatusesOf(report.result);
    for (int check = 0; check < kReportCheckCount; ++check) {
        report.checks[check].status = statuses[check];
        report.checks[check].reason =
            statuses[check] == CheckStatus::Skipped ? L"an earlier check failed" : L"";
    }
    if (!findings.revocations.empty()) {
        DescribeRevocation(findings.revocations.front(), report.checks[CrlCheck],
                           report.checks[RevocationCheck]);
    }

    const std::wstring period =
        L"valid from " + report.signer.notBefore + L" to " + report.signer.notAfter;
    for (int check = ValidityCheck; check <= RevocationCheck; ++check) {
        CheckReport& item = report.checks[check];
        if (item.status != CheckStatus::Failed) {
            continue;
        }
        // A chain refused for another reason shows every flag it has under the chain check.
        const DWORD bits = report.result == ValidationResult::ChainInvalidOther
                               ? findings.errorStatus
                               : findings.errorStatus & kCheckBits[check];
        item.chainStatus = FlagNames(bits);
        item.reason = Join(item.chainStatus);
        if (item.reason.empty()) {
            item.reason = L"the chain policy refused the chain";
        }
    }
    CheckReport& validity = report.checks[ValidityCheck];
    validity.reason =
        validity.status == CheckStatus::Failed ? validity.reason + L"; " + period : period;
    CheckReport& crl = report.checks[CrlCheck];
    const std::wstring evidence = CrlEvidenceText(crl);
    if (crl.status != CheckStatus::Skipped && !evidence.empty()) {
        crl.reason = crl.reason.empty() ? evidence : crl.reason + L"; " + evidence;
    }
    CheckReport& revocation = report.checks[RevocationCheck];
    const std::wstring revokedText =
        L"revoked on " + revocation.revocationDate + L", reason " +
        (revocation.revocationReason.empty() ? L"not given" : revocation.revocationReason) +
        (revocation.invalidityDate.empty() ? L""
                                           : L", key invalid since " + revocation.invalidityDate);
    if (revocation.status == CheckStatus::Failed && !revocation.revocationDate.empty()) {
        revocation.reason += L"; " + revokedText;
    }
    if (revocation.status == CheckStatus::Passed && report.timestamp.used &&
        !revocation.revocationDate.empty()) {
        // Revoked since: the signature was made while the certificate was good.
        revocation.reason = revokedText + L", after the proven signing time";
    } else if (revocation.status != CheckStatus::Failed) {
        revocation.revocationDate.clear();
        revocation.revocationReason.clear();
        revocation.invalidityDate.clear();
    }
    CheckReport& qualified = report.checks[QualifiedCheck];
    if (qualified.status == CheckStatus::Failed) {
        qualified.failedCriteria = QualifiedCriteriaFailed(signer);
        qualified.reason = L"not met: " + Join(qualified.failedCriteria);
    }
    MarkChainElements(findings.errorStatus, report);
}

} // namespace

std::vector<std::wstring> QualifiedCriteriaFailed(const X509Certificate& certificate) {
    std::vector<std::wstring> failed;
    if (!Passes([&] { return HasQcComplianceAndSscd(certificate); })) {
        failed.push_back(L"qcStatements");
    }
    if (!Passes([&] { return HasQualifiedNameForm(certificate); })) {
        failed.push_back(L"nameForm");
    }
    if (!Passes([&] { return HasKeyUsage(certificate, kQualifiedKeyUsage); })) {
        failed.push_back(L"keyUsage");
    }
    return failed;
}

int RevocationReasonCode(const std::wstring& name) {
    for (size_t i = 0; i < std::size(kRevocationReasons); ++i) {
        if (name == kRevocationReasons[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::wstring IsoUtc(const FILETIME& time) {
    SYSTEMTIME parts = {};
    if (!::FileTimeToSystemTime(&time, &parts)) {
        return {};
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", parts.wYear, parts.wMonth,
                  parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
    return text;
}

std::array<CheckStatus, kReportCheckCount> CheckStatusesOf(ValidationResult result) {
    // The check that failed, 5 when none did; a value outside the table never reads as passed.
    int failedCheck = ChainCheck;
    switch (result) {
    case ValidationResult::CertificateNotValid:
        failedCheck = ValidityCheck;
        break;
    case ValidationResult::ChainInvalidOther:
    case ValidationResult::ChainFailed:
        failedCheck = ChainCheck;
        break;
    case ValidationResult::RevocationUnavailable:
        failedCheck = CrlCheck;
        break;
    case ValidationResult::Revoked:
        failedCheck = RevocationCheck;
        break;
    case ValidationResult::ValidNotQualified:
        failedCheck = QualifiedCheck;
        break;
    case ValidationResult::ValidQualified:
        failedCheck = kReportCheckCount;
        break;
    }
    std::array<CheckStatus, kReportCheckCount> statuses;
    for (int check = 0; check < kReportCheckCount; ++check) {
        statuses[check] = check < failedCheck    ? CheckStatus::Passed
                          : check == failedCheck ? CheckStatus::Failed
                                                 : CheckStatus::Skipped;
    }
    return statuses;
}

ValidationReport DescribeDocument(Document& document) {
    document.OpenOnce();
    return DescribeDocument(document, WalkEntries(document.Content()));
}

namespace {

ValidationReport DescribeSelected(Document& document, const EntryListing& listing) {
    ValidationReport report;
    report.path = document.Path();
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    report.checkedAt = IsoUtc(now);
    for (CheckReport& check : report.checks) {
        check.reason = L"the container could not be decoded";
    }

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
    const PCCERT_CONTEXT signer = document.SignerCertificate();
    report.kind = !signer ? L"encrypted" : enveloped ? L"protected" : L"signed";
    if (enveloped) {
        report.recipients = RecipientsOf(report.path, document.OpenedRecipient());
    }
    report.entries = ListEntries(listing);
    if (!signer) {
        report.decoding = DecodingOutcome::NotTampered;
        for (CheckReport& check : report.checks) {
            check.reason = L"the container is not signed";
        }
        return report;
    }
    report.signer = DescribeCertificate(signer);
    report.signerName = NameOf(signer, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0);
    report.outdatedAlgorithm = document.IsSignatureAlgorithmOutdated();
    if (document.SignatureCheck() == SignatureStatus::Unsupported) {
        report.decoding = DecodingOutcome::Unsupported;
        report.unsupportedAlgorithm = AsciiText(document.UnsupportedAlgorithm());
        for (CheckReport& check : report.checks) {
            check.reason =
                L"the signature's algorithm " + report.unsupportedAlgorithm + L" is not supported";
        }
        return report;
    }
    if (!document.IsSignatureValid()) {
        report.decoding = DecodingOutcome::Tampered;
        report.signerMismatch = document.SignatureCheck() == SignatureStatus::SignerMismatch;
        for (CheckReport& check : report.checks) {
            check.reason = report.signerMismatch
                               ? L"the signature names another certificate than its signer's"
                               : L"the content does not match its signature";
        }
        return report;
    }
    report.decoding = DecodingOutcome::NotTampered;
    report.timestamp = EvaluateTimestamp(document);
    return report;
}

void RunOne(PCCERT_CONTEXT signer, ValidationReport& report) {
    try {
        Validate(signer, report);
    } catch (...) {
        // Nothing may leave a worker; a report cut short reads as not checked.
        report.validated = false;
        if (report.checksError.empty()) {
            report.checksError = report.checks[ValidityCheck].reason;
        }
    }
}

// One signature's report as it stands in the document's list.
ValidationReport SignatureEntry(const ValidationReport& report) {
    ValidationReport entry = report;
    entry.signatures.clear();
    entry.entries.clear();
    return entry;
}

// The verdict of one signature alone.
std::wstring OwnVerdict(const ValidationReport& report) {
    switch (report.decoding) {
    case DecodingOutcome::Tampered:
        return L"tampered";
    case DecodingOutcome::Unreadable:
    case DecodingOutcome::Unsupported:
        return L"unreadable";
    case DecodingOutcome::NotForThisUser:
        return L"locked";
    case DecodingOutcome::NotTampered:
        break;
    }
    if (!report.signer.present) {
        return L"unsigned";
    }
    bool passed = report.validated;
    for (const CheckReport& check : report.checks) {
        passed = passed && check.status == CheckStatus::Passed;
    }
    return passed ? L"passed" : L"failed";
}

} // namespace

ValidationReport DescribeDocument(Document& document, const EntryListing& listing) {
    ValidationReport report = DescribeSelected(document, listing);
    if (!report.signer.present) {
        return report;
    }
    const size_t selected = document.SelectedSignature();
    report.selectedSignature = selected;
    for (size_t i = 0; i < document.SignatureCount(); ++i) {
        if (i == selected) {
            report.signatures.push_back(SignatureEntry(report));
        } else {
            document.SelectSignature(i);
            report.signatures.push_back(SignatureEntry(DescribeSelected(document, listing)));
        }
        report.signatures.back().certificate =
            MHFX::Security::Cryptography::X509::X509Certificate(document.SignerCertificate());
    }
    document.SelectSignature(selected);
    return report;
}

void RunChecks(PCCERT_CONTEXT signer, ValidationReport& report) {
    RunOne(signer, report);
    for (size_t i = 0; i < report.signatures.size(); ++i) {
        ValidationReport& signature = report.signatures[i];
        if (i == report.selectedSignature) {
            MHFX::Security::Cryptography::X509::X509Certificate certificate = signature.certificate;
            signature = SignatureEntry(report);
            signature.certificate = certificate;
        } else if (signature.decoding == DecodingOutcome::NotTampered &&
                   signature.certificate.IsInitialized()) {
            RunOne(signature.certificate.Handle(), signature);
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

std::vector<ReportLine> ReportLinesOf(const ValidationReport& report, const ReportTexts& texts) {
    if (report.decoding == DecodingOutcome::Tampered) {
        return ParsedReportLines(false, texts);
    }
    if (report.decoding == DecodingOutcome::Unsupported && report.signer.present) {
        return ParsedReportLines(false, texts, true);
    }
    if (report.decoding != DecodingOutcome::NotTampered || !report.signer.present) {
        return {};
    }
    if (!report.validated) {
        return ParsedReportLines(true, texts);
    }
    return ValidatedReportLines(report.result, texts, report.outdatedAlgorithm);
}

bool HasPassed(const ValidationReport& report) {
    return VerdictOf(report) == L"passed";
}

std::wstring VerdictOf(const ValidationReport& report) {
    const std::wstring own = OwnVerdict(report);
    if (own != L"passed") {
        return own;
    }
    for (const ValidationReport& signature : report.signatures) {
        const std::wstring verdict = OwnVerdict(signature);
        if (verdict != L"passed") {
            return verdict;
        }
    }
    return own;
}

ReportPicture FinishedReportPicture(ValidationResult result, const ValidationReport* report) {
    if (report && !report->validated) {
        return ReportPicture::Warning;
    }
    const ReportPicture shown = ValidatedReportPicture(result);
    if (!report || shown != ReportPicture::Qualified) {
        return shown;
    }
    const std::wstring verdict = VerdictOf(*report);
    return verdict == L"passed"     ? shown
           : verdict == L"tampered" ? ReportPicture::Tampered
                                    : ReportPicture::Warning;
}

const wchar_t* DecodingName(DecodingOutcome outcome) {
    switch (outcome) {
    case DecodingOutcome::NotTampered:
        return L"notTampered";
    case DecodingOutcome::Tampered:
        return L"tampered";
    case DecodingOutcome::NotForThisUser:
        return L"notForThisUser";
    case DecodingOutcome::Unsupported:
        return L"unsupported";
    case DecodingOutcome::Unreadable:
        break;
    }
    return L"unreadable";
}

const wchar_t* CheckName(int check) {
    static const wchar_t* const names[] = {L"validity", L"chain", L"crl", L"revocation",
                                           L"qualified"};
    return check >= 0 && check < kReportCheckCount ? names[check] : L"";
}

const wchar_t* CheckStatusName(CheckStatus status) {
    switch (status) {
    case CheckStatus::Passed:
        return L"passed";
    case CheckStatus::Failed:
        return L"failed";
    case CheckStatus::Skipped:
        break;
    }
    return L"skipped";
}

} // namespace Dossiq::Documents
