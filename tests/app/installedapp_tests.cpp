// The installed program's start, whole: the command line, the remembered root and the autostart
// entry. A program of its own, because the application object sets the font, Qt's translations and
// the settings object for the whole process.
#include "app/commandline.h"
#include "app/quillbrookapp.h"
#include "app/quillbrookdlg.h"
#include "app/rootchoice.h"
#include "platform/autostart.h"
#include "platform/filenames.h"
#include "platform/programstate.h"
#include "testsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

// What the main window showed before the test closed it.
struct Shown
{
    QString root;
    QStringList rows;
};

// Runs the application object with these arguments (the program's name first); the main window is
// closed once its list is loaded.
Shown RunApp(CQuillbrookApp& app, const QList<QByteArray>& arguments)
{
    std::vector<QByteArray> bytes(arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    Shown shown;
    EXPECT_EQ(app.ParseCommandLine(int(bytes.size()), argv.data()), -1);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Shown while its list loads, the window runs its loop without being modal.
        CQuillbrookDlg* dlg = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<CQuillbrookDlg*>(widget); window && window->isVisible())
                dlg = window;
        if (!dlg || dlg->IsLoading())
            return;
        shown.root = g_strRootDir;
        shown.rows = Column0(*dlg);
        dlg->reject();
    });
    poll.start(20);
    EXPECT_EQ(app.InitInstance(), 0);
    return shown;
}

} // namespace

TEST(InstalledProgram, ARootThatIsNotUtf8IsTheOneListedRememberedByItsBytesAndWhereTheAutostartEntryLeads)
{
    TempTree tree;
    qputenv("HOME", tree.Root().toUtf8());
    qputenv("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")).toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray base = EncodeFileName(tree.Root());
    const QByteArray raw = base + "/R/raw\xff";
    // Beside it the folder a reading of \xff as U+FFFD would name.
    std::filesystem::create_directories((raw + "/类/合同").toStdString());
    std::filesystem::create_directories((base + "/R/raw\xef\xbf\xbd/邻/居").toStdString());
    // The test program's folder stands for the installed bin folder.
    const QString program = QCoreApplication::applicationFilePath();
    ASSERT_TRUE(WriteAutostartEntry(program, QStringLiteral("/somewhere/else")));

    {
        CQuillbrookApp app(QCoreApplication::applicationDirPath(), QString());
        const Shown shown = RunApp(app, { "quillbrook", raw });
        EXPECT_EQ(EncodeFileName(shown.root), raw);
        EXPECT_EQ(shown.rows, QStringList { QStringLiteral("/类/合同") });
    }
    const QSettings settings(tree.Path(QStringLiteral("config/Quillbrook/quillbrook.conf")), QSettings::IniFormat);
    EXPECT_EQ(EncodeFileName(StoredRoot(settings)), raw);
    QFile entry(AutostartEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains(" file://" + raw.toPercentEncoding("/").replace("%", "%%") + "\n")) << text.toStdString();

    // Started again without a folder (as at login from the menu): the remembered root.
    {
        CQuillbrookApp app(QCoreApplication::applicationDirPath(), QString());
        const Shown shown = RunApp(app, { "quillbrook" });
        EXPECT_EQ(EncodeFileName(shown.root), raw);
    }
    std::filesystem::remove_all((base + "/R").toStdString());
}
