#include "store/desc.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/messageport.h"
#include "store/textfile.h"

bool IsManagedDir(const QString& folder)
{
    // The program's spelling first: most folders have it, and then no other is looked for.
    std::uint32_t attributes = GetFileAttributesW(JoinPath(folder, kDescFileName));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        attributes = GetFileAttributesW(FindEntryPath(folder, kDescFileName));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE);
}

bool WriteDirDesc(const QString& folder, const QString& text)
{
    const QString path = FindEntryPath(folder, kDescFileName);
    CFile file;
    if (!file.Open(path, CFile::modeCreate)) {
        ShowMessage(FormatMessage(QStringLiteral("%s创建失败！"), { path }));
        return false;
    }
    TruncateFile(file);
    WriteUnicodeText(file, text);
    if (!file.Close()) {
        // The new content could not be stored; the old file is unchanged.
        ShowMessage(FormatMessage(QStringLiteral("%s创建失败！"), { path }));
        return false;
    }
    return true;
}

QString ReadDirDesc(const QString& folder)
{
    QString text;
    const QString path = JoinPath(folder, kDescFileName);
    if (!ReadTextFile(path, text) && !PathExists(path)) {
        const QString found = FindEntryPath(folder, kDescFileName);
        if (found != path)
            ReadTextFile(found, text);
    }
    return text;
}
