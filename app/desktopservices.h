#pragma once
// What the program takes from the desktop besides its window: Qt's own texts in Chinese and the
// notification service.
#include <memory>

#include "app/dbusnotifications.h"

class NotificationPort;
class QTranslator;

// Makes the program's resources (its icon) available. They are compiled into a static library,
// whose initialiser the linker leaves out unless something calls it.
void InitProgramResources();

// Installs Qt's own translations for zh_CN (message-box buttons, the folder picker), whatever the
// user's locale. Returns the installed translator (owned by the application), or nullptr when the
// translations are not on this system.
QTranslator* LoadQtChineseTranslations();

// The program's icon as a notification carries it.
NotificationImage ProgramNotificationImage();

// The session bus's notification service, with this program's name and icon.
std::unique_ptr<NotificationPort> CreateDesktopNotifications();
