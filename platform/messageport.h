#pragma once
// The message port: every message box and yes/no question of the program goes through here. The
// program installs message boxes behind it; tests install a recorder that also answers questions.
#include <QString>
#include <initializer_list>

class MessagePort
{
public:
    virtual ~MessagePort() = default;
    // A message with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
};

// Installs the port used from now on (not owned); nullptr restores the default, which writes the
// text to standard error and answers No.
void SetMessagePort(MessagePort* port);
MessagePort& CurrentMessagePort();

void ShowMessage(const QString& text);
bool AskYesNo(const QString& text);

// Puts port in front of the installed one for the calling thread alone, while it lives. A worker
// thread gathers with it what its part of a job would show; the window's thread shows it later,
// in the order the job would have shown it.
class ThreadMessagePort
{
public:
    explicit ThreadMessagePort(MessagePort& port);
    ~ThreadMessagePort();
    ThreadMessagePort(const ThreadMessagePort&) = delete;
    ThreadMessagePort& operator=(const ThreadMessagePort&) = delete;

private:
    MessagePort* m_previous;
};

// Fills the "%s" places of a message text in order with the given values, each in its readable
// form (filenames.h).
QString FormatMessage(const QString& format, std::initializer_list<QString> values);
