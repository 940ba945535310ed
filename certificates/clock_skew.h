// How far the clocks of an authority (a CA, an OCSP responder, a time-stamping authority) and
// of this machine may differ: a time up to this much after another still counts as not later.
#pragma once

#include <windows.h>

namespace MHFX::Security::Cryptography::X509 {

constexpr ULONGLONG kClockSkew = 5ull * 60 * 10000000; // five minutes, in FILETIME units

// `time` moved later by the allowance.
inline FILETIME AllowingClockSkew(const FILETIME& time) {
    const ULONGLONG value =
        ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) + kClockSkew;
    return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// `time` is no later than `reference`, allowing for the clocks.
inline bool NotLaterAllowingSkew(const FILETIME& time, const FILETIME& reference) {
    const FILETIME latest = AllowingClockSkew(reference);
    return ::CompareFileTime(&time, &latest) <= 0;
}

} // namespace MHFX::Security::Cryptography::X509
