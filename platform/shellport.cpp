#include "platform/shellport.h"

#include "platform/filenames.h"

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

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
    // Both paths keep their exact bytes, which a name need not hold as UTF-8. The batch path goes
    // to the shell as an argument, never as command text.
    const QByteArray batch = EncodeFileName(batchPath);
    const QByteArray dir = EncodeFileName(workDir);
    char shell[] = "/bin/sh";
    char* const argv[] = { shell, const_cast<char*>(batch.constData()), nullptr };
    // Started from a child that ends at once, so the batch file is nobody's child here and never
    // waited for; between fork and exec only calls that are safe there.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        ::setsid();
        if (::chdir(dir.constData()) != 0)
            ::_exit(127);
        ::execv(shell, argv);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
