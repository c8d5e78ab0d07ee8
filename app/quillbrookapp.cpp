#include "app/quillbrookapp.h"

#include "app/commandline.h"
#include "app/desktopports.h"
#include "app/desktopservices.h"
#include "app/filework.h"
#include "app/quillbrookdlg.h"
#include "app/rootchoice.h"
#include "app/autostart.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/notificationport.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QSettings>

#include <cstdio>

namespace {

// A font that has the Chinese glyphs, so no text shows as boxes.
void ChooseInterfaceFont()
{
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                                      QStringLiteral("Noto Sans SC") }) {
        if (families.contains(candidate)) {
            QApplication::setFont(QFont(candidate, 9));
            return;
        }
    }
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
}

// The installed program's stored setting (~/.config/Quillbrook/quillbrook.conf). No QApplication
// exists yet when it is first read, so the names are given here.
QSettings& Settings()
{
    static QSettings settings(QStringLiteral("Quillbrook"), QStringLiteral("quillbrook"));
    return settings;
}

// The running program's folder, known before the QApplication exists, by its bytes: a portable
// copy's folder is its root, whatever its name.
QString ProgramDir(const char* argv0)
{
    QString program = Fs().CanonicalPath(QStringLiteral("/proc/self/exe"));
    if (program.isEmpty())
        program = CleanFolderPath(DecodeFileName(argv0));
    const qsizetype slash = program.lastIndexOf(u'/');
    return slash > 0 ? program.left(slash) : QStringLiteral("/");
}

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

CQuillbrookApp::CQuillbrookApp(const QString& installedBinDir, const QString& docDirFromBinDir)
    : m_installedBinDir(installedBinDir)
    , m_docDirFromBinDir(docDirFromBinDir)
{
}

int CQuillbrookApp::ParseCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    // Arguments are bytes; a folder's name keeps them (filenames.h).
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    m_programDir = ProgramDir(argv[0]);
    m_installed = IsInstalledProgram(m_programDir, m_installedBinDir);
    const QString stored = m_installed ? StoredRoot(Settings()) : QString();

    const CommandLine line = ::ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Help: Print(stdout, HelpText(RootAccount(m_programDir, m_installedBinDir, stored))); return 0;
    case CommandLine::Version: Print(stdout, VersionText()); return 0;
    case CommandLine::Error:
        Print(stderr, line.error + QStringLiteral("\n用 quillbrook --help 查看用法。\n"));
        return kUsageExitCode;
    case CommandLine::Run: break;
    }

    const RootChoice choice = ChooseRoot(m_programDir, m_installedBinDir, line.folder, stored);
    switch (choice.kind) {
    case RootChoice::BadArgument: Print(stderr, NotAFolderMessage(choice.badFolder) + u'\n'); return kUsageExitCode;
    case RootChoice::Ask: m_goneRoot = choice.root; break;
    case RootChoice::Use: m_root = choice.root; break;
    }
    return -1;
}

int CQuillbrookApp::InitInstance()
{
    ChooseInterfaceFont();
    LoadQtChineseTranslations();
    QtMessagePort messages;
    DesktopShellPort shell;
    const std::unique_ptr<NotificationPort> notifications = CreateDesktopNotifications();
    SetMessagePort(&messages);
    SetShellPort(&shell);
    SetNotificationPort(notifications.get());

    if (m_root.isEmpty())
        m_root = AskForRoot(m_goneRoot);
    if (!m_root.isEmpty()) {
        // The installed program goes on with the folder it was last given.
        if (m_installed && StoredRoot(Settings()) != m_root)
            StoreRoot(Settings(), m_root);
        // An entry that starts the program at login starts it where it last ran.
        if (m_installed)
            RetargetAutostartEntry(QCoreApplication::applicationFilePath(), m_root);
        CQuillbrookDlg dlg;
        // Found the same way in a staged install tree as in the installed one.
        dlg.SetInstalledDocDir(QDir::cleanPath(m_programDir + u'/' + m_docDirFromBinDir));
        dlg.ShowRootInCaption(true);
        if (m_installed) {
            dlg.ShowAutostartItem(QCoreApplication::applicationFilePath());
            dlg.RememberIn(&Settings());
        }
        dlg.ShowTray();
        // Shown while the list loads; closed meanwhile, it stays closed. The program ends when the
        // window is done, not when its last window goes: it may be kept in the tray, and a message
        // box may be the only window then.
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&dlg, &QDialog::finished, qApp, &QCoreApplication::quit);
        dlg.OnInitDialog(m_root, true);
        if (!dlg.Work().Closed())
            QApplication::exec();
    }

    SetNotificationPort(nullptr);
    SetShellPort(nullptr);
    SetMessagePort(nullptr);
    return 0;
}
