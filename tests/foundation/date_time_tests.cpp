// DateTime and TimeSpan: range rules with their exact texts, arithmetic at the edges, and
// the calendar compared with the platform's own file-time conversion.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "foundation/argument_out_of_range_exception.h"
#include "foundation/date_time.h"
#include "foundation/overflow_exception.h"

using namespace MHFX;

namespace {

const std::wstring kOutOfRange = L"Specified argument was out of the range of valid values.";
const std::wstring kSuffix = L"\r\nParameter Name: ";
const std::wstring kUnrepresentable =
    L"The added or subtracted value results in an un-representable DateTime.";

// The exception a call throws, as type name, message and parameter.
struct Thrown {
    std::string type;
    std::wstring message;
    std::wstring param;
};

Thrown Catch(const std::function<void()>& call) {
    try {
        call();
    } catch (const ArgumentOutOfRangeException& e) {
        return {"ArgumentOutOfRange", e.Message(), e.ParamName()};
    } catch (const ArgumentException& e) {
        return {"Argument", e.Message(), e.ParamName()};
    } catch (const OverflowException& e) {
        return {"Overflow", e.Message(), L""};
    } catch (const Exception& e) {
        return {"Exception", e.Message(), L""};
    }
    return {"none", L"", L""};
}

void ExpectOutOfRange(const std::function<void()>& call, const std::wstring& param) {
    const Thrown thrown = Catch(call);
    EXPECT_EQ(thrown.type, "ArgumentOutOfRange");
    EXPECT_EQ(thrown.param, param);
    EXPECT_EQ(thrown.message, kOutOfRange + kSuffix + param);
}

SYSTEMTIME PlatformParts(long long fileTime) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(fileTime) >> 32);
    SYSTEMTIME st{};
    EXPECT_TRUE(::FileTimeToSystemTime(&ft, &st));
    return st;
}

} // namespace

TEST(DateTime, TickRangeAndKind) {
    EXPECT_EQ(DateTime::MaxTicks, 3155378975999999999LL);
    const DateTime last(0x2BCA2875F4373FFFLL);
    EXPECT_EQ(last.Year(), 9999);
    EXPECT_EQ(last.Month(), 12);
    EXPECT_EQ(last.Day(), 31);
    EXPECT_EQ(last.Hour(), 23);
    EXPECT_EQ(last.Millisecond(), 999);
    EXPECT_EQ(last.Kind(), DateTimeKind::Unspecified);
    ExpectOutOfRange([] { DateTime(0x2BCA2875F4373FFFLL + 1); }, L"ticks");
    ExpectOutOfRange([] { DateTime(-1); }, L"ticks");
    ExpectOutOfRange([] { DateTime(0x7FFFFFFFFFFFFFFFLL, DateTimeKind::Utc); }, L"ticks");

    EXPECT_EQ(DateTime(5, DateTimeKind::Utc).Kind(), DateTimeKind::Utc);
    EXPECT_EQ(DateTime(5, DateTimeKind::Local).Kind(), DateTimeKind::Local);
    EXPECT_EQ(DateTime(5, DateTimeKind::Local).Ticks(), 5); // the kind does not leak into ticks
    ExpectOutOfRange([] { DateTime(5, static_cast<DateTimeKind>(3)); }, L"kind");
    ExpectOutOfRange([] { DateTime(5, static_cast<DateTimeKind>(-1)); }, L"kind");
    ExpectOutOfRange([] { DateTime(2000, 1, 1, 0, 0, 0, 0, static_cast<DateTimeKind>(3)); },
                     L"kind");

    EXPECT_EQ(DateTime(1, 1, 1).Ticks(), 0);
    EXPECT_EQ(DateTime(9999, 12, 31, 23, 59, 59, 999).Ticks(), DateTime::MaxTicks - 9999);
    EXPECT_EQ(DateTime(1601, 1, 1).Ticks(), DateTime::FileTimeOffset);
}

