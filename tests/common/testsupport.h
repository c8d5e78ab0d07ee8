#pragma once
// Shared test helpers: recording ports, temporary trees, byte-level file access, time zones.
#include "recordingports.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder tree; paths are given relative to its root with "/".
class TempTree
{
public:
    TempTree();
    QString Root() const { return m_dir.path(); }
    QString Path(const QString& relative) const;
    void MakeDir(const QString& relative) const;
    void WriteBytes(const QString& relative, const QByteArray& bytes) const;
    // A text file as the program writes it: FF FE and UTF-16LE.
    void WriteText(const QString& relative, const QString& text) const;
    QByteArray ReadBytes(const QString& relative) const;
    bool Exists(const QString& relative) const;
    void Symlink(const QString& target, const QString& relativeLink) const;

private:
    QTemporaryDir m_dir;
};

// Puts the program-wide state back as it is at start; runs before every test.
void ResetProgramState();

// UTF-16LE bytes of a text behind the mark FF FE.
QByteArray Utf16File(const QString& text);

// Sets TZ for the scope and restores it afterwards.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();

private:
    QByteArray m_old;
    bool m_had;
};

// Holds a file locked as another process would (an open with an exclusive lock) for the scope.
class HeldFile
{
public:
    explicit HeldFile(const QString& path);
    ~HeldFile();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Column 0 of every row of the window's list, in list order.
template <typename Window>
QStringList Column0(const Window& dlg)
{
    QStringList rows;
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        rows.append(dlg.GetItemText(row, 0));
    return rows;
}
