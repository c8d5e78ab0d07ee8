#include "dirops/dirlink.h"

#include "platform/fileattr.h"
#include "platform/filesystem.h"
#include "platform/messageport.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// Something is at path once links are followed (a dangling link is not).
bool LeadsSomewhere(const QString& path)
{
    const std::uint32_t attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_REPARSE_POINT;
}

// True when the folder the link goes into lies in the root once links on the way are followed; a
// folder linked in earlier leads outside, and a new link there would land in the outside folder.
bool ParentStaysInRoot(const QString& root, const QString& linkPath)
{
    const QString realRoot = Fs().CanonicalPath(root.isEmpty() ? QStringLiteral("/") : root);
    if (realRoot.isEmpty())
        return true; // no root to compare with; the creation fails on its own
    QString folder = linkPath.left(qMax<qsizetype>(0, linkPath.lastIndexOf(u'/')));
    while (folder.size() > root.size() && !LeadsSomewhere(folder))
        folder.truncate(folder.lastIndexOf(u'/'));
    const QString real = Fs().CanonicalPath(folder.isEmpty() ? QStringLiteral("/") : folder);
    return real.isEmpty() || IsSameOrBelow(real, realRoot);
}

} // namespace

bool CreateDirJunction(QString externalDir, QString linkPath)
{
    if (PathExists(linkPath)) {
        ShowMessage(FormatMessage(QStringLiteral("%s已存在，请更改目录名称！"), { linkPath }));
        return false;
    }
    // A link's relative target would be read from the link's own folder; the user meant it from here.
    Fs().MakeLink(QFileInfo(externalDir).absoluteFilePath(), linkPath); // judged by what exists below
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
    if (!ParentStaysInRoot(root, root + managedDir))
        return QStringLiteral("管理目录不能位于根目录之外！");
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
