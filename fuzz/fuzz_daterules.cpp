// The date rules on any mode, schedule text, time of day, weekend flag and "now": a success is
// strictly later than now and, where the weekend rule applies, not on a weekend; a failure names
// one of the rules' reasons.
#include "fuzzsupport.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedule/scanformat.h"
#include "schedule/schedule.h"

#include <cstdlib>
#include <ctime>

namespace {

const QStringList kReasons = {
    QStringLiteral("起始日期不正确，今年指定日期开始，如果周末前推则起始日期需避开周末！"),
    QStringLiteral("起始日期不正确，本月指定日期开始，如果周末前推则起始日期需避开周末！"),
    QStringLiteral("起始日期不正确，如果周末前推则起始日期需避开周末！"),
    QStringLiteral("矫正时间发生错误，请注意格式要求！"),
    QStringLiteral("间隔天数有错误，请注意格式要求！"),
    QStringLiteral("间隔月数有错误，请注意格式要求！"),
    QStringLiteral("选项错误！"),
};

// Small values most of the time, so the fuzzer reaches the interesting ranges quickly.
int Field(std::int32_t raw, int spread)
{
    return (raw & 1) ? raw >> 1 : (raw >> 1) % spread;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int mode = Field(input.TakeInt32(), 6) - 1;
    const int hour = Field(input.TakeInt32(), 26) - 1;
    const int minute = Field(input.TakeInt32(), 62) - 1;
    const int weekend = input.TakeInt32();
    const std::int64_t rawNow = input.TakeInt64();
    // Mostly between 1900 and 3100; sometimes any 64-bit value at all.
    g_tNow = (rawNow & 1) ? rawNow >> 1 : qint64(-2208988800) + (rawNow >> 1) % qint64(37868342400);
    const int buildYear = Field(input.TakeInt32(), 1200) + 1900;
    const int buildMonth = Field(input.TakeInt32(), 15) - 1;
    const int buildDay = Field(input.TakeInt32(), 34) - 1;
    const QString spec = input.RestAsLatin1();

    // The builder alone: a failure returns now; a success lies in the month asked for or, moved
    // off a weekend, at most two days before it.
    bool built = true;
    const qint64 b = BuildTriggerTime(buildYear, buildMonth, buildDay, hour, minute, built, weekend);
    if (!built) {
        FUZZ_CHECK(b == g_tNow);
    } else {
        LocalTime bt;
        FUZZ_CHECK(ToLocalTime(b, bt));
        const bool inMonth = bt.year == buildYear && bt.month == buildMonth;
        FUZZ_CHECK(inMonth || (weekend != 0 && bt.day >= 27));
        if (weekend != 0)
            FUZZ_CHECK(bt.weekday != 0 && bt.weekday != 6);
    }

    bool ok = true;
    QString error;
    const qint64 t = ComputeNextTrigger(mode, spec, hour, minute, weekend, ok, error);
    if (!ok) {
        FUZZ_CHECK(kReasons.contains(error));
        return 0;
    }
    FUZZ_CHECK(error.isEmpty());
    FUZZ_CHECK(mode >= 0 && mode <= 3);
    FUZZ_CHECK(t > g_tNow);
    LocalTime lt;
    FUZZ_CHECK(ToLocalTime(t, lt));
    FUZZ_CHECK(lt.year >= 1970 && lt.year <= 3000);
    int interval = 0, skip = 0;
    ScanFormat(spec, u"%d-%d-%d,%d", { &skip, &skip, &skip, &interval });
    // Every N days with one or two days between triggers adds whole days with no weekend rule.
    const bool weekendRule = weekend != 0 && !(mode == SCHED_EVERY_N_DAYS && interval <= 2);
    if (weekendRule)
        FUZZ_CHECK(lt.weekday != 0 && lt.weekday != 6);

    return 0;
}
