// A signed duration in 100-nanosecond ticks.
#pragma once

#include <compare>

namespace MHFX {

class TimeSpan {
public:
    static constexpr long long TicksPerMillisecond = 10000;
    static constexpr long long TicksPerSecond = TicksPerMillisecond * 1000;
    static constexpr long long TicksPerMinute = TicksPerSecond * 60;
    static constexpr long long TicksPerHour = TicksPerMinute * 60;
    static constexpr long long TicksPerDay = TicksPerHour * 24;

    constexpr TimeSpan() noexcept = default;
    constexpr explicit TimeSpan(long long ticks) noexcept : ticks_(ticks) {}
    // The parts may be negative or beyond their usual range; a total that does not fit
    // throws OverflowException.
    TimeSpan(int hours, int minutes, int seconds);
    TimeSpan(int days, int hours, int minutes, int seconds, int milliseconds = 0);

    static TimeSpan FromMilliseconds(long long milliseconds);

    constexpr long long Ticks() const noexcept { return ticks_; }
    int Days() const { return static_cast<int>(ticks_ / TicksPerDay); }
    int Hours() const { return static_cast<int>(ticks_ / TicksPerHour % 24); }
    int Minutes() const { return static_cast<int>(ticks_ / TicksPerMinute % 60); }
    int Seconds() const { return static_cast<int>(ticks_ / TicksPerSecond % 60); }
    int Milliseconds() const { return static_cast<int>(ticks_ / TicksPerMillisecond % 1000); }
    double TotalDays() const { return static_cast<double>(ticks_) / TicksPerDay; }
    double TotalHours() const { return static_cast<double>(ticks_) / TicksPerHour; }
    double TotalMinutes() const { return static_cast<double>(ticks_) / TicksPerMinute; }
    double TotalSeconds() const { return static_cast<double>(ticks_) / TicksPerSecond; }
    double TotalMilliseconds() const { return static_cast<double>(ticks_) / TicksPerMillisecond; }

    // Both throw OverflowException when the result does not fit in 64 bits.
    TimeSpan Add(TimeSpan other) const;
    TimeSpan Subtract(TimeSpan other) const;

    TimeSpan operator+(TimeSpan other) const { return Add(other); }
    TimeSpan operator-(TimeSpan other) const { return Subtract(other); }
    TimeSpan& operator+=(TimeSpan other) { return *this = Add(other); }
    TimeSpan& operator-=(TimeSpan other) { return *this = Subtract(other); }
    constexpr auto operator<=>(const TimeSpan&) const = default;

    static constexpr TimeSpan Zero() { return TimeSpan(0); }
    static constexpr TimeSpan MaxValue() { return TimeSpan(0x7FFFFFFFFFFFFFFFLL); }
    static constexpr TimeSpan MinValue() { return TimeSpan(-0x7FFFFFFFFFFFFFFFLL - 1); }

private:
    long long ticks_ = 0;
};

} // namespace MHFX
