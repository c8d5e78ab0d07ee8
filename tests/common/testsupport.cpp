#include "testsupport.h"

#include "app/quillbrookdlg.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "search/search.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TempTree::TempTree()
{
    EXPECT_TRUE(m_dir.isValid());
}

QString TempTree::Path(const QString& relative) const
{
    return relative.isEmpty() ? Root() : Root() + u'/' + relative;
}

void TempTree::MakeDir(const QString& relative) const
{
    EXPECT_TRUE(QDir().mkpath(Path(relative))) << relative.toStdString();
}

void TempTree::WriteBytes(const QString& relative, const QByteArray& bytes) const
{
    const QString path = Path(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void TempTree::WriteText(const QString& relative, const QString& text) const
{
    WriteBytes(relative, Utf16File(text));
}

QByteArray TempTree::ReadBytes(const QString& relative) const
{
    QFile file(Path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TempTree::Exists(const QString& relative) const
{
    return QFileInfo::exists(Path(relative)) || QFileInfo(Path(relative)).isSymLink();
}

void TempTree::Symlink(const QString& target, const QString& relativeLink) const
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(Path(relativeLink)).constData()), 0);
}

void ResetProgramState()
{
    g_strRootDir.clear();
    g_tNow = 0;
    g_strEditingDir.clear();
    ClearSearchResults();
    g_nMatchPos = -1;
    g_nLastMinute = -1;
    g_nAlertTicks = 0;
}

QByteArray Utf16File(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + EncodeUtf16Le(text);
}

ScopedTimeZone::ScopedTimeZone(const char* zone)
{
    const char* old = std::getenv("TZ");
    m_had = old != nullptr;
    m_old = old ? QByteArray(old) : QByteArray();
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_had)
        ::setenv("TZ", m_old.constData(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

HeldFile::HeldFile(const QString& path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

HeldFile::~HeldFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
