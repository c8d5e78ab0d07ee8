#include "dirops/dirlink.h"

#include "platform/fileattr.h"
#include "platform/messageport.h"

#include <QFileInfo>
#include <QStringList>

#include <unistd.h>

namespace {

bool PathExists(const QString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool CreateDirJunction(QString externalDir, QString linkPath)
{
    if (PathExists(linkPath)) {
        ShowMessage(FormatMessage(QStringLiteral("%s已存在，请更改目录名称！"), { linkPath }));
        return false;
    }
    // A link's relative target would be read from the link's own folder; the user meant it from here.
    const QByteArray target = NativePath(QFileInfo(externalDir).absoluteFilePath());
    const QByteArray link = NativePath(linkPath);
    ::symlink(target.constData(), link.constData()); // success is judged by what exists below
    if (!PathExists(linkPath)) {
        ShowMessage(FormatMessage(QStringLiteral("%s创建失败！"), { linkPath }));
        return false;
    }
    return true;
}

QString CheckLinkInput(const QString& root, const QString& externalDir, const QString& managedDir)
{
    if (externalDir.isEmpty())
        return QStringLiteral("请选择外部目录！");
    if (!PathExists(externalDir))
        return QStringLiteral("外部目录异常！");
    if (externalDir.contains(root, Qt::CaseSensitive))
        return QStringLiteral("外部目录不应该包含管理的根目录！");
    if (!managedDir.startsWith(u'/'))
        return QStringLiteral("管理目录需以‘/’开头！");
    // The link must land inside the root: a ".." step would take it (and its parent folder) out.
    if (managedDir.split(u'/').contains(QStringLiteral("..")))
        return QStringLiteral("管理目录不能包含“..”！");
    return {};
}

bool CreateLinkFolder(const QString& root, const QString& externalDir, const QString& managedDir)
{
    const QString linkPath = root + managedDir;
    const qsizetype slash = linkPath.lastIndexOf(u'/');
    if (slash > 0)
        CreateDirectoryW(linkPath.left(slash)); // one level only; an existing folder is fine
    return CreateDirJunction(externalDir, linkPath);
}
