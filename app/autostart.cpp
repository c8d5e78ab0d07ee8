#include "app/autostart.h"

#include "platform/filenames.h"
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

// A root a desktop entry cannot carry as it is: bytes that are not UTF-8, or a control character
// (a string value may hold none, escaped or not, beyond the line breaks and tabs).
bool NeedsFileUrl(const QString& root)
{
    if (HasRawBytes(root))
        return true;
    for (const QChar c : root)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    return false;
}

// The Exec line of an entry file, as it stands there.
QString ExecLineOf(const QByteArray& entry)
{
    for (const QByteArray& raw : entry.split('\n'))
        if (raw.startsWith("Exec="))
            return QString::fromUtf8(raw.mid(5).trimmed());
    return {};
}

QString EntryText(const QString& program, const QString& root)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quillbrook 文档提醒\n"
                          "Comment=登录时启动，按定时方案提醒：%1\n"
                          "Exec=%2\n"
                          "Icon=%3\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(EscapeValue(PrintableLine(ReadableName(root))), EscapeValue(AutostartExec(program, root)), kDesktopId);
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
    // The program reads a file URL's percent-encoded bytes back as the folder's name.
    const QString folder = NeedsFileUrl(root)
        ? QStringLiteral("file://") + QString::fromLatin1(EncodeFileName(root).toPercentEncoding("/"))
        : root;
    return QuoteExecArgument(program) + u' ' + QuoteExecArgument(folder);
}

bool WriteAutostartEntry(const QString& program, const QString& root)
{
    const QString path = AutostartEntryPath();
    const QString text = EntryText(program, root);
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

bool RetargetAutostartEntry(const QString& program, const QString& root)
{
    if (!AutostartEntryPresent())
        return true;
    QFile file(AutostartEntryPath());
    if (file.open(QIODevice::ReadOnly) && ExecLineOf(file.readAll()) == EscapeValue(AutostartExec(program, root)))
        return true;
    return WriteAutostartEntry(program, root);
}
