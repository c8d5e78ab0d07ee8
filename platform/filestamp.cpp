#include "platform/filestamp.h"

bool GetFileStamp(const QString& path, FileStamp& out)
{
    return Fs().Stamp(path, out);
}

bool CanRemoveFrom(const QString& path)
{
    return Fs().CanRemoveFrom(path);
}
