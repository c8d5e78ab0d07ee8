#pragma once
// The command line: quillbrook [选项] [文件夹]. Parsed before any window exists, so --help and
// --version work without a display.
#include <QString>
#include <QStringList>

struct CommandLine
{
    enum Action { Run, Help, Version, Error };
    Action action = Run;
    QString folder; // Run: the folder given, empty when none
    QString error;  // Error: what was wrong, in the interface's language
};

// arguments as the program received them, the program's name first.
CommandLine ParseCommandLine(const QStringList& arguments);

// The --help text; rootAccount tells which folder is the root when no folder is given.
QString HelpText(const QString& rootAccount);
QString VersionText();

// Which folder a start without a folder would use, for --help.
QString RootAccount(const QString& programDir, const QString& installedBinDir, const QString& storedRoot);

// Exit status for a wrong command line or a folder that is not there.
constexpr int kUsageExitCode = 2;
