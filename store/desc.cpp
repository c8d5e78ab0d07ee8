#include "store/desc.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/messageport.h"
#include "store/textfile.h"

QString JoinPath(const QString& folder, const QString& name)
{
    // The file system's top folder "/" already ends in the separator.
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

bool IsManagedDir(const QString& folder)
{
    const std::uint32_t attributes = GetFileAttributesW(JoinPath(folder, kDescFileName));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE);
}

bool WriteDirDesc(const QString& folder, const QString& text)
{
    const QString path = JoinPath(folder, kDescFileName);
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
    ReadTextFile(JoinPath(folder, kDescFileName), text);
    return text;
}
