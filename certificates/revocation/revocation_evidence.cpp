#include "certificates/revocation/revocation_evidence.h"

namespace MHFX::Security::Cryptography::X509 {

const wchar_t* RevocationSourceName(RevocationSource source) {
    switch (source) {
    case RevocationSource::Online:
        return L"online";
    case RevocationSource::Container:
        return L"container";
    case RevocationSource::Cache:
        return L"cache";
    case RevocationSource::None:
        break;
    }
    return L"none";
}

const wchar_t* RevocationKindName(RevocationKind kind) {
    return kind == RevocationKind::Ocsp ? L"ocsp" : L"crl";
}

const wchar_t* RevocationGapName(RevocationGap gap) {
    switch (gap) {
    case RevocationGap::NoAddress:
        return L"noAddress";
    case RevocationGap::Unreachable:
        return L"unreachable";
    case RevocationGap::Outdated:
        return L"outdated";
    case RevocationGap::ExpiredNotCovered:
        return L"expiredNotCovered";
    case RevocationGap::UnusableList:
        return L"unusableList";
    case RevocationGap::None:
        break;
    }
    return L"";
}

} // namespace MHFX::Security::Cryptography::X509
