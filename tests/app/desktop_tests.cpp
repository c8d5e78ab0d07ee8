// Starting at login (the autostart entry and its menu item) and the root in the title bar.
#include "app/commandline.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "app/autostart.h"
#include "platform/filenames.h"
#include "platform/programstate.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// Sets an environment variable for the scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QString& value)
        : m_name(name)
        , m_old(qgetenv(name))
        , m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value.toUtf8());
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

QString ReadEntry()
{
    QFile file(AutostartEntryPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString ExecOf(const QString& entry)
{
    for (const QString& line : entry.split(u'\n'))
        if (line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    return {};
}

// The arguments an Exec value stands for, read by the shell: the value's string escapes undone,
// "%%" back to "%", then the quoting (the shell's own double-quote rules) by /bin/sh itself.
QStringList ArgumentsOf(const QString& exec)
{
    QString unescaped;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec[++i];
            unescaped += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next == u's' ? QChar(u' ') : next;
        } else {
            unescaped += exec[i];
        }
    }
    unescaped.replace(QStringLiteral("%%"), QStringLiteral("%"));
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("eval \"set -- $1\"; printf '%s\\0' \"$@\""),
                                          QStringLiteral("sh"), unescaped });
    sh.waitForFinished();
    QStringList args = QString::fromUtf8(sh.readAllStandardOutput()).split(QChar(0));
    args.removeLast();
    return args;
}

// The program and the folder an entry starts it on, the folder as the program's command line reads it.
QStringList StartedOn(const QString& entry)
{
    QStringList args = ArgumentsOf(ExecOf(entry));
    if (args.size() != 2)
        return args;
    return { args[0], ParseCommandLine(args).folder };
}

// desktop-file-validate's complaints about the entry, empty when it is valid or the tool is missing.
QString ValidatorSays()
{
    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        return {};
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), { AutostartEntryPath() });
    validate.waitForFinished();
    return validate.exitCode() == 0 ? QString() : QString::fromUtf8(validate.readAllStandardOutput()) + QStringLiteral(" ");
}

} // namespace

TEST(Autostart, EntryIsWrittenAndRemovedUnderXdgConfigHomeAndStartsTheProgramOnTheRoot)
{
    TempTree tree;
    const ScopedEnv config("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")));
    RecordingMessagePort messages;
    EXPECT_EQ(AutostartEntryPath(), tree.Path(QStringLiteral("config/autostart/org.quillbrook.Quillbrook.desktop")));
    EXPECT_FALSE(AutostartEntryPresent());
    EXPECT_TRUE(RemoveAutostartEntry()); // nothing to remove is no failure

    const QString program = QStringLiteral("/usr/bin/quillbrook");
    for (const QString& root : { QStringLiteral("/home/用户/文档"), QStringLiteral("/tmp/a b/\"引号\" $HOME `x` \\ 100% #1; (c) 'q'\t") }) {
        ASSERT_TRUE(WriteAutostartEntry(program, root));
        EXPECT_TRUE(AutostartEntryPresent());
        const QString entry = ReadEntry();
        EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n")));
        EXPECT_EQ(StartedOn(entry), (QStringList { program, root }));
        EXPECT_EQ(ValidatorSays(), QString());
    }

    // A desktop switches an entry off by hiding it: then it is not there for the tick.
    QFile file(AutostartEntryPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_FALSE(AutostartEntryPresent());

    EXPECT_TRUE(RemoveAutostartEntry());
    EXPECT_FALSE(QFile::exists(AutostartEntryPath()));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(Autostart, EveryRootTheProgramAcceptsGivesAValidEntryThatStartsItOnThatVeryFolder)
{
    TempTree tree;
    const ScopedEnv config("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")));
    const QString program = QStringLiteral("/usr/bin/quillbrook");
    // Control characters a string value may not hold, escaped or not, and bytes that are not UTF-8
    // (a name read as U+FFFD would start the program on its neighbour).
    QStringList roots { DecodeFileName("/home/u/raw\xff"), DecodeFileName("/home/u/\xb9\xa4\xd7\xf7 100% \"$x\"") };
    for (const char16_t c : { u'\x0b', u'\x0c', u'\x1b', u'\x7f', u'\n' })
        roots.append(QStringLiteral("/home/用户/文档") + QChar(c) + QStringLiteral("末 尾"));
    for (const QString& root : roots) {
        const std::string shown = EncodeFileName(root).toPercentEncoding().toStdString();
        ASSERT_TRUE(WriteAutostartEntry(program, root)) << shown;
        EXPECT_EQ(ValidatorSays(), QString()) << shown;
        const QStringList started = StartedOn(ReadEntry());
        EXPECT_EQ(started.value(0), program);
        EXPECT_EQ(EncodeFileName(started.value(1)), EncodeFileName(root)) << shown;
    }
    // A root an entry carries as it is stays readable there.
    ASSERT_TRUE(WriteAutostartEntry(program, QStringLiteral("/home/用户/文档")));
    EXPECT_EQ(ExecOf(ReadEntry()), QStringLiteral("/usr/bin/quillbrook /home/用户/文档"));
}

