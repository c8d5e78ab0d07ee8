#pragma once
// Shared test helpers: recording ports, temporary trees, byte-level file access, time zones.
#include "platform/messageport.h"
#include "platform/notificationport.h"
#include "platform/shellport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>

// Records every message and question; answers questions from a queue (No when it is empty).
class RecordingMessagePort final : public MessagePort
{
public:
    RecordingMessagePort() { SetMessagePort(this); }
    ~RecordingMessagePort() override { SetMessagePort(nullptr); }
    void ShowMessage(const QString& text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }
    bool AskYesNo(const QString& text) override
    {
        questions.append(text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList messages;
    QStringList questions;
    std::deque<bool> answers;
    std::function<void(const QString&)> onMessage; // runs inside the "box", e.g. to tick the timer
};

// Records what is opened and started; the folder picker answers from a queue.
class RecordingShellPort final : public ShellPort
{
public:
    RecordingShellPort() { SetShellPort(this); }
    ~RecordingShellPort() override { SetShellPort(nullptr); }
    void OpenPath(const QString& path) override { opened.append(path); }
    void StartBatch(const QString& batchPath, const QString& workDir) override
    {
        started.append(batchPath);
        startedIn.append(workDir);
    }
    QString BrowseForFolder(const QString& title) override
    {
        browseTitles.append(title);
        return folders.empty() ? QString() : folders.takeFirst();
    }
    QStringList opened, started, startedIn, browseTitles, folders;
};

// Records every notification shown and every closing of them all.
class RecordingNotificationPort final : public NotificationPort
{
public:
    RecordingNotificationPort() { SetNotificationPort(this); }
    ~RecordingNotificationPort() override { SetNotificationPort(nullptr); }
    void Notify(const QString& summary, const QString& body) override
    {
        summaries.append(summary);
        bodies.append(body);
    }
    void CloseAll() override { ++closeAlls; }
    QStringList summaries, bodies;
    int closeAlls = 0;
};

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
