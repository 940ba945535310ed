#include "foundation/date_time.h"

#include "foundation/argument_exception.h"
#include "foundation/argument_out_of_range_exception.h"
#include "foundation/resource_string.h"
#include "foundation/time_zone.h"

namespace MHFX {

namespace {

constexpr long long kTicksPerDay = TimeSpan::TicksPerDay;
constexpr int kMillisecondsPerDay = 86400000;
// Added milliseconds must lie strictly within this bound either way.
constexpr double kMaxAddMilliseconds = 315537897599999.0;

constexpr int kDaysPerYear = 365;
constexpr int kDaysPer4Years = kDaysPerYear * 4 + 1;
constexpr int kDaysPer100Years = kDaysPer4Years * 25 - 1;
constexpr int kDaysPer400Years = kDaysPer100Years * 4 + 1;

constexpr int kDaysToMonth365[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr int kDaysToMonth366[13] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

enum DatePartKind { kYearPart, kDayOfYearPart, kMonthPart, kDayPart };

[[noreturn]] void ThrowOutOfRange(const wchar_t* parameter) {
    throw ArgumentOutOfRangeException(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE), parameter);
}

[[noreturn]] void ThrowUnrepresentable(const wchar_t* parameter) {
    throw ArgumentOutOfRangeException(LoadNeutralString(IDS_DATETIME_ADD_OUT_OF_RANGE), parameter);
}

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

void CheckKind(DateTimeKind kind) {
    const int value = static_cast<int>(kind);
    if (value < 0 || value > 2) {
        ThrowOutOfRange(L"kind");
    }
}

long long DateToTicks(int year, int month, int day) {
    if (year < 1 || year > 9999) {
        ThrowOutOfRange(L"year");
    }
    if (month < 1 || month > 12) {
        ThrowOutOfRange(L"month");
    }
    const int* days = IsLeap(year) ? kDaysToMonth366 : kDaysToMonth365;
    if (day < 1 || day > days[month] - days[month - 1]) {
        ThrowOutOfRange(L"day");
    }
    const int y = year - 1;
    const long long n = y * 365LL + y / 4 - y / 100 + y / 400 + days[month - 1] + day - 1;
    return n * kTicksPerDay;
}

long long TimeToTicks(int hour, int minute, int second) {
    if (hour < 0 || hour > 23) {
        ThrowOutOfRange(L"hour");
    }
    if (minute < 0 || minute > 59) {
        ThrowOutOfRange(L"minute");
    }
    if (second < 0 || second > 59) {
        ThrowOutOfRange(L"second");
    }
    return (hour * 3600LL + minute * 60LL + second) * TimeSpan::TicksPerSecond;
}

// The sum when it lies within 0..MaxTicks. Unsigned wrap-around makes every sum outside
// that range compare above the maximum, with no signed overflow on the way.
bool InRangeSum(long long ticks, long long value, long long& sum) {
    const std::uint64_t total =
        static_cast<std::uint64_t>(ticks) + static_cast<std::uint64_t>(value);
    if (total > static_cast<std::uint64_t>(DateTime::MaxTicks)) {
        return false;
    }
    sum = static_cast<long long>(total);
    return true;
}

} // namespace

DateTime::DateTime(long long ticks) : DateTime(ticks, DateTimeKind::Unspecified) {}

DateTime::DateTime(long long ticks, DateTimeKind kind) {
    if (ticks < MinTicks || ticks > MaxTicks) {
        ThrowOutOfRange(L"ticks");
    }
    CheckKind(kind);
    *this = Make(ticks, static_cast<std::uint64_t>(kind));
}

DateTime::DateTime(int year, int month, int day) : DateTime(year, month, day, 0, 0, 0, 0) {}

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second,
                   DateTimeKind kind)
    : DateTime(year, month, day, hour, minute, second, 0, kind) {}

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                   DateTimeKind kind) {
    const long long date = DateToTicks(year, month, day);
    const long long time = TimeToTicks(hour, minute, second);
    if (millisecond < 0 || millisecond > 999) {
        ThrowOutOfRange(L"millisecond");
    }
    CheckKind(kind);
    const long long ticks = date + time + millisecond * TimeSpan::TicksPerMillisecond;
    if (ticks < MinTicks || ticks > MaxTicks) {
        throw ArgumentException(LoadNeutralString(IDS_DATETIME_BAD_ARGUMENTS));
    }
    *this = Make(ticks, static_cast<std::uint64_t>(kind));
}

DateTime DateTime::UtcNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const long long fileTime = static_cast<long long>(
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return Make(fileTime + FileTimeOffset, static_cast<std::uint64_t>(DateTimeKind::Utc));
}

DateTime DateTime::Now() {
    return UtcNow().ToLocalTime();
}

DateTime DateTime::FromFileTimeUtc(long long fileTime) {
    if (fileTime < 0 || fileTime > MaxTicks - FileTimeOffset) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_INVALID_FILETIME), L"fileTime");
    }
    return Make(fileTime + FileTimeOffset, static_cast<std::uint64_t>(DateTimeKind::Utc));
}

bool DateTime::IsLeapYear(int year) {
    if (year < 1 || year > 9999) {
        ThrowOutOfRange(L"year");
    }
    return IsLeap(year);
}

int DateTime::DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_MONTH_RANGE), L"month");
    }
    const int* days = IsLeapYear(year) ? kDaysToMonth366 : kDaysToMonth365;
    return days[month] - days[month - 1];
}

DateTimeKind DateTime::Kind() const {
    switch (data_ >> kKindShift) {
    case 0:
        return DateTimeKind::Unspecified;
    case 1:
        return DateTimeKind::Utc;
    default:
        return DateTimeKind::Local;
    }
}

