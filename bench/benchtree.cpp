#include "benchtree.h"

#include <QDir>
#include <QFile>

#include <ctime>

namespace {

bool WriteUtf16File(const QString& path, const QString& text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// About 100 characters of ordinary office prose, different for every folder.
QString Description(int category, int folder)
{
    static const QString pool = QStringLiteral(
        "本目录存放项目合同、发票、会议纪要与往来函件，按年度归档；每季度末核对一次清单，缺失的原件请及时向财务部门补交，"
        "电子版同步上传到共享盘备份。年度审计前须整理全部凭证并编写索引，保密等级较高的文件单独存放于带锁的柜子里，"
        "借阅须登记并在一周内归还。");
    const int n = category * 50 + folder;
    const qsizetype a = n % (pool.size() - 45);
    const qsizetype b = (n * 7) % (pool.size() - 45);
    return QStringLiteral("第%1类第%2号：").arg(category).arg(folder) + pool.mid(a, 45) + QStringLiteral("\r\n")
        + pool.mid(b, 45);
}

// A schedule of one of the four kinds whose next trigger lies 1 to 200 days ahead (or back).
QString Schedule(int index, std::time_t now, bool due)
{
    const std::time_t days = std::time_t(1 + index % 200) * 86400;
    const std::time_t ahead = due ? now - days : now + days;
    std::tm tm {};
    ::localtime_r(&ahead, &tm);
    const int year = tm.tm_year + 1900, month = tm.tm_mon + 1, day = tm.tm_mday;
    QString line1;
    switch (index % 4) {
    case 0: line1 = QStringLiteral("0;9;30;%1-%2").arg(month).arg(day); break;
    case 1: line1 = QStringLiteral("1;9;30;%1").arg(day); break;
    case 2: line1 = QStringLiteral("2;9;30;2024-1-5,%1").arg(1 + index % 30); break;
    default: line1 = QStringLiteral("3;9;30;2024-1-5,%1").arg(1 + index % 11); break;
    }
    return line1 + QStringLiteral("\r\n%1-%2-%3,9,30\r\n").arg(year).arg(month).arg(day)
        + (index % 3 == 0 ? QStringLiteral("-1") : QStringLiteral("12")) + QStringLiteral("\r\n")
        + (index % 5 == 0 ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace

bool BuildBenchTree(const BenchTree& tree)
{
    const std::time_t now = std::time(nullptr);
    QDir root(tree.root);
    for (int c = 0; c < tree.categories; ++c) {
        const QString category = QStringLiteral("类别%1").arg(c, 3, 10, QChar(u'0'));
        for (int f = 0; f < tree.foldersPerCategory; ++f) {
            const QString relative = category + QStringLiteral("/文件夹%1").arg(f, 2, 10, QChar(u'0'));
            if (!root.mkpath(relative))
                return false;
            const QString folder = tree.root + u'/' + relative;
            if (!WriteUtf16File(folder + QStringLiteral("/Quillbrook.desc"), Description(c, f))
                || !WriteUtf16File(folder + QStringLiteral("/Quillbrook.Timer"),
                                   Schedule(c * tree.foldersPerCategory + f, now, tree.due)))
                return false;
        }
    }
    return true;
}

bool RewriteBenchSchedules(const BenchTree& tree, const QString& root)
{
    const std::time_t now = std::time(nullptr);
    for (int c = 0; c < tree.categories; ++c) {
        const QString category = QStringLiteral("类别%1").arg(c, 3, 10, QChar(u'0'));
        for (int f = 0; f < tree.foldersPerCategory; ++f) {
            const QString file = root + u'/' + category + QStringLiteral("/文件夹%1/Quillbrook.Timer").arg(f, 2, 10, QChar(u'0'));
            if (!WriteUtf16File(file, Schedule(c * tree.foldersPerCategory + f, now, tree.due)))
                return false;
        }
    }
    return true;
}
