// Local time and UTC through the process's time-zone rules, compared hour by hour with the
// platform's own conversion. The zone is fixed when a process starts, so the program runs
// itself again under Wine with TZ set to a zone with daylight saving and to one without.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/test_support.h"
#include "foundation/argument_out_of_range_exception.h"
#include "foundation/date_time.h"
#include "foundation/time_zone.h"

using namespace MHFX;

namespace {

SYSTEMTIME ToSystemTime(const DateTime& time) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.Year());
    st.wMonth = static_cast<WORD>(time.Month());
    st.wDay = static_cast<WORD>(time.Day());
    st.wDayOfWeek = static_cast<WORD>(time.DayOfWeek());
    st.wHour = static_cast<WORD>(time.Hour());
    st.wMinute = static_cast<WORD>(time.Minute());
    st.wSecond = static_cast<WORD>(time.Second());
    st.wMilliseconds = static_cast<WORD>(time.Millisecond());
    return st;
}

long long TicksOf(const SYSTEMTIME& st) {
    return DateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                    st.wMilliseconds)
        .Ticks();
}

std::string Show(long long ticks) {
    const DateTime t(ticks);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.Year(), t.Month(), t.Day(),
                  t.Hour(), t.Minute());
    return text;
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

// Runs in whatever zone the process has; the other zones run it through the test below.
TEST(TimeZone, EveryHourOfAYearMatchesThePlatform) {
    const TIME_ZONE_INFORMATION info = TimeZone::Information();
    const bool hasDaylight = TimeZone::ZoneId() != TIME_ZONE_ID_UNKNOWN && info.DaylightBias != 0;
    const std::string expected = EnvironmentValue("DOSSIQ_EXPECT_ZONE");
    if (!expected.empty()) {
        // Make sure the zone really is the one asked for, or the comparison proves little.
        EXPECT_EQ(expected == "daylight", hasDaylight);
        EXPECT_EQ(std::to_string(info.Bias), EnvironmentValue("DOSSIQ_EXPECT_BIAS"));
    }

    int repeated = 0;
    int daylightHours = 0;
    for (int year : {2024, 2025}) {
        const TimeZone::DaylightTime changes = TimeZone::GetDaylightChanges(year);
        if (hasDaylight) {
            // The skipped hour does not exist; it is read as standard time.
            const DateTime skipped = changes.Start.AddMinutes(30);
            EXPECT_EQ(skipped.ToUniversalTime().Ticks(),
                      skipped.Ticks() + info.Bias * TimeSpan::TicksPerMinute);
        }
        const long long first = DateTime(year, 1, 1).Ticks();
        const long long last = DateTime(year, 12, 31, 23, 0, 0).Ticks();
        for (long long ticks = first; ticks <= last; ticks += TimeSpan::TicksPerHour) {
            const DateTime utc(ticks, DateTimeKind::Utc);
            const DateTime local = utc.ToLocalTime();
            ASSERT_EQ(local.Kind(), DateTimeKind::Local);

            const SYSTEMTIME utcSt = ToSystemTime(utc);
            SYSTEMTIME peerLocal{};
            ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &utcSt, &peerLocal));
            ASSERT_EQ(local.Ticks(), TicksOf(peerLocal)) << "UTC " << Show(ticks);

            // Back to UTC exactly, the repeated hour included.
            const DateTime back = local.ToUniversalTime();
            ASSERT_EQ(back.Kind(), DateTimeKind::Utc);
            ASSERT_EQ(back.Ticks(), ticks) << "UTC " << Show(ticks);

            const long long offset = local.Ticks() - ticks;
            const long long standard =
                -static_cast<long long>(info.Bias) * TimeSpan::TicksPerMinute;
            if (offset != standard) {
                ++daylightHours;
            }
            if (local.IsAmbiguousDaylightSavingTime()) {
                ++repeated;
                // The same wall-clock time without the mark is taken as standard time.
                const DateTime plain(local.Ticks(), DateTimeKind::Local);
                EXPECT_EQ(plain.ToUniversalTime().Ticks(), local.Ticks() - standard);
            }

            // The platform's local-to-UTC conversion agrees except for the wall-clock times
            // that occur twice, which it reads as daylight time and we as standard time.
            const bool twice = local.Ticks() >= changes.End.Ticks() - changes.Delta.Ticks() &&
                               local.Ticks() < changes.End.Ticks();
            if (!twice) {
                SYSTEMTIME peerUtc{};
                const SYSTEMTIME localSt = ToSystemTime(local);
                ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &localSt, &peerUtc));
                EXPECT_EQ(TicksOf(peerUtc), ticks) << "local " << Show(local.Ticks());
            }
        }
    }
    if (hasDaylight) {
        EXPECT_EQ(repeated, 2) << "one repeated hour a year";
        EXPECT_GT(daylightHours, 24 * 100);
    } else {
        EXPECT_EQ(repeated, 0);
        EXPECT_EQ(daylightHours, 0) << "the same offset all year";
    }
}

TEST(TimeZone, MatchesThePlatformInOtherZones) {
    wchar_t exe[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::string unixExe = TestSupport::UnixPath(exe);
    ASSERT_FALSE(unixExe.empty());
    struct Zone {
        const char* tz;
        const char* kind;
        const char* bias;
    };
    for (const Zone& zone :
         {Zone{"Europe/Belgrade", "daylight", "-60"}, Zone{"Asia/Tokyo", "standard", "-540"},
          Zone{"America/Santiago", "daylight", "240"}}) {
        SCOPED_TRACE(zone.tz);
        const TestSupport::HostResult run = TestSupport::RunHost(
            std::string("TZ=") + zone.tz + " DOSSIQ_EXPECT_ZONE=" + zone.kind +
                " DOSSIQ_EXPECT_BIAS=" + zone.bias + " wine " + TestSupport::ShellQuote(unixExe) +
                " --gtest_filter=TimeZone.EveryHourOfAYearMatchesThePlatform --gtest_color=no",
            300000);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test."), std::string::npos) << run.output;
    }
}

TEST(TimeZone, DaylightChangesOfAYear) {
    const TimeZone::DaylightTime changes = TimeZone::GetDaylightChanges(2024);
    const TIME_ZONE_INFORMATION info = TimeZone::Information();
    if (TimeZone::ZoneId() == TIME_ZONE_ID_UNKNOWN || info.DaylightBias == 0) {
        EXPECT_EQ(changes.Start.Ticks(), 0);
        EXPECT_EQ(changes.End.Ticks(), 0);
        EXPECT_EQ(changes.Delta.Ticks(), 0);
    } else {
        EXPECT_EQ(changes.Delta.Ticks(), -info.DaylightBias * TimeSpan::TicksPerMinute);
        EXPECT_EQ(changes.Start.Month(), info.DaylightDate.wMonth);
        EXPECT_EQ(static_cast<int>(changes.Start.DayOfWeek()), info.DaylightDate.wDayOfWeek);
        EXPECT_EQ(changes.End.Month(), info.StandardDate.wMonth);
        EXPECT_EQ(changes.End.Hour(), info.StandardDate.wHour);
    }
    for (int year : {0, 10000}) {
        try {
            TimeZone::GetDaylightChanges(year);
            FAIL() << year;
        } catch (const ArgumentOutOfRangeException& e) {
            EXPECT_EQ(e.Message(),
                      L"Valid values are between 1 and 9999, inclusive.\r\nParameter Name: year");
        }
    }
}
