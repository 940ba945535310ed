// A point in time: 100-nanosecond ticks since 1 January of year 1 (proleptic Gregorian
// calendar) in the low 62 bits, and its kind in the top 2 bits. Kind 3 is a local time in
// the hour repeated when daylight saving time ends, taken as daylight time; it reads as
// Local everywhere and only matters when converting back to UTC.
#pragma once

#include <compare>
#include <cstdint>

#include "foundation/time_span.h"

namespace MHFX {

enum class DateTimeKind { Unspecified = 0, Utc = 1, Local = 2 };

enum class DayOfWeek { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };

class DateTime {
public:
    static constexpr long long MinTicks = 0;
    static constexpr long long MaxTicks = 0x2BCA2875F4373FFFLL; // 31 December 9999, last tick
    // Ticks from year 1 to 1 January 1601, where Win32 file times start.
    static constexpr long long FileTimeOffset = 0x701CE1722770000LL;

    constexpr DateTime() noexcept = default;
    // Every range error throws ArgumentOutOfRangeException naming the parameter.
    explicit DateTime(long long ticks);
    DateTime(long long ticks, DateTimeKind kind);
    DateTime(int year, int month, int day);
    DateTime(int year, int month, int day, int hour, int minute, int second,
             DateTimeKind kind = DateTimeKind::Unspecified);
    DateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
             DateTimeKind kind = DateTimeKind::Unspecified);

    static constexpr DateTime MinValue() { return DateTime(Raw{}, 0); }
    static constexpr DateTime MaxValue() { return DateTime(Raw{}, MaxTicks); }

    static DateTime UtcNow();
    static DateTime Now();
    // A UTC file time; negative or beyond year 9999 throws ArgumentOutOfRangeException.
    static DateTime FromFileTimeUtc(long long fileTime);

    static bool IsLeapYear(int year);
    static int DaysInMonth(int year, int month);

    long long Ticks() const { return static_cast<long long>(data_ & kTicksMask); }
    DateTimeKind Kind() const;

    int Year() const;
    int Month() const;
    int Day() const;
    int DayOfYear() const;
    MHFX::DayOfWeek DayOfWeek() const;
    int Hour() const;
    int Minute() const;
    int Second() const;
    int Millisecond() const;
    // Midnight of the same day, same kind.
    DateTime Date() const;
    TimeSpan TimeOfDay() const;

    // Results keep this value's kind; leaving the range throws ArgumentOutOfRangeException.
    DateTime Add(TimeSpan value) const;
    DateTime Subtract(TimeSpan value) const;
    DateTime AddTicks(long long value) const;
    DateTime AddDays(double value) const;
    DateTime AddHours(double value) const;
    DateTime AddMinutes(double value) const;
    DateTime AddSeconds(double value) const;
    DateTime AddMilliseconds(double value) const;
    // The difference of the tick counts; the kinds are not looked at.
    TimeSpan Subtract(const DateTime& value) const;

    // Through the process's time-zone rules read at start; see TimeZone.
    DateTime ToLocalTime() const;
    DateTime ToUniversalTime() const;
    // A local value is converted to UTC first; before 1601 throws ArgumentOutOfRangeException.
    long long ToFileTimeUtc() const;

    // Set only on local values made from a UTC time in the repeated hour.
    bool IsAmbiguousDaylightSavingTime() const {
        return (data_ >> kKindShift) == kLocalAmbiguousDst;
    }

    DateTime operator+(TimeSpan value) const { return Add(value); }
    DateTime operator-(TimeSpan value) const { return Subtract(value); }
    TimeSpan operator-(const DateTime& value) const { return Subtract(value); }
    DateTime& operator+=(TimeSpan value) { return *this = Add(value); }
    DateTime& operator-=(TimeSpan value) { return *this = Subtract(value); }

    // Comparison looks at the ticks only, as the kind is no part of the instant here.
    bool operator==(const DateTime& other) const { return Ticks() == other.Ticks(); }
    std::strong_ordering operator<=>(const DateTime& other) const {
        return Ticks() <=> other.Ticks();
    }

private:
    friend class TimeZone;

    struct Raw {};
    static constexpr int kKindShift = 62;
    static constexpr std::uint64_t kTicksMask = 0x3FFFFFFFFFFFFFFFULL;
    static constexpr std::uint64_t kLocalAmbiguousDst = 3;

    constexpr DateTime(Raw, std::uint64_t data) noexcept : data_(data) {}
    // Unchecked: ticks within the range and a valid kind, 3 included.
    static constexpr DateTime Make(long long ticks, std::uint64_t kind) {
        return DateTime(Raw{}, static_cast<std::uint64_t>(ticks) | (kind << kKindShift));
    }

    DateTime AddScaled(double value, int millisecondsPerUnit) const;
    int DatePart(int part) const;
    std::uint64_t KindBits() const { return data_ & ~kTicksMask; }

    std::uint64_t data_ = 0;
};

} // namespace MHFX
