#include "certificates/x509_chain.h"

#include <string>

#include "certificates/memory_store.h"
#include "certificates/x509_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

// CERT_CHAIN_PARA with the fields up to the cache-resync time: the 80-byte record the engine
// is handed, whatever the headers in use declare.
struct ChainParameters {
    DWORD cbSize;
    CERT_USAGE_MATCH RequestedUsage;
    CERT_USAGE_MATCH RequestedIssuancePolicy;
    DWORD dwUrlRetrievalTimeout;
    BOOL fCheckRevocationFreshnessTime;
    DWORD dwRevocationFreshnessTime;
    LPFILETIME pftCacheResync;
};
static_assert(sizeof(ChainParameters) == 80, "the engine expects the x64 record");

// The narrow identifier strings of an OidCollection, alive as long as this object.
class IdentifierArray {
public:
    explicit IdentifierArray(const OidCollection& oids) {
        for (const Oid& oid : oids) {
            std::string narrow;
            for (wchar_t c : oid.Value) {
                narrow += static_cast<char>(c); // identifiers are ASCII
            }
            strings_.push_back(std::move(narrow));
        }
        for (std::string& s : strings_) {
            pointers_.push_back(s.data());
        }
    }

    void FillUsage(CERT_USAGE_MATCH& usage) {
        if (pointers_.empty()) {
            return;
        }
        usage.dwType = USAGE_MATCH_TYPE_AND;
        usage.Usage.cUsageIdentifier = static_cast<DWORD>(pointers_.size());
        usage.Usage.rgpszUsageIdentifier = pointers_.data();
    }

private:
    std::vector<std::string> strings_;
    std::vector<LPSTR> pointers_;
};

// A negative limit counts as none; one beyond the field's range is cut to its maximum.
DWORD Milliseconds(const TimeSpan& timeout) {
    const long long milliseconds = timeout.Ticks() / TimeSpan::TicksPerMillisecond;
    if (milliseconds <= 0) {
        return 0;
    }
    return milliseconds > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<DWORD>(milliseconds);
}

} // namespace

void X509Chain::Build(const X509Certificate& certificate) {
    if (!certificate.IsInitialized()) {
        throw X509Exception(LoadNeutralString(IDS_CERTIFICATE_HANDLE_INVALID));
    }
    chainContext_.reset();
    ChainElements.Clear();

    ChainParameters parameters = {};
    parameters.cbSize = sizeof parameters;
    IdentifierArray applicationPolicy(ChainPolicy.ApplicationPolicy);
    IdentifierArray certificatePolicy(ChainPolicy.CertificatePolicy);
    applicationPolicy.FillUsage(parameters.RequestedUsage);
    certificatePolicy.FillUsage(parameters.RequestedIssuancePolicy);
    parameters.dwUrlRetrievalTimeout = Milliseconds(ChainPolicy.UrlRetrievalTimeout);

    CertStoreHandle extraStore;
    if (!ChainPolicy.ExtraStore.Empty()) {
        extraStore = CreateMemoryStore(ChainPolicy.ExtraStore);
    }
    const long long utc = ChainPolicy.VerificationTime.ToFileTimeUtc();
    FILETIME time = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};

    DWORD flags = 0;
    if (ChainPolicy.RevocationMode != X509RevocationMode::NoCheck) {
        flags = ChainPolicy.RevocationFlag;
        if (ChainPolicy.RevocationMode == X509RevocationMode::Offline) {
            flags |= CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY;
        }
    }

    if (ChainPolicy.DisableCertificateDownloads) {
        flags |= CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AIA;
    }

    const HCERTCHAINENGINE engine = UseMachineContext ? HCCE_LOCAL_MACHINE : HCCE_CURRENT_USER;
    PCCERT_CHAIN_CONTEXT context = nullptr;
    const BOOL built = ::CertGetCertificateChain(
        engine, certificate.Handle(), &time, extraStore.get(),
        reinterpret_cast<PCERT_CHAIN_PARA>(&parameters), flags, nullptr, &context);
    const DWORD error = ::GetLastError();
    chainContext_.reset(context);
    extraStore.reset();
    if (!built) {
        chainContext_.reset();
        throw Win32Exception(error);
    }
}

void X509Chain::FillChainElements() {
    ChainElements.Clear();
    const CERT_CHAIN_CONTEXT* context = chainContext_.get();
    if (context == nullptr) {
        return;
    }
    for (DWORD i = 0; i < context->cChain; ++i) {
        const CERT_SIMPLE_CHAIN* simple = context->rgpChain[i];
        for (DWORD j = 0; j < simple->cElement; ++j) {
            const CERT_CHAIN_ELEMENT* source = simple->rgpElement[j];
            X509ChainElement element;
            element.Certificate = X509Certificate(source->pCertContext);
            element.ChainElementStatus =
                ChainStatusFromErrorStatus(source->TrustStatus.dwErrorStatus);
            if (source->pwszExtendedErrorInfo != nullptr) {
                element.Information = source->pwszExtendedErrorInfo;
            }
            ChainElements.Add(std::move(element));
        }
    }
}

DWORD X509Chain::ErrorStatus() const noexcept {
    return chainContext_ ? chainContext_.get()->TrustStatus.dwErrorStatus : 0;
}

std::vector<X509ChainStatus> X509Chain::ChainStatus() const {
    return ChainStatusFromErrorStatus(ErrorStatus());
}

bool X509Chain::Verify() const {
    if (!chainContext_) {
        return false;
    }
    CERT_CHAIN_POLICY_PARA para = {};
    static_assert(sizeof para == 16, "the policy check expects the x64 record");
    para.cbSize = sizeof para;
    para.dwFlags = ChainPolicy.VerificationFlags;
    CERT_CHAIN_POLICY_STATUS status = {};
    static_assert(sizeof status == 24, "the policy check expects the x64 record");
    status.cbSize = sizeof status;
    ThrowLastErrorIf(!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE,
                                                         chainContext_.get(), &para, &status));
    return status.dwError == 0;
}

} // namespace MHFX::Security::Cryptography::X509
