#include "platform/autostart.h"

#include "platform/messageport.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>

namespace {

// One argument of an Exec value: quoted when it holds a reserved character, with '"', '`', '$'
// and '\' escaped inside the quotes; '%' is doubled so it is not taken for a field code.
QString QuoteExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    QString text;
    if (quote)
        text += u'"';
    for (const QChar c : argument) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            text += u'\\';
        text += c;
        if (c == u'%')
            text += u'%';
    }
    if (quote)
        text += u'"';
    return text;
}

// A value of the string type: backslashes and control characters escaped.
QString EscapeValue(const QString& value)
{
    QString text;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\': text += QStringLiteral("\\\\"); break;
        case u'\n': text += QStringLiteral("\\n"); break;
        case u'\t': text += QStringLiteral("\\t"); break;
        case u'\r': text += QStringLiteral("\\r"); break;
        default: text += c; break;
        }
    }
    return text;
}

} // namespace

QString AutostartDir()
{
    // A relative XDG_CONFIG_HOME is ignored, as the desktop does.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString AutostartEntryPath()
{
    return AutostartDir() + u'/' + kDesktopId + QStringLiteral(".desktop");
}

QString AutostartExec(const QString& program, const QString& root)
{
    return QuoteExecArgument(program) + u' ' + QuoteExecArgument(root);
}

bool WriteAutostartEntry(const QString& program, const QString& root)
{
    const QString path = AutostartEntryPath();
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Quillbrook 文档提醒\n"
                                        "Comment=登录时启动，按定时方案提醒：%1\n"
                                        "Exec=%2\n"
                                        "Icon=%3\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(EscapeValue(root), EscapeValue(AutostartExec(program, root)), kDesktopId);
    QSaveFile file(path);
    if (!QDir().mkpath(AutostartDir()) || !file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0
        || !file.commit()) {
        ShowMessage(FormatMessage(QStringLiteral("写入自动启动项失败：%s"), { path }));
        return false;
    }
    return true;
}

bool RemoveAutostartEntry()
{
    const QString path = AutostartEntryPath();
    QFile file(path);
    if (!file.exists() && !QFileInfo(path).isSymLink())
        return true;
    if (!file.remove()) {
        ShowMessage(FormatMessage(QStringLiteral("删除自动启动项失败：%s"), { path }));
        return false;
    }
    return true;
}

bool AutostartEntryPresent()
{
    QFile file(AutostartEntryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Desktops switch an entry off with Hidden=true (or GNOME's own key) rather than removing it.
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}
