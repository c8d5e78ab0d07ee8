#include "reminder/reminder.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "schedule/schedule.h"
#include "store/desc.h"

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
                        ScheduleFault* fault, const ScheduleRead* read)
{
    if (read)
        return ProcessReadSchedule(folder, *read, schedText, nextText, fault, dueText);
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

QString FolderBatch(const QString& folder)
{
    bool found = false;
    const QString batch = FindEntryPath(folder, kAutoBatName, &found); // AUTO.BAT as well
    // Another spelling was only seen listed: it must also lead somewhere (not a dangling link).
    if (!found || (batch != JoinPath(folder, kAutoBatName) && !PathExists(batch)))
        return {};
    return batch;
}

void StartFolderBatch(const QString& folder)
{
    if (const QString batch = FolderBatch(folder); !batch.isEmpty())
        Shell().StartBatch(batch, folder);
}

int g_nLastMinute = -1;
int g_nAlertTicks = 0;

bool TickRunsPass(int minute)
{
    return minute != g_nLastMinute || g_nAlertTicks != 0;
}

QString ReminderNotificationBody(const QString& relative, const QString& description, const QString& due)
{
    // A name or a description may hold anything a file can: what is shown is cleaned, and the
    // description bounded, so that the notification reads as the row does.
    QStringList lines { PrintableLine(ReadableName(relative)) };
    // Found by hand: a regular expression matches nothing in a text that holds a lone surrogate.
    qsizetype end = 0;
    while (end < description.size() && !QStringView(u"\r\n\u2028\u2029").contains(description[end]))
        ++end;
    const QString first = PrintableLine(QStringView(description).first(end)).trimmed();
    if (!first.isEmpty())
        lines.append(BoundedText(first, kMaxDescriptionShown));
    lines.append(due);
    return lines.join(u'\n');
}
