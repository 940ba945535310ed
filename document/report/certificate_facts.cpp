#include "document/report/certificate_facts.h"

#include <cstdio>
#include <cwchar>

#include "certificates/certificate_purpose.h"
#include "certificates/qualified_certificate.h"
#include "document/container/envelope.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/file_stream.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::HasKeyUsage;
using MHFX::Security::Cryptography::X509::HasQcComplianceAndSscd;
using MHFX::Security::Cryptography::X509::HasQualifiedNameForm;
using MHFX::Security::Cryptography::X509::kQualifiedKeyUsage;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// An envelope's recipients: read from this much of the file's start, and only so many
// looked for in the stores (as many as an envelope is made for).
constexpr size_t kRecipientHead = 256 * 1024;
constexpr size_t kDescribedRecipients = kMostRecipients;

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

std::wstring NameText(CERT_NAME_BLOB name) {
    const DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD length = ::CertNameToStrW(kEncoding, &name, type, nullptr, 0);
    std::wstring text(length, L'\0');
    ::CertNameToStrW(kEncoding, &name, type, text.data(), length);
    text.resize(length ? length - 1 : 0);
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
        named.issuer = NameText(issuer);
        named.serial =
            Hex(recipient.serial.data(), static_cast<DWORD>(recipient.serial.size()), true);
    } else {
        named.serial =
            Hex(recipient.keyId.data(), static_cast<DWORD>(recipient.keyId.size()), false);
    }
    return named;
}

template <typename Test> bool Passes(Test test) {
    try {
        return test();
    } catch (const MHFX::Exception&) {
        return false;
    }
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

std::wstring DisplayNameOf(PCCERT_CONTEXT context) {
    return NameOf(context, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0);
}

std::wstring CrlIssuerName(PCCRL_CONTEXT crl) {
    return NameText(crl->pCrlInfo->Issuer);
}

std::vector<QualifiedCriterion> QualifiedCriteriaFailed(const X509Certificate& certificate) {
    std::vector<QualifiedCriterion> failed;
    if (!Passes([&] { return HasQcComplianceAndSscd(certificate); })) {
        failed.push_back(QualifiedCriterion::QcStatements);
    }
    if (!Passes([&] { return HasQualifiedNameForm(certificate); })) {
        failed.push_back(QualifiedCriterion::NameForm);
    }
    if (!Passes([&] { return HasKeyUsage(certificate, kQualifiedKeyUsage); })) {
        failed.push_back(QualifiedCriterion::KeyUsage);
    }
    return failed;
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

} // namespace Dossiq::Documents
