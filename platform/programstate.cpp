#include "platform/programstate.h"

QString g_strRootDir;
thread_local qint64 g_tNow = 0;
