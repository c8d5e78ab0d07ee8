#include "reminder/reminder.h"

#include "platform/fileattr.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "schedule/schedule.h"
#include "store/desc.h"

bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText)
{
    if (!ProcessDueSchedule(folder))
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
