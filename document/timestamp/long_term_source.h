// Whether and how a signature keeps long-term validation data (`dossiq create --long-term`,
// the preferences' LongTerm element): required fails the signing when data is missing,
// optional signs with a warning, off keeps none. The data needs a timestamp: without one
// there is no proven time for a kept CRL to speak about.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "document/container/message_builder.h"

namespace Dossiq::Documents {

enum class LongTermMode { Required, Optional, Off };

// "required", "optional", "off"; false for anything else.
bool ParseLongTermMode(const std::wstring& text, LongTermMode& mode);

// What could not be kept: no timestamp at all, or no current CRL for these certificates.
struct LongTermGap {
    bool noTimestamp = false;
    std::vector<std::wstring> certificates;
    FILETIME nextDue = {}; // when the issuers' next lists are due, zero when not known
};
// The user's words for a gap.
std::wstring LongTermGapText(const LongTermGap& gap);

// Told what is missing; true signs with what could be had, false ends the signing with
// ERROR_CANCELLED.
using LongTermChoice = std::function<bool(const LongTermGap& gap)>;

// No source for Off. Optional asks `onGap` only about missing CRLs (a signature without
// timestamp simply keeps nothing); Required asks about both.
ValidationDataSource LongTermSource(LongTermMode mode, LongTermChoice onGap);

} // namespace Dossiq::Documents
