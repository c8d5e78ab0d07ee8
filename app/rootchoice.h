#pragma once
// Which folder is the root. A portable copy (anywhere but the installed bin folder) uses its own
// folder; the installed program uses the folder given on its command line, else the one it was
// last given, else asks for one with the folder picker. No window is needed to decide.
#include <QString>

class QSettings;

struct RootChoice
{
    enum Kind {
        Use,         // root is the root
        Ask,         // the installed program has no usable stored root: ask with the folder picker
        BadArgument, // the folder on the command line does not exist or is not a folder
    };
    Kind kind = Use;
    QString root;       // Use: the root; Ask: the stored root that is gone (empty on a first start)
    QString badFolder;  // BadArgument: the folder as given
};

// True when the program runs from the installed bin folder (compared after resolving links).
bool IsInstalledProgram(const QString& programDir, const QString& installedBinDir);

// An absolute path without a trailing separator; "/" stays "/". Every path here keeps its bytes
// (filenames.h), also one taken from the working folder.
QString CleanFolderPath(const QString& path);
bool IsExistingFolder(const QString& path);
// True when something other than a folder (a file, a device) is at path.
bool IsOtherThanFolder(const QString& path);

// argument: the folder on the command line, empty when none; storedRoot: the folder the installed
// program was last given, empty when none.
RootChoice ChooseRoot(const QString& programDir, const QString& installedBinDir, const QString& argument,
                      const QString& storedRoot);

// Asks for the root with the shell port's folder picker until the user picks an existing folder or
// cancels (empty result). goneRoot, when not empty, is a stored root that can no longer be used:
// the user is told that it is gone, or is not a folder, before the picker opens.
QString AskForRoot(const QString& goneRoot);

// The root the installed program was last given, and storing a new one. A root whose name is not
// UTF-8 is stored as its bytes; a stored text (the form of older settings files) still reads.
QString StoredRoot(const QSettings& settings);
void StoreRoot(QSettings& settings, const QString& root);

// The message for a folder that does not exist or is not a folder.
QString NotAFolderMessage(const QString& folder);

// The help document: beside the root (where a portable copy keeps it), else beside the program,
// else in the installed documentation folder; when none exists, the one beside the root.
QString HelpDocumentPath(const QString& root, const QString& programDir, const QString& installedDocDir);
