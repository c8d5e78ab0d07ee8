#include "platform/programstate.h"

QString g_strRootDir;
thread_local qint64 g_tNow = 0;
QString g_strEditingDir;
QStringList g_arrRowTexts;
int g_nMatchPos = -1;
int g_nLastMinute = -1;
int g_nAlertTicks = 0;