TEST(DateTime, PartsAreChecked) {
    EXPECT_EQ(DateTime(2000, 2, 29).Day(), 29);
    EXPECT_EQ(DateTime(2004, 2, 29).DayOfYear(), 60);
    ExpectOutOfRange([] { DateTime(1900, 2, 29); }, L"day");
    ExpectOutOfRange([] { DateTime(2100, 2, 29); }, L"day");
    ExpectOutOfRange([] { DateTime(2023, 4, 31); }, L"day");
    ExpectOutOfRange([] { DateTime(2023, 1, 0); }, L"day");
    EXPECT_EQ(DateTime(2023, 5, 6, 7, 8, 9, 999).Millisecond(), 999);
    ExpectOutOfRange([] { DateTime(2023, 5, 6, 7, 8, 9, 1000); }, L"millisecond");
    ExpectOutOfRange([] { DateTime(2023, 5, 6, 7, 8, 9, -1); }, L"millisecond");

    struct Case {
        int year, month, day, hour, minute, second;
        const wchar_t* param;
    };
    for (const Case& c :
         {Case{0, 1, 1, 0, 0, 0, L"year"}, Case{10000, 1, 1, 0, 0, 0, L"year"},
          Case{2000, 0, 1, 0, 0, 0, L"month"}, Case{2000, 13, 1, 0, 0, 0, L"month"},
          Case{2000, 1, 1, 24, 0, 0, L"hour"}, Case{2000, 1, 1, -1, 0, 0, L"hour"},
          Case{2000, 1, 1, 0, 60, 0, L"minute"}, Case{2000, 1, 1, 0, 0, 60, L"second"}}) {
        SCOPED_TRACE(c.param);
        ExpectOutOfRange([&] { DateTime(c.year, c.month, c.day, c.hour, c.minute, c.second); },
                         c.param);
    }
    const DateTime t(2023, 5, 6, 23, 59, 59);
    EXPECT_EQ(t.Hour(), 23);
    EXPECT_EQ(t.Minute(), 59);
    EXPECT_EQ(t.Second(), 59);
}

TEST(DateTime, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(DateTime::IsLeapYear(2000));
    EXPECT_TRUE(DateTime::IsLeapYear(2024));
    EXPECT_FALSE(DateTime::IsLeapYear(1900));
    EXPECT_FALSE(DateTime::IsLeapYear(2023));
    ExpectOutOfRange([] { DateTime::IsLeapYear(0); }, L"year");
    ExpectOutOfRange([] { DateTime::IsLeapYear(10000); }, L"year");

    EXPECT_EQ(DateTime::DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DateTime::DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DateTime::DaysInMonth(2023, 12), 31);
    EXPECT_EQ(DateTime::DaysInMonth(2023, 11), 30);
    const Thrown month = Catch([] { DateTime::DaysInMonth(2023, 13); });
    EXPECT_EQ(month.type, "ArgumentOutOfRange");
    EXPECT_EQ(month.message, L"Month must be between one and twelve." + kSuffix + L"month");
    EXPECT_EQ(month.param, L"month");
}

// The calendar against FileTimeToSystemTime for random instants. Years before 1601 are
// checked through the 400-year cycle, which repeats dates and weekdays exactly.
TEST(DateTime, PartsMatchThePlatformForRandomTicks) {
    constexpr long long kCycle = 146097LL * TimeSpan::TicksPerDay;
    std::mt19937_64 random(20240229);
    std::uniform_int_distribution<long long> anyTick(0, DateTime::MaxTicks);
    for (int i = 0; i < 20000; ++i) {
        const long long ticks = anyTick(random);
        int shift = 0;
        long long fileTime = ticks - DateTime::FileTimeOffset;
        while (fileTime < 0) {
            fileTime += kCycle;
            shift += 400;
        }
        const SYSTEMTIME st = PlatformParts(fileTime);
        const DateTime t(ticks);
        SCOPED_TRACE(ticks);
        ASSERT_EQ(t.Year() + shift, st.wYear);
        ASSERT_EQ(t.Month(), st.wMonth);
        ASSERT_EQ(t.Day(), st.wDay);
        ASSERT_EQ(static_cast<int>(t.DayOfWeek()), st.wDayOfWeek);
        ASSERT_EQ(t.Hour(), st.wHour);
        ASSERT_EQ(t.Minute(), st.wMinute);
        ASSERT_EQ(t.Second(), st.wSecond);
        ASSERT_EQ(t.Millisecond(), st.wMilliseconds);
        // And back from the parts to the same millisecond.
        const DateTime rebuilt(t.Year(), st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                               st.wMilliseconds);
        ASSERT_EQ(rebuilt.Ticks(), ticks - ticks % TimeSpan::TicksPerMillisecond);
        ASSERT_EQ(t.Date().Ticks() + t.TimeOfDay().Ticks(), ticks);
    }
    EXPECT_EQ(DateTime(1, 1, 1).DayOfWeek(), DayOfWeek::Monday);
    EXPECT_EQ(DateTime(2000, 2, 29).DayOfWeek(), DayOfWeek::Tuesday);
    EXPECT_EQ(DateTime(9999, 12, 31).DayOfWeek(), DayOfWeek::Friday);
}

