#include "certificates/revocation/crl_scope.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

constexpr const char* kKnownListExtensions[] = {
    szOID_CRL_NUMBER,
    szOID_AUTHORITY_KEY_IDENTIFIER2,
    szOID_AUTHORITY_KEY_IDENTIFIER,
    szOID_ISSUER_ALT_NAME2,
    szOID_ISSUING_DIST_POINT,
    szOID_FRESHEST_CRL,
    szOID_AUTHORITY_INFO_ACCESS,
    "2.5.29.60", // expiredCertsOnCRL
};
constexpr const char* kKnownEntryExtensions[] = {szOID_CRL_REASON_CODE, "2.5.29.24",
                                                 "2.5.29.23"}; // invalidity date, hold
constexpr char kOidDeltaCrlIndicator[] = "2.5.29.27";
constexpr char kOidCertificateIssuer[] = "2.5.29.29";

bool Known(const char* oid, const char* const* begin, const char* const* end) {
    for (; begin != end; ++begin) {
        if (std::strcmp(oid, *begin) == 0) {
            return true;
        }
    }
    return false;
}

bool Understood(DWORD count, const CERT_EXTENSION* extensions, const char* const* begin,
                const char* const* end) {
    for (DWORD i = 0; i < count; ++i) {
        if (extensions[i].fCritical && !Known(extensions[i].pszObjId, begin, end)) {
            return false;
        }
    }
    return true;
}

struct LocalFreeDeleter {
    void operator()(void* p) const { ::LocalFree(p); }
};

template <typename T>
std::unique_ptr<T, LocalFreeDeleter> Decode(LPCSTR type, const CRYPT_OBJID_BLOB& value) {
    void* decoded = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(kEncoding, type, value.pbData, value.cbData, CRYPT_DECODE_ALLOC_FLAG,
                               nullptr, &decoded, &size)) {
        return nullptr;
    }
    return std::unique_ptr<T, LocalFreeDeleter>(static_cast<T*>(decoded));
}

// onlyContainsAttributeCerts ([5]) has no field in the platform's structure: read the tags
// of the SEQUENCE's members, all short-form.
bool LimitsToAttributeCertificates(const CRYPT_OBJID_BLOB& value) {
    const BYTE* p = value.pbData;
    const BYTE* end = p + value.cbData;
    auto length = [&](size_t& out) {
        if (p >= end) {
            return false;
        }
        BYTE first = *p++;
        if (first < 0x80) {
            out = first;
            return true;
        }
        const int bytes = first & 0x7F;
        if (bytes == 0 || bytes > 4 || end - p < bytes) {
            return false;
        }
        out = 0;
        for (int i = 0; i < bytes; ++i) {
            out = (out << 8) | *p++;
        }
        return true;
    };
    size_t size = 0;
    if (p >= end || *p++ != 0x30 || !length(size) || size != static_cast<size_t>(end - p)) {
        return true; // unreadable: never taken as fitting
    }
    while (p < end) {
        const BYTE tag = *p++;
        if (!length(size) || size > static_cast<size_t>(end - p)) {
            return true;
        }
        if (tag == 0x85) {
            return true;
        }
        p += size;
    }
    return false;
}

bool IsCa(PCCERT_CONTEXT certificate) {
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        ::CertFindExtension(szOID_BASIC_CONSTRAINTS2, info.cExtension, info.rgExtension);
    if (!extension) {
        return false;
    }
    const auto constraints =
        Decode<CERT_BASIC_CONSTRAINTS2_INFO>(X509_BASIC_CONSTRAINTS2, extension->Value);
    return constraints && constraints->fCA;
}

std::vector<std::wstring> Urls(const CERT_ALT_NAME_INFO& names) {
    std::vector<std::wstring> urls;
    for (DWORD i = 0; i < names.cAltEntry; ++i) {
        if (names.rgAltEntry[i].dwAltNameChoice == CERT_ALT_NAME_URL &&
            names.rgAltEntry[i].pwszURL) {
            urls.emplace_back(names.rgAltEntry[i].pwszURL);
        }
    }
    return urls;
}

// The list's distribution point is one the certificate names.
bool NamesListOf(const CRL_DIST_POINT_NAME& name, PCCERT_CONTEXT certificate) {
    if (name.dwDistPointNameChoice == CRL_DIST_POINT_NO_NAME) {
        return true;
    }
    if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME) {
        return false;
    }
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        ::CertFindExtension(szOID_CRL_DIST_POINTS, info.cExtension, info.rgExtension);
    const auto points =
        extension ? Decode<CRL_DIST_POINTS_INFO>(X509_CRL_DIST_POINTS, extension->Value) : nullptr;
    if (!points) {
        return false;
    }
    const std::vector<std::wstring> listUrls = Urls(name.FullName);
    for (DWORD i = 0; i < points->cDistPoint; ++i) {
        const CRL_DIST_POINT_NAME& point = points->rgDistPoint[i].DistPointName;
        if (point.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME) {
            continue;
        }
        for (const std::wstring& url : Urls(point.FullName)) {
            for (const std::wstring& listUrl : listUrls) {
                if (url == listUrl) {
                    return true;
                }
            }
        }
    }
    return false;
}

CrlScope ScopeOfDistributionPoint(const CERT_EXTENSION& extension, PCCERT_CONTEXT certificate) {
    const auto point = Decode<CRL_ISSUING_DIST_POINT>(X509_ISSUING_DIST_POINT, extension.Value);
    if (!point || point->fIndirectCRL || LimitsToAttributeCertificates(extension.Value) ||
        !NamesListOf(point->DistPointName, certificate)) {
        return CrlScope::Unusable;
    }
    const bool ca = IsCa(certificate);
    if ((point->fOnlyContainsUserCerts && ca) || (point->fOnlyContainsCACerts && !ca)) {
        return CrlScope::Unusable;
    }
    return point->OnlySomeReasonFlags.cbData != 0 ? CrlScope::RevocationsOnly : CrlScope::Complete;
}

} // namespace

CrlScope ScopeOf(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate) {
    const CRL_INFO& info = *crl->pCrlInfo;
    if (!Understood(info.cExtension, info.rgExtension, std::begin(kKnownListExtensions),
                    std::end(kKnownListExtensions)) ||
        ::CertFindExtension(kOidDeltaCrlIndicator, info.cExtension, info.rgExtension)) {
        return CrlScope::Unusable;
    }
    for (DWORD i = 0; i < info.cCRLEntry; ++i) {
        const CRL_ENTRY& entry = info.rgCRLEntry[i];
        if (!Understood(entry.cExtension, entry.rgExtension, std::begin(kKnownEntryExtensions),
                        std::end(kKnownEntryExtensions)) ||
            ::CertFindExtension(kOidCertificateIssuer, entry.cExtension, entry.rgExtension)) {
            return CrlScope::Unusable;
        }
    }
    const CERT_EXTENSION* point =
        ::CertFindExtension(szOID_ISSUING_DIST_POINT, info.cExtension, info.rgExtension);
    return point ? ScopeOfDistributionPoint(*point, certificate) : CrlScope::Complete;
}

} // namespace MHFX::Security::Cryptography::X509
