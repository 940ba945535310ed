#include "document/timestamp/validation_data_collector.h"

#include <algorithm>

#include "foundation/net/http_exchange.h"
#include "document/timestamp/timestamp_token.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

using MHFX::Net::HttpExchange;
using MHFX::Net::HttpOutcome;
using MHFX::Net::HttpReply;
using MHFX::Net::HttpRequest;

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CrlContextTraits {
    using Type = PCCRL_CONTEXT;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CertFreeCRLContext(value); }
};
using CrlContextHandle = MHFX::UniqueHandle<CrlContextTraits>;

// The certificates of one chain, the end certificate first; `complete` when its last one is
// a root the platform trusts.
struct Chain {
    std::vector<MHFX::CertContextHandle> certificates;
    bool complete = false;
};

Chain BuildChain(PCCERT_CONTEXT certificate, HCERTSTORE additional) {
    Chain chain;
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    MHFX::ChainContextHandle context;
    // No revocation check and nothing fetched: only the chain's certificates are wanted.
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, additional, &parameters,
                                   CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, context.put()) ||
        context.get()->cChain == 0) {
        chain.certificates.emplace_back(::CertDuplicateCertificateContext(certificate));
        return chain;
    }
    const CERT_SIMPLE_CHAIN* simple = context.get()->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement; ++i) {
        chain.certificates.emplace_back(
            ::CertDuplicateCertificateContext(simple->rgpElement[i]->pCertContext));
    }
    const DWORD errors = simple->TrustStatus.dwErrorStatus;
    chain.complete = (errors & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT)) == 0;
    return chain;
}

bool SelfIssued(PCCERT_CONTEXT certificate) {
    return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                        &certificate->pCertInfo->Issuer) != FALSE;
}

// The http(s) addresses of the certificate's CRL distribution points.
std::vector<std::wstring> CrlAddresses(PCCERT_CONTEXT certificate) {
    std::vector<std::wstring> addresses;
    const CERT_EXTENSION* extension =
        ::CertFindExtension(szOID_CRL_DIST_POINTS, certificate->pCertInfo->cExtension,
                            certificate->pCertInfo->rgExtension);
    if (extension == nullptr) {
        return addresses;
    }
    DWORD length = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_CRL_DIST_POINTS, extension->Value.pbData,
                               extension->Value.cbData, 0, nullptr, nullptr, &length)) {
        return addresses;
    }
    std::vector<BYTE> buffer(length);
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_CRL_DIST_POINTS, extension->Value.pbData,
                               extension->Value.cbData, 0, nullptr, buffer.data(), &length)) {
        return addresses;
    }
    const auto* points = reinterpret_cast<const CRL_DIST_POINTS_INFO*>(buffer.data());
    for (DWORD i = 0; i < points->cDistPoint; ++i) {
        const CRL_DIST_POINT_NAME& name = points->rgDistPoint[i].DistPointName;
        if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME) {
            continue;
        }
        for (DWORD j = 0; j < name.FullName.cAltEntry; ++j) {
            const CERT_ALT_NAME_ENTRY& entry = name.FullName.rgAltEntry[j];
            if (entry.dwAltNameChoice != CERT_ALT_NAME_URL || entry.pwszURL == nullptr) {
                continue;
            }
            const std::wstring url = entry.pwszURL;
            if (_wcsnicmp(url.c_str(), L"http://", 7) == 0 ||
                _wcsnicmp(url.c_str(), L"https://", 8) == 0) {
                addresses.push_back(url);
            }
        }
    }
    return addresses;
}

// A CRL of `issuer` (DER) that is current and carries its signature.
CrlContextHandle VerifiedCrl(const std::vector<BYTE>& bytes, PCCERT_CONTEXT issuer) {
    CrlContextHandle crl(
        ::CertCreateCRLContext(X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size())));
    if (!crl ||
        !::CertCompareCertificateName(X509_ASN_ENCODING, &issuer->pCertInfo->Subject,
                                      &crl.get()->pCrlInfo->Issuer) ||
        ::CertVerifyCRLTimeValidity(nullptr, crl.get()->pCrlInfo) != 0 ||
        !::CryptVerifyCertificateSignatureEx(
            0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
            const_cast<CRL_CONTEXT*>(crl.get()), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
            const_cast<CERT_CONTEXT*>(issuer), 0, nullptr)) {
        return {};
    }
    return crl;
}

// A full CRL covers every certificate of its issuer; one with an issuing distribution point
// may cover only some.
bool IsFullCrl(PCCRL_CONTEXT crl) {
    return ::CertFindExtension(szOID_ISSUING_DIST_POINT, crl->pCrlInfo->cExtension,
                               crl->pCrlInfo->rgExtension) == nullptr;
}

// The common name, as the timestamp line names an authority.
std::wstring CertificateName(PCCERT_CONTEXT certificate) {
    return AuthorityName(certificate);
}

