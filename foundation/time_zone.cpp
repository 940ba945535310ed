#include "foundation/time_zone.h"

#include "foundation/argument_out_of_range_exception.h"
#include "foundation/resource_string.h"
#include "foundation/threading/critical_section.h"
#include "foundation/threading/sync_lock.h"

namespace MHFX {

namespace {

struct ZoneRecord {
    DWORD zoneId = TIME_ZONE_ID_UNKNOWN;
    TIME_ZONE_INFORMATION information{};
    CriticalSection lock;

    ZoneRecord() { zoneId = ::GetTimeZoneInformation(&information); }
};

ZoneRecord& Record() {
    static ZoneRecord record;
    return record;
}

// Read when the module starts, as the rules in force then are the ones used.
const struct LoadAtStart {
    LoadAtStart() { Record(); }
} loadAtStart;

struct Period {
    long long start = 0; // local ticks
    long long end = 0;
    long long delta = 0;
};

// The date of a transition rule in `year`: week 1 to 4 counts that weekday from the start of
// the month, 5 means its last occurrence.
DateTime TransitionDate(int year, const SYSTEMTIME& rule) {
    if (rule.wDay <= 4) {
        DateTime time(year, rule.wMonth, 1, rule.wHour, rule.wMinute, rule.wSecond,
                      rule.wMilliseconds, DateTimeKind::Local);
        int days = static_cast<int>(rule.wDayOfWeek) - static_cast<int>(time.DayOfWeek());
        if (days < 0) {
            days += 7;
        }
        days += 7 * (rule.wDay - 1);
        return days > 0 ? time.AddDays(days) : time;
    }
    DateTime time(year, rule.wMonth, DateTime::DaysInMonth(year, rule.wMonth), rule.wHour,
                  rule.wMinute, rule.wSecond, rule.wMilliseconds, DateTimeKind::Local);
    int days = static_cast<int>(time.DayOfWeek()) - static_cast<int>(rule.wDayOfWeek);
    if (days < 0) {
        days += 7;
    }
    return days > 0 ? time.AddDays(-days) : time;
}

// Caller holds the record's lock.
TimeZone::DaylightTime DaylightChanges(const ZoneRecord& record, int year) {
    if (year < 1 || year > 9999) {
        throw ArgumentOutOfRangeException(FormatString(LoadNeutralString(IDS_YEAR_RANGE), 1, 9999),
                                          L"year");
    }
    const TIME_ZONE_INFORMATION& info = record.information;
    if (record.zoneId == TIME_ZONE_ID_UNKNOWN || info.DaylightBias == 0) {
        return {DateTime::MinValue(), DateTime::MinValue(), TimeSpan::Zero()};
    }
    return {TransitionDate(year, info.DaylightDate), TransitionDate(year, info.StandardDate),
            TimeSpan(-static_cast<long long>(info.DaylightBias) * TimeSpan::TicksPerMinute)};
}

long long StandardOffset(const ZoneRecord& record) {
    return -static_cast<long long>(record.information.Bias) * TimeSpan::TicksPerMinute;
}

bool InPeriod(long long time, long long start, long long end) {
    // A period that runs over the year end (southern hemisphere) is the time outside it.
    if (start > end) {
        return time < end || time >= start;
    }
    return time >= start && time < end;
}

long long Clamp(long long ticks) {
    if (ticks < DateTime::MinTicks) {
        return DateTime::MinTicks;
    }
    if (ticks > DateTime::MaxTicks) {
        return DateTime::MaxTicks;
    }
    return ticks;
}

} // namespace

TimeZone::DaylightTime TimeZone::GetDaylightChanges(int year) {
    ZoneRecord& record = Record();
    SyncLock lock(record.lock);
    return DaylightChanges(record, year);
}

TimeSpan TimeZone::GetUtcOffset(const DateTime& time) {
    if (time.Kind() == DateTimeKind::Utc) {
        return TimeSpan::Zero();
    }
    ZoneRecord& record = Record();
    SyncLock lock(record.lock);
    const long long offset = StandardOffset(record);
    const DaylightTime daylight = DaylightChanges(record, time.Year());
    const long long delta = daylight.Delta.Ticks();
    if (delta == 0) {
        return TimeSpan(offset);
    }
    // In local time daylight saving runs from the skipped hour's end to the change back;
    // the hour before the change back is repeated.
    const long long start = daylight.Start.Ticks() + delta;
    const long long end = daylight.End.Ticks();
    const long long ticks = time.Ticks();
    bool daylightTime = InPeriod(ticks, start, end);
    if (daylightTime) {
        const long long repeatedStart = delta > 0 ? end - delta : start;
        const long long repeatedEnd = delta > 0 ? end : start - delta;
        if (ticks >= repeatedStart && ticks < repeatedEnd) {
            daylightTime = time.IsAmbiguousDaylightSavingTime();
        }
    }
    return TimeSpan(daylightTime ? offset + delta : offset);
}

DateTime TimeZone::ToLocalTime(const DateTime& time) {
    if (time.Kind() == DateTimeKind::Local) {
        return time;
    }
    ZoneRecord& record = Record();
    SyncLock lock(record.lock);
    long long offset = StandardOffset(record);
    bool repeated = false;
    const DaylightTime daylight = DaylightChanges(record, time.Year());
    const long long delta = daylight.Delta.Ticks();
    if (delta != 0) {
        // The daylight period in universal time.
        const long long start = daylight.Start.Ticks() - offset;
        const long long end = daylight.End.Ticks() - offset - delta;
        const long long ticks = time.Ticks();
        if (InPeriod(ticks, start, end)) {
            offset += delta;
            const long long repeatedStart = delta > 0 ? end - delta : start;
            const long long repeatedEnd = delta > 0 ? end : start - delta;
            repeated = ticks >= repeatedStart && ticks < repeatedEnd;
        }
    }
    const long long local = time.Ticks() + offset;
    if (local < DateTime::MinTicks || local > DateTime::MaxTicks) {
        return DateTime::Make(Clamp(local), static_cast<std::uint64_t>(DateTimeKind::Local));
    }
    return DateTime::Make(local, repeated ? DateTime::kLocalAmbiguousDst
                                          : static_cast<std::uint64_t>(DateTimeKind::Local));
}

DateTime TimeZone::ToUniversalTime(const DateTime& time) {
    if (time.Kind() == DateTimeKind::Utc) {
        return time;
    }
    const long long utc = time.Ticks() - GetUtcOffset(time).Ticks();
    return DateTime::Make(Clamp(utc), static_cast<std::uint64_t>(DateTimeKind::Utc));
}

DWORD TimeZone::ZoneId() {
    ZoneRecord& record = Record();
    SyncLock lock(record.lock);
    return record.zoneId;
}

TIME_ZONE_INFORMATION TimeZone::Information() {
    ZoneRecord& record = Record();
    SyncLock lock(record.lock);
    return record.information;
}

} // namespace MHFX
