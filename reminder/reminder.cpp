#include "reminder/reminder.h"

#include "platform/fileattr.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "schedule/schedule.h"
#include "store/desc.h"

#include <QRegularExpression>
#include <QStringList>

bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText)
{
    if (!ProcessDueSchedule(folder, nullptr, dueText))
        return false;
    schedText.clear();
    nextText.clear();
    GetScheduleTexts(folder, schedText, nextText);
    Shell().OpenPath(folder);
    const QString batch = JoinPath(folder, kAutoBatName);
    if (PathExists(batch))
        Shell().StartBatch(batch, folder);
    return true;
}

bool TickRunsPass(int minute)
{
    return minute != g_nLastMinute || g_nAlertTicks != 0;
}

QString ReminderNotificationBody(const QString& relative, const QString& description, const QString& due)
{
    QStringList lines { relative };
    const qsizetype end = description.indexOf(QRegularExpression(QStringLiteral("[\\r\\n\\x{2028}]")));
    const QString first = description.left(end).trimmed();
    if (!first.isEmpty())
        lines.append(first);
    lines.append(due);
    return lines.join(u'\n');
}
