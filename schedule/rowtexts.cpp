#include "schedule/rowtexts.h"

#include "schedule/schedule.h"
#include "store/desc.h"

bool ReadDirTexts(QString folder, QString& desc, QString& schedText, QString& nextText)
{
    desc = ReadDirDesc(folder);
    schedText.clear();
    nextText.clear();
    return GetScheduleTexts(folder, schedText, nextText);
}