TEST(Autostart, AnEntryThatStartsAnotherRootIsRewrittenForTheRootTheProgramRunsOn)
{
    TempTree tree;
    const ScopedEnv config("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")));
    RecordingMessagePort messages;
    const QString program = QStringLiteral("/usr/bin/quillbrook");
    const QString old = QStringLiteral("/home/u/旧根"), root = QStringLiteral("/home/u/新根");
    EXPECT_TRUE(RetargetAutostartEntry(program, root)); // no entry: none is made
    EXPECT_FALSE(QFile::exists(AutostartEntryPath()));

    ASSERT_TRUE(WriteAutostartEntry(program, old));
    EXPECT_TRUE(RetargetAutostartEntry(program, root));
    EXPECT_EQ(StartedOn(ReadEntry()), (QStringList { program, root }));

    // One the desktop switched off stays off, for the root it named.
    ASSERT_TRUE(WriteAutostartEntry(program, old));
    QFile file(AutostartEntryPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_TRUE(RetargetAutostartEntry(program, root));
    EXPECT_EQ(StartedOn(ReadEntry()), (QStringList { program, old }));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(Autostart, DefaultFolderAndFailures)
{
    TempTree tree;
    const ScopedEnv home("HOME", tree.Root());
    {
        const ScopedEnv relative("XDG_CONFIG_HOME", QStringLiteral("relative/config")); // ignored
        EXPECT_EQ(AutostartDir(), tree.Path(QStringLiteral(".config/autostart")));
    }
    tree.WriteBytes(QStringLiteral("not a folder"), "x");
    const ScopedEnv config("XDG_CONFIG_HOME", tree.Path(QStringLiteral("not a folder")));
    RecordingMessagePort messages;
    EXPECT_FALSE(WriteAutostartEntry(QStringLiteral("/usr/bin/quillbrook"), tree.Root()));
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("写入自动启动项失败：") + AutostartEntryPath() });
    EXPECT_FALSE(AutostartEntryPresent());
}

TEST(Autostart, MenuItemTicksWhatIsOnDiskAndWritesTheEntryForThisRoot)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("根/类"));
    const ScopedEnv config("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")));
    RecordingMessagePort messages;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Path(QStringLiteral("根")));
    dlg.Timer().stop();
    QMenu* view = dlg.MenuBarControl()->actions().constFirst()->menu();
    const qsizetype before = view->actions().size();
    EXPECT_EQ(dlg.AutostartItem(), nullptr); // a portable copy has no such item

    dlg.ShowAutostartItem(QStringLiteral("/opt/q/quillbrook"));
    QList<QAction*> actions = view->actions();
    ASSERT_EQ(actions.size(), before + 2);
    EXPECT_TRUE(actions[before]->isSeparator());
    QAction* item = actions.constLast();
    EXPECT_EQ(item, dlg.AutostartItem());
    EXPECT_EQ(item->text(), QStringLiteral("登录时自动启动"));
    EXPECT_EQ(CommandOf(item), ID_AUTOSTART);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    for (QMenu* other : { dlg.MenuBarControl()->actions().at(1)->menu(), dlg.MenuBarControl()->actions().at(2)->menu() })
        for (QAction* action : other->actions())
            EXPECT_NE(CommandOf(action), ID_AUTOSTART);

    dlg.OnCommand(ID_AUTOSTART);

    WaitUntilIdle(dlg);
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(ArgumentsOf(ExecOf(ReadEntry())), (QStringList { QStringLiteral("/opt/q/quillbrook"), g_strRootDir }));

    // Removed behind the program's back: the tick follows the disk when the menu opens.
    QFile::remove(AutostartEntryPath());
    Q_EMIT view->aboutToShow();
    EXPECT_FALSE(item->isChecked());
    dlg.OnCommand(ID_AUTOSTART);
    WaitUntilIdle(dlg);
    EXPECT_TRUE(AutostartEntryPresent());
    dlg.OnCommand(ID_AUTOSTART);
    WaitUntilIdle(dlg);
    EXPECT_FALSE(AutostartEntryPresent());
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(Caption, RootFollowsTheCaptionAlsoWhileItFlashes)
{
    TempTree tree;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root() + u'/');
    dlg.Timer().stop();
    EXPECT_EQ(dlg.windowTitle(), kMainCaption);
    dlg.ShowRootInCaption(true);
    const QString suffix = QStringLiteral(" — ") + tree.Root();
    EXPECT_EQ(dlg.windowTitle(), kMainCaption + suffix);
    dlg.FlashWindow(true);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("▶ Quillbrook2.0.5 ◀") + suffix);
    dlg.FlashWindow(false);
    EXPECT_EQ(dlg.windowTitle(), kMainCaption + suffix);
}
