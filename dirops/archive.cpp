#include "dirops/archive.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "store/scan.h"

#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool CopyContent(int in, int out)
{
    static char buffer[1 << 17];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAllBytes(out, buffer, n))
            return false;
    }
}

// Copies one file. The source is opened with the exclusive lock every opener of this program takes,
// so a file that another process holds is not copied; an existing copy that someone holds is not
// replaced either. The copy is written beside its target and renamed over it, so an interrupted copy
// never leaves a torn file behind.
bool CopyOneFile(const QString& source, const QString& target)
{
    const QByteArray from = NativePath(source);
    // Non-blocking, so that a pipe put in the file's place cannot hang the copy.
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (in.Get() < 0 || ::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)
        || ::flock(in.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    const int flags = ::fcntl(in.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(in.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;

    const QByteArray to = NativePath(target);
    // The earlier copy stays locked until it is replaced. A target that is the source itself (reached
    // through a link) is already locked by the open above and is refused here.
    Fd existing(::open(to.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat ts;
    if (existing.Get() >= 0 && ::fstat(existing.Get(), &ts) == 0 && S_ISREG(ts.st_mode)
        && ::flock(existing.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;

    QByteArray temp;
    Fd out(CreateTempSibling(to, temp));
    if (out.Get() < 0)
        return false;
    bool ok = CopyContent(in.Get(), out.Get());
    ok = ok && ::fchmod(out.Get(), st.st_mode & 0777) == 0;
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    ok = ok && ::futimens(out.Get(), times) == 0;
    return CommitTempSibling(out.Release(), ok, temp, to);
}

class TreeCopier
{
public:
    explicit TreeCopier(const QString& dest) : m_destReal(RealPath(dest)) {}

    bool Copy(const QString& source, const QString& dest)
    {
        const QString real = RealPath(source);
        if (!real.isEmpty())
            m_active.append(real);
        const bool ok = CopyLevel(source, dest);
        if (!real.isEmpty())
            m_active.removeLast();
        return ok;
    }

private:
    // A folder that is the destination (or lies in it), or one already being copied further up, is
    // passed over: entering it would copy the copy, or go round a link cycle for ever.
    bool PassOver(const QString& folder) const
    {
        const QString real = RealPath(folder);
        if (real.isEmpty())
            return false;
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
            if (!CopyOneFile(from, JoinPath(dest, name))) {
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

bool CopyFolderTree(QString source, QString dest)
{
    TreeCopier copier(dest);
    return copier.Copy(source, dest);
}

bool ArchiveToYearFolder(const QString& folder, int year)
{
    if (!IsManagedDir(folder)) {
        ShowMessage(FormatMessage(QStringLiteral("%s没有被管理，不能归档！"), { folder }));
        return false;
    }
    const QString yearFolder = JoinPath(folder, QString::number(year));
    CreateDirectoryW(yearFolder); // an existing year folder is reused
    if (!CopyFolderTree(folder, yearFolder)) {
        ShowMessage(FormatMessage(QStringLiteral("%s归档到年份目录失败！"), { folder }));
        return false;
    }
    ShowMessage(FormatMessage(QStringLiteral("%s成功归档到年份目录！"), { folder }));
    return true;
}
