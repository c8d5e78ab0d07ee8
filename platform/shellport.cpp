#include "platform/shellport.h"

#include <QProcess>
#include <QStringList>

namespace {

class DefaultShellPort final : public ShellPort
{
public:
    void OpenPath(const QString&) override {}
    void StartBatch(const QString& batchPath, const QString& workDir) override
    {
        StartBatchDetached(batchPath, workDir);
    }
    QString BrowseForFolder(const QString&) override { return {}; }
};

DefaultShellPort g_defaultShell;
ShellPort* g_shell = &g_defaultShell;

} // namespace

void SetShellPort(ShellPort* port)
{
    g_shell = port ? port : &g_defaultShell;
}

ShellPort& Shell()
{
    return *g_shell;
}

bool StartBatchDetached(const QString& batchPath, const QString& workDir)
{
    // The path goes to the shell as an argument, never as command text.
    return QProcess::startDetached(QStringLiteral("/bin/sh"), QStringList { batchPath }, workDir);
}
