// The times the chain engine is given. Kept behind this seam until the Foundation's date and
// time values are available to the certificate layer: a UTC file time and a millisecond
// count.
#pragma once

#include <windows.h>

namespace MHFX::Security::Cryptography::X509 {

using ChainTime = FILETIME; // UTC

inline ChainTime CurrentChainTime() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return now;
}

inline FILETIME ToUtcFileTime(const ChainTime& time) {
    return time;
}

struct ChainTimeout {
    DWORD Milliseconds = 0;
    bool IsZero() const { return Milliseconds == 0; }
};

inline DWORD ToMilliseconds(const ChainTimeout& timeout) {
    return timeout.Milliseconds;
}

} // namespace MHFX::Security::Cryptography::X509
