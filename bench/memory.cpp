#include "memory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

namespace {

QByteArray ReadProc(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// User plus system CPU ticks so far; -1 when the process is gone.
long CpuTicks(qint64 pid)
{
    const QByteArray stat = ReadProc(pid, "stat");
    const qsizetype paren = stat.lastIndexOf(')');
    if (paren < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(paren + 2).split(' ');
    // After the name: state is field 3, utime 14 and stime 15 of the whole line.
    return fields.size() > 12 ? fields[11].toLong() + fields[12].toLong() : -1;
}

long HighWaterKiB(qint64 pid)
{
    for (const QByteArray& line : ReadProc(pid, "status").split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

long ProgramPeakKiB(const QString& program, const QString& root)
{
    const QString copy = root + QStringLiteral("/quillbrook");
    QFile::remove(copy);
    if (!QFile::copy(program, copy))
        return -1;
    QFile::setPermissions(copy, QFile::permissions(program));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(copy, {});
    long peak = -1;
    if (process.waitForStarted(10000)) {
        const qint64 pid = process.processId();
        // Loaded and idle: past the first tick's pass (one second after the load) and no CPU
        // used for 600 ms.
        QElapsedTimer clock;
        clock.start();
        long last = -1;
        int quiet = 0;
        while (clock.elapsed() < 60000) {
            QThread::msleep(50);
            const long ticks = CpuTicks(pid);
            if (ticks < 0)
                break;
            quiet = ticks == last ? quiet + 1 : 0;
            last = ticks;
            if (clock.elapsed() > 2000 && quiet >= 12) {
                peak = HighWaterKiB(pid);
                break;
            }
        }
        process.kill();
        process.waitForFinished(10000);
    }
    QFile::remove(copy);
    return peak;
}
