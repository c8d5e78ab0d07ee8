// The settings dialog's checks on any entries: a refusal always carries one of the dialog's
// texts, an accepted schedule text is one the schedule file keeps whole, and the number boxes
// read exactly what the C library reads.
#include "edit/settingscheck.h"
#include "fuzzsupport.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

const QStringList kRefusals = {
    QStringLiteral("未指定目录！"),
    QStringLiteral("描述文字不能超过1000个文字！"),
    QStringLiteral("时间点不完整！"),
    QStringLiteral("小时不正确！"),
    QStringLiteral("分钟不正确！"),
    QStringLiteral("每年触发触发，但日期格式不正确！"),
    QStringLiteral("每年触发触发，但月份不正确！"),
    QStringLiteral("每年触发触发，但日期不正确！"),
    QStringLiteral("每年触发触发，但格式不能识别！"),
    QStringLiteral("每月触发，但日期格式不正确！"),
    QStringLiteral("每月触发，但日期不正确！"),
    QStringLiteral("每月触发，但格式不能识别！"),
    QStringLiteral("每几天触发，但格式不正确！"),
    QStringLiteral("每几天触发，但月份不正确！"),
    QStringLiteral("每几天触发，但日期不正确！"),
    QStringLiteral("每几天触发，但格式不能识别！"),
    QStringLiteral("每几个月触发，但格式不正确！"),
    QStringLiteral("每几个月触发，但月份不正确！"),
    QStringLiteral("每几个月触发，但日期不正确！"),
    QStringLiteral("每几个月触发，但格式不能识别！"),
};
const QString kWeekendNotice = QStringLiteral("每几天触发，但间隔天数少于2天，周末提前自动忽略！");

// The number boxes' reading done by strtol on the same text: blanks around one decimal.
bool ReferenceInt(const QString& text, int& value)
{
    const QByteArray latin = text.toLatin1();
    if (text.size() != latin.size() || latin.contains('\0'))
        return false;
    std::string s(latin.constData(), std::size_t(latin.size()));
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t");
    if (first == std::string::npos)
        return false;
    s = s.substr(first, last - first + 1);
    if (s.empty() || s[0] == ' ' || s[0] == '\t' || s[0] == '\n' || s[0] == '\v' || s[0] == '\f' || s[0] == '\r')
        return false;
    if ((s[0] == '+' || s[0] == '-') && (s.size() < 2 || s[1] < '0' || s[1] > '9'))
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = int(parsed);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t flags = input.TakeByte();
    SettingsEntries entries;
    entries.path = (flags & 1) ? QString() : QStringLiteral("/root/folder");
    entries.desc = QString((flags >> 1 & 3) * 334, u'字');
    entries.mode = int(input.TakeByte() % 6) - 1;
    entries.hour = (flags & 8) ? input.TakeInt32() : int(input.TakeByte() % 26) - 1;
    entries.minute = (flags & 16) ? input.TakeInt32() : int(input.TakeByte() % 62) - 1;
    entries.weekend = flags & 32;
    entries.spec = input.RestAsLatin1();

    const SettingsCheck check = CheckSettings(entries);
    if (!check.accepted) {
        // A mode the list does not offer is refused without a text of its own.
        FUZZ_CHECK(kRefusals.contains(check.message) || (entries.mode == 4 && check.message.isEmpty()));
        FUZZ_CHECK(!check.clearWeekend);
    } else {
        FUZZ_CHECK(check.message.isEmpty() || (check.message == kWeekendNotice && check.clearWeekend));
        FUZZ_CHECK(!entries.path.isEmpty() && entries.desc.size() <= 1000);
        if (entries.mode != -1) {
            FUZZ_CHECK(entries.hour >= 0 && entries.hour <= 23 && entries.minute >= 0 && entries.minute <= 59);
            // Accepted text fits the schedule file's one word of at most 63 units.
            FUZZ_CHECK(entries.spec.size() <= kMaxSpecLength);
            for (const QChar c : entries.spec)
                FUZZ_CHECK(!c.isSpace());
        }
    }
    // The same spec checked alone gives the same verdict once the time and path have passed.
    if (entries.mode >= 0 && !entries.path.isEmpty() && entries.desc.size() <= 1000 && entries.hour >= 0
        && entries.hour <= 23 && entries.minute >= 0 && entries.minute <= 59) {
        const SettingsCheck alone = CheckScheduleSpec(entries.mode, entries.spec, entries.weekend);
        FUZZ_CHECK(alone.accepted == check.accepted && alone.message == check.message);
    }

    int parsed = 12345, reference = 12345;
    const bool read = ParseDialogInt(entries.spec, parsed);
    FUZZ_CHECK(read == ReferenceInt(entries.spec, reference));
    if (read)
        FUZZ_CHECK(parsed == reference);
    return 0;
}