TEST(DateTime, AddingStaysInRange) {
    const DateTime last(DateTime::MaxTicks, DateTimeKind::Utc);
    const DateTime first(0, DateTimeKind::Local);
    EXPECT_EQ(first.AddTicks(DateTime::MaxTicks).Ticks(), DateTime::MaxTicks);
    EXPECT_EQ(first.AddTicks(DateTime::MaxTicks).Kind(), DateTimeKind::Local);

    const Thrown ticks = Catch([&] { last.AddTicks(1); });
    EXPECT_EQ(ticks.type, "ArgumentOutOfRange");
    EXPECT_EQ(ticks.message, kUnrepresentable + kSuffix + L"ticks");
    EXPECT_EQ(Catch([&] { first.AddTicks(-1); }).message, kUnrepresentable + kSuffix + L"ticks");
    // Large steps must not wrap around into the range.
    EXPECT_EQ(Catch([&] { last.AddTicks(std::numeric_limits<long long>::max()); }).param, L"ticks");
    EXPECT_EQ(Catch([&] { first.AddTicks(std::numeric_limits<long long>::min()); }).param,
              L"ticks");

    // Adding a span: the explanation stands where the parameter name goes.
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [&] { last.Add(TimeSpan(1)); },
             [&] { first.Subtract(TimeSpan(1)); },
             [&] { last.Add(TimeSpan::MaxValue()); },
             [&] { first.Add(TimeSpan::MinValue()); },
             [&] { first.Subtract(TimeSpan::MinValue()); },
             [&] { (void)(last + TimeSpan(1)); },
         }) {
        const Thrown span = Catch(call);
        EXPECT_EQ(span.type, "ArgumentOutOfRange");
        EXPECT_EQ(span.message, kOutOfRange + kSuffix + kUnrepresentable);
        EXPECT_EQ(span.param, kUnrepresentable);
    }
    const DateTime sum = last.Subtract(TimeSpan(DateTime::MaxTicks));
    EXPECT_EQ(sum.Ticks(), 0);
    EXPECT_EQ(sum.Kind(), DateTimeKind::Utc);
    EXPECT_EQ((DateTime(2000, 3, 1) - DateTime(2000, 2, 28)).Ticks(), 2 * TimeSpan::TicksPerDay);
    EXPECT_EQ((DateTime(2000, 2, 28) - DateTime(2000, 3, 1)).Days(), -2);
}

