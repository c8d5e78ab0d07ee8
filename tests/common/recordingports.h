#pragma once
// The recording ports: stand-ins for the message boxes and the shell that tests, fuzz targets and
// benchmarks install to see what the program would have shown, opened or started.
#include "platform/messageport.h"
#include "platform/notificationport.h"
#include "platform/shellport.h"

#include <QString>
#include <QStringList>

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
        if (onQuestion)
            onQuestion(text);
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
    std::function<void(const QString&)> onQuestion; // the same for questions
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
