// What decided one certificate's revocation status, and the list behind it: the facts a
// report shows are read from the same verified list as the verdict.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "certificates/revocation/crl_context_handle.h"

namespace MHFX::Security::Cryptography::X509 {

enum class RevocationStatus { Good, Revoked, Unknown };

// Which kind of evidence decided.
enum class RevocationKind { Crl, Ocsp };

enum class RevocationSource {
    None,      // no list decided
    Online,    // the issuer's list, fetched now
    Container, // a list kept in the container at signing
    Cache,     // the issuer's list, fetched earlier by this process
};

// Why a status is unknown. The names are stable (JSON).
enum class RevocationGap {
    None,
    NoAddress,         // the certificate names no http or https CRL address
    Unreachable,       // no list its issuer signed could be fetched
    Outdated,          // the newest list had passed its next update
    ExpiredNotCovered, // expired since; the current list need not name it any more
    UnusableList,      // the list is a delta, scoped elsewhere or has an unknown critical extension
};

// The reason of an entry that carries no reason code, apart from "unspecified" (0).
constexpr int kNoReasonCode = -1;

struct RevocationEvidence {
    RevocationStatus status = RevocationStatus::Unknown;
    RevocationSource source = RevocationSource::None;
    RevocationGap gap = RevocationGap::None;
    RevocationKind kind = RevocationKind::Crl;
    std::wstring url;     // the address consulted, empty when it names none
    CrlContextHandle crl; // the list that decided, else the online one consulted, else null
    // When an OCSP response decided: its responder and dates, and the response itself.
    std::wstring responder;
    FILETIME producedAt = {}, thisUpdate = {}, nextUpdate = {};
    std::vector<BYTE> ocspResponse;
    bool listed = false;          // `crl` lists the certificate
    FILETIME revokedFrom = {};    // when listed: the earlier of the revocation and invalidity dates
    FILETIME revocationDate = {}; // when listed: the date on the list
    int reason = kNoReasonCode;   // when listed: the CRL reason code
};

const wchar_t* RevocationSourceName(RevocationSource source);
const wchar_t* RevocationGapName(RevocationGap gap);
const wchar_t* RevocationKindName(RevocationKind kind);

} // namespace MHFX::Security::Cryptography::X509