TEST(DateTime, FractionalAdditionRoundsAndLimits) {
    const DateTime base(2000, 1, 1);
    EXPECT_EQ(base.AddMilliseconds(0.5).Ticks() - base.Ticks(), TimeSpan::TicksPerMillisecond);
    EXPECT_EQ(base.AddMilliseconds(-0.5).Ticks() - base.Ticks(), -TimeSpan::TicksPerMillisecond);
    EXPECT_EQ(base.AddMilliseconds(0.49).Ticks(), base.Ticks());
    EXPECT_EQ(base.AddDays(1.5), DateTime(2000, 1, 2, 12, 0, 0));
    EXPECT_EQ(base.AddDays(-1), DateTime(1999, 12, 31));
    EXPECT_EQ(base.AddHours(25).Hour(), 1);
    EXPECT_EQ(base.AddMinutes(90).Minute(), 30);
    EXPECT_EQ(base.AddSeconds(61).Second(), 1);

    const DateTime first(0);
    EXPECT_EQ(first.AddMilliseconds(315537897599998.0).Ticks(),
              315537897599998LL * TimeSpan::TicksPerMillisecond);
    const std::wstring valueText = L"Value to add was out of range." + kSuffix + L"value";
    for (double value :
         {315537897599999.0, -315537897599999.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
          std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(value);
        const Thrown thrown = Catch([&] { first.AddMilliseconds(value); });
        EXPECT_EQ(thrown.type, "ArgumentOutOfRange");
        EXPECT_EQ(thrown.message, valueText);
    }
    EXPECT_EQ(Catch([&] { base.AddDays(1e7); }).message, valueText);
    // Within the bound but beyond the calendar: the tick rule speaks.
    EXPECT_EQ(Catch([&] { base.AddDays(3000000); }).message, kUnrepresentable + kSuffix + L"ticks");
}

TEST(DateTime, FileTimesAndTheClock) {
    EXPECT_EQ(DateTime(1601, 1, 1, 0, 0, 0, DateTimeKind::Utc).ToFileTimeUtc(), 0);
    EXPECT_EQ(DateTime(1601, 1, 1, 0, 0, 1, DateTimeKind::Utc).ToFileTimeUtc(),
              TimeSpan::TicksPerSecond);
    for (const DateTime& early : {DateTime(1600, 12, 31, 23, 59, 59, 999, DateTimeKind::Utc),
                                  DateTime(DateTime::FileTimeOffset - 1, DateTimeKind::Utc),
                                  DateTime(0, DateTimeKind::Unspecified)}) {
        const Thrown thrown = Catch([&] { early.ToFileTimeUtc(); });
        EXPECT_EQ(thrown.type, "ArgumentOutOfRange");
        EXPECT_EQ(thrown.message, L"Not a valid Win32 FileTime." + kSuffix);
        EXPECT_EQ(thrown.param, L"");
    }
    const DateTime fromFile = DateTime::FromFileTimeUtc(123456789);
    EXPECT_EQ(fromFile.Kind(), DateTimeKind::Utc);
    EXPECT_EQ(fromFile.ToFileTimeUtc(), 123456789);
    EXPECT_EQ(Catch([] { DateTime::FromFileTimeUtc(-1); }).param, L"fileTime");
    EXPECT_EQ(Catch([] { DateTime::FromFileTimeUtc(DateTime::MaxTicks); }).param, L"fileTime");

    auto platformNow = [] {
        FILETIME ft;
        ::GetSystemTimeAsFileTime(&ft);
        return static_cast<long long>(static_cast<unsigned long long>(ft.dwHighDateTime) << 32 |
                                      ft.dwLowDateTime);
    };
    const long long before = platformNow();
    const DateTime utc = DateTime::UtcNow();
    const long long after = platformNow();
    EXPECT_EQ(utc.Kind(), DateTimeKind::Utc);
    EXPECT_GE(utc.ToFileTimeUtc(), before);
    EXPECT_LE(utc.ToFileTimeUtc(), after);

    const DateTime local = DateTime::Now();
    EXPECT_EQ(local.Kind(), DateTimeKind::Local);
    // A local value goes through UTC on its way to a file time.
    const long long localFileTime = local.ToFileTimeUtc();
    EXPECT_GE(localFileTime, before);
    EXPECT_LE(localFileTime, platformNow());
}

TEST(TimeSpan, PartsAndOverflow) {
    const TimeSpan span(1, 2, 3, 4, 5);
    EXPECT_EQ(span.Ticks(), ((((1LL * 24 + 2) * 60 + 3) * 60 + 4) * 1000 + 5) * 10000);
    EXPECT_EQ(span.Days(), 1);
    EXPECT_EQ(span.Hours(), 2);
    EXPECT_EQ(span.Minutes(), 3);
    EXPECT_EQ(span.Seconds(), 4);
    EXPECT_EQ(span.Milliseconds(), 5);
    EXPECT_EQ(TimeSpan(0, 0, 90).TotalMinutes(), 1.5);
    EXPECT_EQ(TimeSpan::FromMilliseconds(15000).TotalMilliseconds(), 15000.0);
    EXPECT_EQ((TimeSpan(5) - TimeSpan(7)).Ticks(), -2);
    EXPECT_EQ((TimeSpan::MaxValue() + TimeSpan::MinValue()).Ticks(), -1);
    EXPECT_LT(TimeSpan(-1), TimeSpan::Zero());

    const std::wstring tooLong = L"TimeSpan overflowed because the duration is too long.";
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [] { TimeSpan::MaxValue().Add(TimeSpan(1)); },
             [] { TimeSpan::MinValue().Add(TimeSpan(-1)); },
             [] { TimeSpan::MinValue().Add(TimeSpan::MinValue()); },
             [] { TimeSpan::MinValue().Subtract(TimeSpan(1)); },
             [] { TimeSpan::MaxValue().Subtract(TimeSpan(-1)); },
             [] { TimeSpan(20000000, 0, 0, 0); },
             [] { TimeSpan::FromMilliseconds(std::numeric_limits<long long>::max() / 1000); },
         }) {
        const Thrown thrown = Catch(call);
        EXPECT_EQ(thrown.type, "Overflow");
        EXPECT_EQ(thrown.message, tooLong);
    }
    TimeSpan accumulated(TimeSpan::MaxValue().Ticks() - 1);
    accumulated += TimeSpan(1);
    EXPECT_EQ(accumulated, TimeSpan::MaxValue());
    EXPECT_THROW(accumulated += TimeSpan(1), OverflowException);
    EXPECT_EQ(accumulated, TimeSpan::MaxValue()); // unchanged by the failed addition
}