// Year, day of the year, month or day from the day number: whole 400-, 100-, 4- and 1-year
// cycles, where the last year of a 100- or 1-year run takes the leftover day.
int DateTime::DatePart(int part) const {
    int n = static_cast<int>(Ticks() / kTicksPerDay);
    const int y400 = n / kDaysPer400Years;
    n -= y400 * kDaysPer400Years;
    int y100 = n / kDaysPer100Years;
    if (y100 == 4) {
        y100 = 3;
    }
    n -= y100 * kDaysPer100Years;
    const int y4 = n / kDaysPer4Years;
    n -= y4 * kDaysPer4Years;
    int y1 = n / kDaysPerYear;
    if (y1 == 4) {
        y1 = 3;
    }
    if (part == kYearPart) {
        return y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1;
    }
    n -= y1 * kDaysPerYear;
    if (part == kDayOfYearPart) {
        return n + 1;
    }
    const bool leap = y1 == 3 && (y4 != 24 || y100 == 3);
    const int* days = leap ? kDaysToMonth366 : kDaysToMonth365;
    int month = 1;
    while (n >= days[month]) {
        ++month;
    }
    if (part == kMonthPart) {
        return month;
    }
    return n - days[month - 1] + 1;
}

int DateTime::Year() const {
    return DatePart(kYearPart);
}
int DateTime::Month() const {
    return DatePart(kMonthPart);
}
int DateTime::Day() const {
    return DatePart(kDayPart);
}
int DateTime::DayOfYear() const {
    return DatePart(kDayOfYearPart);
}

MHFX::DayOfWeek DateTime::DayOfWeek() const {
    return static_cast<MHFX::DayOfWeek>((Ticks() / kTicksPerDay + 1) % 7);
}

int DateTime::Hour() const {
    return static_cast<int>(Ticks() / TimeSpan::TicksPerHour % 24);
}
int DateTime::Minute() const {
    return static_cast<int>(Ticks() / TimeSpan::TicksPerMinute % 60);
}
int DateTime::Second() const {
    return static_cast<int>(Ticks() / TimeSpan::TicksPerSecond % 60);
}
int DateTime::Millisecond() const {
    return static_cast<int>(Ticks() / TimeSpan::TicksPerMillisecond % 1000);
}

DateTime DateTime::Date() const {
    const long long ticks = Ticks();
    return DateTime(Raw{}, static_cast<std::uint64_t>(ticks - ticks % kTicksPerDay) | KindBits());
}

TimeSpan DateTime::TimeOfDay() const {
    return TimeSpan(Ticks() % kTicksPerDay);
}

DateTime DateTime::Add(TimeSpan value) const {
    long long sum = 0;
    if (!InRangeSum(Ticks(), value.Ticks(), sum)) {
        // The explanation takes the parameter name's place in this message.
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE),
                                          LoadNeutralString(IDS_DATETIME_ADD_OUT_OF_RANGE));
    }
    return DateTime(Raw{}, static_cast<std::uint64_t>(sum) | KindBits());
}

DateTime DateTime::Subtract(TimeSpan value) const {
    long long sum = 0;
    const std::uint64_t negated = 0 - static_cast<std::uint64_t>(value.Ticks());
    if (!InRangeSum(Ticks(), static_cast<long long>(negated), sum)) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE),
                                          LoadNeutralString(IDS_DATETIME_ADD_OUT_OF_RANGE));
    }
    return DateTime(Raw{}, static_cast<std::uint64_t>(sum) | KindBits());
}

DateTime DateTime::AddTicks(long long value) const {
    long long sum = 0;
    if (!InRangeSum(Ticks(), value, sum)) {
        ThrowUnrepresentable(L"ticks");
    }
    return DateTime(Raw{}, static_cast<std::uint64_t>(sum) | KindBits());
}

// The amount becomes whole milliseconds, rounded half away from zero, before it is added.
DateTime DateTime::AddScaled(double value, int millisecondsPerUnit) const {
    const double milliseconds = value * millisecondsPerUnit + (value >= 0 ? 0.5 : -0.5);
    // Written so that NaN fails too.
    if (!(milliseconds > -kMaxAddMilliseconds && milliseconds < kMaxAddMilliseconds)) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_VALUE_TO_ADD_OUT_OF_RANGE),
                                          L"value");
    }
    return AddTicks(static_cast<long long>(milliseconds) * TimeSpan::TicksPerMillisecond);
}

DateTime DateTime::AddDays(double value) const {
    return AddScaled(value, kMillisecondsPerDay);
}
DateTime DateTime::AddHours(double value) const {
    return AddScaled(value, 3600000);
}
DateTime DateTime::AddMinutes(double value) const {
    return AddScaled(value, 60000);
}
DateTime DateTime::AddSeconds(double value) const {
    return AddScaled(value, 1000);
}
DateTime DateTime::AddMilliseconds(double value) const {
    return AddScaled(value, 1);
}

TimeSpan DateTime::Subtract(const DateTime& value) const {
    return TimeSpan(Ticks() - value.Ticks());
}

DateTime DateTime::ToLocalTime() const {
    return TimeZone::ToLocalTime(*this);
}

DateTime DateTime::ToUniversalTime() const {
    return TimeZone::ToUniversalTime(*this);
}

long long DateTime::ToFileTimeUtc() const {
    const DateTime utc = Kind() == DateTimeKind::Local ? ToUniversalTime() : *this;
    const long long fileTime = utc.Ticks() - FileTimeOffset;
    if (fileTime < 0) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_INVALID_FILETIME), L"");
    }
    return fileTime;
}

} // namespace MHFX
