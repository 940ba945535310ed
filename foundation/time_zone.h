// The process's time zone: the rules GetTimeZoneInformation gave when the module started,
// and the conversions between local time and UTC made with them. The record is shared by
// every thread; each conversion holds its critical section for the duration of the call.
#pragma once

#include <windows.h>

#include "foundation/date_time.h"
#include "foundation/time_span.h"

namespace MHFX {

class TimeZone {
public:
    // The daylight period of a year in local time: Start in standard time, End in daylight
    // time, Delta what daylight time adds. No daylight saving: both MinValue, Delta zero.
    struct DaylightTime {
        DateTime Start;
        DateTime End;
        TimeSpan Delta;
    };

    // A year outside 1 to 9999 throws ArgumentOutOfRangeException.
    static DaylightTime GetDaylightChanges(int year);
    // Offset of local time from UTC at `time` (zero for a UTC value).
    static TimeSpan GetUtcOffset(const DateTime& time);
    // Clamped to the range; a time in the repeated hour is marked as daylight time.
    static DateTime ToLocalTime(const DateTime& time);
    // Clamped to the range.
    static DateTime ToUniversalTime(const DateTime& time);

    // What the system reported at start.
    static DWORD ZoneId();
    static TIME_ZONE_INFORMATION Information();
};

} // namespace MHFX
