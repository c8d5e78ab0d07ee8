#include "reminder/reminder.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "schedule/schedule.h"
#include "store/desc.h"

#include <QRegularExpression>
#include <QStringList>

bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText,
                     ScheduleFault* fault)
{
    if (!AdvanceDueReminder(folder, schedText, nextText, dueText, fault))
        return false;
    OpenFiredFolder(folder);
    return true;
}

bool AdvanceDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText,
                        ScheduleFault* fault)
{
    if (!ProcessDueSchedule(folder, fault, dueText))
        return false;
    schedText.clear();
    nextText.clear();
    GetScheduleTexts(folder, schedText, nextText);
    return true;
}

void OpenFiredFolder(const QString& folder)
{
    Shell().OpenPath(folder);
    StartFolderBatch(folder);
}

void StartFolderBatch(const QString& folder)
{
    const QString batch = FindEntryPath(folder, kAutoBatName); // AUTO.BAT as well
    if (PathExists(batch))
        Shell().StartBatch(batch, folder);
}

bool TickRunsPass(int minute)
{
    return minute != g_nLastMinute || g_nAlertTicks != 0;
}

QString ReminderNotificationBody(const QString& relative, const QString& description, const QString& due)
{
    QStringList lines { ReadableName(relative) };
    const qsizetype end = description.indexOf(QRegularExpression(QStringLiteral("[\\r\\n\\x{2028}]")));
    const QString first = description.left(end).trimmed();
    if (!first.isEmpty())
        lines.append(first);
    lines.append(due);
    return lines.join(u'\n');
}