class Collector {
public:
    void AddChain(const Chain& chain) {
        for (size_t i = 0; i < chain.certificates.size(); ++i) {
            PCCERT_CONTEXT certificate = chain.certificates[i].get();
            AddCertificate(certificate);
            if (i + 1 < chain.certificates.size()) {
                pending_.push_back({certificate, chain.certificates[i + 1].get()});
            } else if (!chain.complete || !SelfIssued(certificate)) {
                AddMissing(CertificateName(certificate));
            }
        }
    }

    // Each certificate's own addresses first; then, for those still without one, a full CRL
    // of their issuer fetched for another.
    CollectedValidationData Finish() {
        std::vector<const Pending*> uncovered;
        for (const Pending& item : pending_) {
            if (!FetchFor(item)) {
                uncovered.push_back(&item);
            }
        }
        for (const Pending* item : uncovered) {
            if (!HeldFullCrlOf(item->issuer)) {
                AddMissing(CertificateName(item->subject));
            }
        }
        CollectedValidationData result;
        result.data = std::move(data_);
        result.missing = std::move(missing_);
        return result;
    }

private:
    struct Pending {
        PCCERT_CONTEXT subject;
        PCCERT_CONTEXT issuer;
    };

    void AddCertificate(PCCERT_CONTEXT certificate) {
        std::vector<BYTE> encoded(certificate->pbCertEncoded,
                                  certificate->pbCertEncoded + certificate->cbCertEncoded);
        if (std::find(data_.certificates.begin(), data_.certificates.end(), encoded) ==
            data_.certificates.end()) {
            data_.certificates.push_back(std::move(encoded));
        }
    }

    void AddMissing(const std::wstring& name) {
        if (std::find(missing_.begin(), missing_.end(), name) == missing_.end()) {
            missing_.push_back(name);
        }
    }

    bool FetchFor(const Pending& item) {
        for (const std::wstring& url : CrlAddresses(item.subject)) {
            if (HeldFrom(url, item.issuer)) {
                return true;
            }
            if (tried_.end() != std::find(tried_.begin(), tried_.end(), url)) {
                continue;
            }
            tried_.push_back(url);
            HttpRequest request;
            request.url = url;
            request.timeoutMs = kCrlTimeoutMs;
            request.maxReply = kMaxCrlLength;
            HttpReply reply;
            if (HttpExchange(request, reply) != HttpOutcome::Replied || reply.status != 200) {
                continue;
            }
            CrlContextHandle crl = VerifiedCrl(reply.body, item.issuer);
            if (crl) {
                Keep(url, std::move(crl), item.issuer);
                return true;
            }
        }
        return false;
    }

    bool HeldFrom(const std::wstring& url, PCCERT_CONTEXT issuer) const {
        return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& kept) {
            return kept.url == url &&
                   ::CertCompareCertificate(X509_ASN_ENCODING, kept.issuer->pCertInfo,
                                            issuer->pCertInfo);
        });
    }

    bool HeldFullCrlOf(PCCERT_CONTEXT issuer) const {
        return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& kept) {
            return IsFullCrl(kept.crl.get()) &&
                   ::CertCompareCertificate(X509_ASN_ENCODING, kept.issuer->pCertInfo,
                                            issuer->pCertInfo);
        });
    }

    void Keep(const std::wstring& url, CrlContextHandle crl, PCCERT_CONTEXT issuer) {
        std::vector<BYTE> encoded(crl.get()->pbCrlEncoded,
                                  crl.get()->pbCrlEncoded + crl.get()->cbCrlEncoded);
        if (std::find(data_.crls.begin(), data_.crls.end(), encoded) == data_.crls.end()) {
            data_.crls.push_back(std::move(encoded));
        }
        kept_.push_back({url, std::move(crl), issuer});
    }

    struct Kept {
        std::wstring url;
        CrlContextHandle crl;
        PCCERT_CONTEXT issuer;
    };

    ValidationData data_;
    std::vector<std::wstring> missing_;
    std::vector<Pending> pending_;
    std::vector<std::wstring> tried_;
    std::vector<Kept> kept_;
};

} // namespace

CollectedValidationData CollectValidationData(PCCERT_CONTEXT signer,
                                              const std::vector<BYTE>& token) {
    const Chain signerChain = BuildChain(signer, nullptr);
    Collector collector;
    collector.AddChain(signerChain);
    Chain authorityChain;
    if (!token.empty()) {
        CRYPT_DATA_BLOB blob = {static_cast<DWORD>(token.size()), const_cast<BYTE*>(token.data())};
        MHFX::CertStoreHandle tokenStore(
            ::CertOpenStore(CERT_STORE_PROV_PKCS7, kEncoding, 0, 0, &blob));
        const TimestampToken decoded = DecodeTimestampToken(token);
        authorityChain = BuildChain(decoded.authority.get(), tokenStore.get());
        collector.AddChain(authorityChain);
    }
    return collector.Finish();
}

} // namespace Dossiq::Documents
