#pragma once
// The application object: decides the root, shows the main window; the program ends when the
// window closes (or, kept in the tray, when "退出" is chosen).
#include <QString>

class CQuillbrookApp
{
public:
    // Where the program is installed: the bin folder, and the documentation folder relative to it.
    CQuillbrookApp(const QString& installedBinDir, const QString& docDirFromBinDir);

    // Reads the command line before any window exists. Returns the exit code when the program is
    // to end here (--help, --version, a wrong command line, a folder that is not there), else -1.
    int ParseCommandLine(int argc, char* argv[]);
    // Runs the main window; returns the process exit code. Needs the QApplication.
    int InitInstance();

private:
    QString m_installedBinDir;
    QString m_docDirFromBinDir;
    QString m_programDir;
    bool m_installed = false;
    QString m_root;     // decided from the command line or the stored setting; empty: ask
    QString m_goneRoot; // a stored root that no longer exists
};
