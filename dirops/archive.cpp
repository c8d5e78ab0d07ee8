#include "dirops/archive.h"

#include "platform/fileattr.h"
#include "platform/filesystem.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "store/scan.h"

#include <QStringList>

namespace {

class TreeCopier
{
public:
    TreeCopier(const QString& dest, const CopyProgressFn& progress)
        : m_destReal(Fs().CanonicalPath(dest)), m_progress(progress)
    {
    }

    bool Copy(const QString& source, const QString& dest)
    {
        const QString real = Fs().CanonicalPath(source);
        if (!real.isEmpty())
            m_active.append(real);
        const bool ok = CopyLevel(source, dest);
        if (!real.isEmpty())
            m_active.removeLast();
        return ok;
    }

private:
    // A folder that is the destination (or lies in it), or one already being copied further up, is
    // passed over: entering it would copy the copy, or go round a link cycle for ever. So is a link
    // that leads nowhere: its copy would be an empty folder that never was.
    bool PassOver(const QString& folder) const
    {
        const QString real = Fs().CanonicalPath(folder);
        if (real.isEmpty())
            return true;
        if (!m_destReal.isEmpty() && IsSameOrBelow(real, m_destReal))
            return true;
        return m_active.contains(real);
    }

    bool CopyLevel(const QString& source, const QString& dest)
    {
        // Both lists are taken before anything is copied.
        QStringList subDirs;
        QStringList files;
        ListSubDirs(source, subDirs);
        ListDirFiles(source, files);

        for (const QString& name : std::as_const(files)) {
            if (IsManagementFileName(name))
                continue;
            const QString from = JoinPath(source, name);
            // Copied beside its target and renamed over it, so an interrupted copy never leaves a
            // torn file; a file another opener holds, at either end, is not copied.
            if (!Fs().Copy(from, JoinPath(dest, name), m_progress)) {
                ShowMessage(FormatMessage(QStringLiteral("文件%s拷贝到%s失败！"), { from, dest }));
                return false;
            }
        }
        for (const QString& name : std::as_const(subDirs)) {
            if (IsYearFolderName(name))
                continue;
            const QString from = JoinPath(source, name);
            if (PassOver(from))
                continue;
            const QString to = JoinPath(dest, name);
            CreateDirectoryW(to); // an existing folder is reused
            if (!Copy(from, to)) {
                ShowMessage(FormatMessage(QStringLiteral("目录%s拷贝到%s失败！"), { from, to }));
                return false;
            }
        }
        return true;
    }

    QString m_destReal;
    const CopyProgressFn& m_progress;
    QStringList m_active; // real paths of the folders being copied, outermost first
};

} // namespace

bool IsYearFolderName(const QString& name)
{
    return name.size() == 4 && name[0] == u'2' && name[1] == u'0' && name[2] >= u'0' && name[2] <= u'9'
           && name[3] >= u'0' && name[3] <= u'9';
}

bool IsManagementFileName(const QString& name)
{
    return name.compare(kDescFileName, Qt::CaseInsensitive) == 0
           || name.compare(kTimerFileName, Qt::CaseInsensitive) == 0;
}

int ArchiveYearOf(qint64 t)
{
    LocalTime local;
    return (ToLocalTime(t, local) ? local.year : 0) - 1;
}

bool CopyFolderTree(QString source, QString dest, const CopyProgressFn& progress)
{
    TreeCopier copier(dest, progress);
    return copier.Copy(source, dest);
}

bool ArchiveToYearFolder(const QString& folder, int year, const CopyProgressFn& progress)
{
    if (!IsManagedDir(folder)) {
        ShowMessage(FormatMessage(QStringLiteral("%s没有被管理，不能归档！"), { folder }));
        return false;
    }
    const QString yearFolder = JoinPath(folder, QString::number(year));
    CreateDirectoryW(yearFolder); // an existing year folder is reused
    if (!CopyFolderTree(folder, yearFolder, progress)) {
        ShowMessage(FormatMessage(QStringLiteral("%s归档到年份目录失败！"), { folder }));
        return false;
    }
    ShowMessage(FormatMessage(QStringLiteral("%s成功归档到年份目录！"), { folder }));
    return true;
}
