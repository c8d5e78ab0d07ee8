#pragma once
// The program's ports: message boxes and the desktop's services behind the message and shell ports.
#include "platform/messageport.h"
#include "platform/shellport.h"

class QtMessagePort final : public MessagePort
{
public:
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& text) override;
};

class DesktopShellPort final : public ShellPort
{
public:
    void OpenPath(const QString& path) override;
    void StartBatch(const QString& batchPath, const QString& workDir) override;
    QString BrowseForFolder(const QString& title) override;
};
