#pragma once
// The shell port: handing a folder or document to the desktop, starting a batch file, and the
// folder picker. The program installs the desktop's services behind it; tests install a recorder.
#include <QString>

class ShellPort
{
public:
    virtual ~ShellPort() = default;
    // Opens a folder or document with its associated program; the result is not examined.
    virtual void OpenPath(const QString& path) = 0;
    // Starts a batch file with /bin/sh, in workDir, detached and not waited for.
    virtual void StartBatch(const QString& batchPath, const QString& workDir) = 0;
    // Lets the user pick a folder; an empty text when the user cancels.
    virtual QString BrowseForFolder(const QString& title) = 0;
};

// Installs the port used from now on (not owned); nullptr restores the default, which starts
// batch files but opens nothing and picks no folder.
void SetShellPort(ShellPort* port);
ShellPort& Shell();

// Starts /bin/sh batchPath in workDir, detached; false when it could not be started.
bool StartBatchDetached(const QString& batchPath, const QString& workDir);
