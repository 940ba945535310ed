#include "certificates/signer_validation.h"

#include "certificates/qualified_certificate.h"
#include "certificates/x509_chain.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

using Flags = X509ChainStatusFlags;

struct Group {
    DWORD bits;
    ValidationResult result;
};

constexpr Group kGroups[] = {
    {Flags::NotTimeValid | Flags::NotTimeNested | Flags::NotSignatureValid,
     ValidationResult::CertificateNotValid},
    {Flags::PartialChain | Flags::UntrustedRoot, ValidationResult::ChainFailed},
    {Flags::OfflineRevocation | Flags::RevocationStatusUnknown,
     ValidationResult::RevocationUnavailable},
    {Flags::Revoked, ValidationResult::Revoked},
};

// A certificate whose qualified statements cannot even be decoded does not show that it is
// qualified; the chain it passed still stands.
bool IsQualifiedOrNot(const X509Certificate& certificate) {
    try {
        return IsQualified(certificate);
    } catch (const Win32Exception&) {
        return false;
    }
}

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kCrlTimeoutMs = 15000;

// When `certificate` was revoked, from its issuer's CRL (signed by `issuer`); false when
// the list cannot be had or does not list it.
bool RevocationDate(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer, FILETIME& date) {
    DWORD length = 0;
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                             const_cast<CERT_CONTEXT*>(certificate), 0, nullptr, &length, nullptr,
                             nullptr, nullptr) ||
        length == 0) {
        return false;
    }
    std::vector<BYTE> buffer(length);
    auto* urls = reinterpret_cast<PCRYPT_URL_ARRAY>(buffer.data());
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                             const_cast<CERT_CONTEXT*>(certificate), 0, urls, &length, nullptr,
                             nullptr, nullptr)) {
        return false;
    }
    for (DWORD i = 0; i < urls->cUrl; ++i) {
        void* object = nullptr;
        if (!::CryptRetrieveObjectByUrlW(urls->rgwszUrl[i], CONTEXT_OID_CRL, 0, kCrlTimeoutMs,
                                         &object, nullptr, nullptr, nullptr, nullptr)) {
            continue;
        }
        PCCRL_CONTEXT list = static_cast<PCCRL_CONTEXT>(object);
        PCRL_ENTRY entry = nullptr;
        // Only a list its issuer signed may move a revocation.
        const bool found =
            ::CryptVerifyCertificateSignatureEx(0, kEncoding, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
                                                const_cast<CRL_CONTEXT*>(list),
                                                CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
                                                const_cast<CERT_CONTEXT*>(issuer), 0, nullptr) &&
            ::CertFindCertificateInCRL(certificate, list, 0, nullptr, &entry) && entry;
        if (found) {
            date = entry->RevocationDate;
        }
        ::CertFreeCRLContext(list);
        if (found) {
            return true;
        }
    }
    return false;
}

// Every revoked certificate of the chain was revoked after `at`.
bool RevokedOnlyAfter(PCCERT_CHAIN_CONTEXT chain, const FILETIME& at) {
    if (chain == nullptr || chain->cChain == 0) {
        return false;
    }
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement; ++i) {
        if (!(simple->rgpElement[i]->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED)) {
            continue;
        }
        FILETIME date = {};
        const PCCERT_CONTEXT issuer = i + 1 < simple->cElement
                                          ? simple->rgpElement[i + 1]->pCertContext
                                          : simple->rgpElement[i]->pCertContext;
        if (!RevocationDate(simple->rgpElement[i]->pCertContext, issuer, date) ||
            ::CompareFileTime(&date, &at) <= 0) {
            return false;
        }
    }
    return true;
}

} // namespace

ValidationResult ResultOfFailedChain(const std::vector<X509ChainStatus>& statuses) {
    for (const Group& group : kGroups) {
        for (const X509ChainStatus& status : statuses) {
            if ((status.Status & group.bits) != 0) {
                return group.result;
            }
        }
    }
    return ValidationResult::ChainInvalidOther;
}

ValidationResult ValidateSignerCertificate(const X509Certificate& certificate,
                                           ChainFindings* findings, const FILETIME* at) {
    X509Chain chain;
    chain.UseMachineContext = false;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::Online;
    chain.ChainPolicy.RevocationFlag = CERT_CHAIN_REVOCATION_CHECK_CHAIN;
    chain.ChainPolicy.VerificationFlags = 0;
    if (at) {
        chain.ChainPolicy.VerificationTime = DateTime::FromFileTimeUtc(static_cast<long long>(
            (static_cast<ULONGLONG>(at->dwHighDateTime) << 32) | at->dwLowDateTime));
    }

    chain.Build(certificate);
    chain.FillChainElements();
    DWORD errorStatus = chain.ErrorStatus();
    // Some engines' base policy passes revoked chains and chains whose revocation data is
    // out of reach; the status word still tells.
    bool passed = chain.Verify() && (errorStatus & kDecidingChainStatus) == 0;
    // Revoked after the proven signing time: the signature was made while it was good. The
    // base policy knows nothing of that, so nothing else may be wrong with the chain.
    if (at && (errorStatus & Flags::Revoked) && RevokedOnlyAfter(chain.ChainContext(), *at)) {
        errorStatus &= ~static_cast<DWORD>(Flags::Revoked);
        passed = errorStatus == 0;
    }
    if (findings) {
        findings->errorStatus = errorStatus;
        findings->statuses = ChainStatusFromErrorStatus(errorStatus);
        if (chain.ChainContext()) {
            findings->chain.reset(::CertDuplicateCertificateChain(chain.ChainContext()));
        }
    }
    if (!passed) {
        return ResultOfFailedChain(ChainStatusFromErrorStatus(errorStatus));
    }
    return IsQualifiedOrNot(certificate) ? ValidationResult::ValidQualified
                                         : ValidationResult::ValidNotQualified;
}

} // namespace MHFX::Security::Cryptography::X509
