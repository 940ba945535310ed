#include "document/timestamp/validation_data_collector.h"

#include <algorithm>

#include "certificates/revocation/crl_scope.h"
#include "certificates/revocation/ocsp_client.h"
#include "certificates/revocation/verified_crl_cache.h"
#include "document/timestamp/timestamp_token.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

namespace {

using MHFX::Security::Cryptography::X509::CrlContextHandle;
using MHFX::Security::Cryptography::X509::CrlScope;
using MHFX::Security::Cryptography::X509::OcspAnswer;
using MHFX::Security::Cryptography::X509::OcspClient;
using MHFX::Security::Cryptography::X509::OcspQuery;
using MHFX::Security::Cryptography::X509::ScopeOf;
using MHFX::Security::Cryptography::X509::VerifiedCrlCache;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

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

// The common name, as the timestamp line names an authority.
std::wstring CertificateName(PCCERT_CONTEXT certificate) {
    return AuthorityName(certificate);
}

class Collector {
public:
    // `after`: the token's time, which the kept lists must postdate to prove anything later.
    explicit Collector(const FILETIME* after) : hasTime_(after != nullptr) {
        if (after) {
            after_ = *after;
        }
    }

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
            if (!HeldFullCrlOf(item->subject, item->issuer)) {
                AddMissing(CertificateName(item->subject));
            }
        }
        CollectedValidationData result;
        result.data = std::move(data_);
        result.missing = std::move(missing_);
        result.nextDue = nextDue_;
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

    // Through the checker's own cache and verification: what is kept is what a check would
    // read. A list issued before the token is kept, but proves the signing time only for a
    // revocation it shows.
    bool FetchFor(const Pending& item) { return AnswerFor(item) || ListFor(item); }

    // A response its responder gave now, after the token, asked past any kept copy.
    bool AnswerFor(const Pending& item) {
        if (OcspClient::OcspAddresses(item.subject).empty()) {
            return false;
        }
        OcspQuery query;
        query.deadline = deadline_;
        query.useCache = false;
        const OcspAnswer answer =
            OcspClient::Shared().Find(item.subject, item.issuer, query).answer;
        if (!answer.verified || answer.responderNeedsCheck ||
            answer.status == OcspAnswer::Status::Unknown ||
            (hasTime_ && ::CompareFileTime(&answer.thisUpdate, &after_) < 0)) {
            return false;
        }
        if (std::find(data_.ocspResponses.begin(), data_.ocspResponses.end(), answer.encoded) ==
            data_.ocspResponses.end()) {
            data_.ocspResponses.push_back(answer.encoded);
        }
        return true;
    }

    bool ListFor(const Pending& item) {
        VerifiedCrlCache::Found found = VerifiedCrlCache::Shared().Find(
            item.subject, item.issuer, deadline_, hasTime_ ? &after_ : nullptr, true);
        if (!found.crl || ScopeOf(found.crl.get(), item.subject) != CrlScope::Complete) {
            return false;
        }
        const CRL_INFO& info = *found.crl.get()->pCrlInfo;
        const bool fresh = !hasTime_ || ::CompareFileTime(&info.ThisUpdate, &after_) >= 0;
        const bool dated = info.NextUpdate.dwHighDateTime || info.NextUpdate.dwLowDateTime;
        if (!fresh && dated &&
            ((!nextDue_.dwHighDateTime && !nextDue_.dwLowDateTime) ||
             ::CompareFileTime(&info.NextUpdate, &nextDue_) < 0)) {
            nextDue_ = info.NextUpdate;
        }
        Keep(found.url, std::move(found.crl), item.issuer);
        return fresh;
    }

    bool HeldFullCrlOf(PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer) const {
        return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& kept) {
            return ScopeOf(kept.crl.get(), subject) == CrlScope::Complete &&
                   (!hasTime_ ||
                    ::CompareFileTime(&kept.crl.get()->pCrlInfo->ThisUpdate, &after_) >= 0) &&
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

    bool hasTime_;
    FILETIME after_ = {};
    ULONGLONG deadline_ = ::GetTickCount64() + kCollectionBudgetMs;
    ValidationData data_;
    std::vector<std::wstring> missing_;
    FILETIME nextDue_ = {};
    std::vector<Pending> pending_;
    std::vector<Kept> kept_;
};

} // namespace

CollectedValidationData CollectValidationData(PCCERT_CONTEXT signer,
                                              const std::vector<BYTE>& token) {
    const Chain signerChain = BuildChain(signer, nullptr);
    if (token.empty()) {
        Collector collector(nullptr);
        collector.AddChain(signerChain);
        return collector.Finish();
    }
    CRYPT_DATA_BLOB blob = {static_cast<DWORD>(token.size()), const_cast<BYTE*>(token.data())};
    MHFX::CertStoreHandle tokenStore(
        ::CertOpenStore(CERT_STORE_PROV_PKCS7, kEncoding, 0, 0, &blob));
    const TimestampToken decoded = DecodeTimestampToken(token);
    Collector collector(&decoded.time);
    collector.AddChain(signerChain);
    const Chain authorityChain = BuildChain(decoded.authority.get(), tokenStore.get());
    collector.AddChain(authorityChain);
    return collector.Finish();
}

} // namespace Dossiq::Documents
