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

// Fills the "%s" places of a message text in order with the given values, each in its readable
// form (filenames.h).
QString FormatMessage(const QString& format, std::initializer_list<QString> values);
