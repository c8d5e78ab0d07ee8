// The installed program's start, whole: the command line, the remembered root and the autostart
// entry. A program of its own: the application object sets the font, Qt's translations and the
// settings object for the whole process.
#include "app/quillbrookapp.h"
#include "app/quillbrookdlg.h"
#include "app/rootchoice.h"
#include "app/autostart.h"
#include "platform/filenames.h"
#include "platform/programstate.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Runs the application object on argv, the test program's folder standing for the installed bin
// folder; returns the root its window listed, closing it once the list is loaded.
QString RootShown(std::vector<QByteArray> argv)
{
    CQuillbrookApp app(QCoreApplication::applicationDirPath(), QString());
    std::vector<char*> pointers;
    for (QByteArray& argument : argv)
        pointers.push_back(argument.data());
    EXPECT_EQ(app.ParseCommandLine(int(argv.size()), pointers.data()), -1);
    QString root;
    QTimer poll; // the window runs its loop without being modal: it is shown while the list loads
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<CQuillbrookDlg*>(widget); dlg && dlg->isVisible() && !dlg->IsLoading()) {
                root = g_strRootDir;
                dlg->reject();
            }
    });
    poll.start(20);
    EXPECT_EQ(app.InitInstance(), 0);
    return root;
}

} // namespace

TEST(InstalledProgram, ARootThatIsNotUtf8IsTheOneListedRememberedByItsBytesAndWhereTheAutostartEntryLeads)
{
    TempTree tree;
    qputenv("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")).toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray raw = EncodeFileName(tree.Root()) + "/raw\xff";
    std::filesystem::create_directories(raw.toStdString());
    QDir().mkdir(tree.Path(QStringLiteral("raw\uFFFD"))); // what a lossy reading of raw\xff names
    ASSERT_TRUE(WriteAutostartEntry(QCoreApplication::applicationFilePath(), QStringLiteral("/somewhere/else")));

    EXPECT_EQ(EncodeFileName(RootShown({ "quillbrook", raw })), raw);
    const QSettings settings(tree.Path(QStringLiteral("config/Quillbrook/quillbrook.conf")), QSettings::IniFormat);
    EXPECT_EQ(EncodeFileName(StoredRoot(settings)), raw);
    QFile entry(AutostartEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(" file://" + raw.toPercentEncoding("/").replace("%", "%%") + "\n"));
    // Started again without a folder, as from the menu: the remembered root.
    EXPECT_EQ(EncodeFileName(RootShown({ "quillbrook" })), raw);
    std::filesystem::remove_all(raw.toStdString()); // QTemporaryDir would leave it behind
}
