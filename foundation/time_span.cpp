#include "foundation/time_span.h"

#include "foundation/overflow_exception.h"
#include "foundation/resource_string.h"

namespace MHFX {

namespace {

[[noreturn]] void ThrowTooLong() {
    throw OverflowException(LoadNeutralString(IDS_TIMESPAN_OVERFLOW));
}

long long CheckedAdd(long long a, long long b) {
    long long sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        ThrowTooLong();
    }
    return sum;
}

long long CheckedMultiply(long long a, long long b) {
    long long product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        ThrowTooLong();
    }
    return product;
}

} // namespace

TimeSpan::TimeSpan(int hours, int minutes, int seconds) : TimeSpan(0, hours, minutes, seconds) {}

TimeSpan::TimeSpan(int days, int hours, int minutes, int seconds, int milliseconds) {
    // The parts fit easily in 64 bits as milliseconds; only the tick count may overflow.
    const long long totalMs =
        ((static_cast<long long>(days) * 24 * 60 * 60 + static_cast<long long>(hours) * 60 * 60 +
          static_cast<long long>(minutes) * 60 + seconds) *
         1000) +
        milliseconds;
    ticks_ = CheckedMultiply(totalMs, TicksPerMillisecond);
}

TimeSpan TimeSpan::FromMilliseconds(long long milliseconds) {
    return TimeSpan(CheckedMultiply(milliseconds, TicksPerMillisecond));
}

TimeSpan TimeSpan::Add(TimeSpan other) const {
    return TimeSpan(CheckedAdd(ticks_, other.ticks_));
}

TimeSpan TimeSpan::Subtract(TimeSpan other) const {
    long long difference = 0;
    if (__builtin_sub_overflow(ticks_, other.ticks_, &difference)) {
        ThrowTooLong();
    }
    return TimeSpan(difference);
}

} // namespace MHFX
