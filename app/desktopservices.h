#pragma once
// What the program takes from the desktop besides its window: Qt's own texts in Chinese and the
// notification service.
#include <memory>

class NotificationPort;
class QTranslator;

// Installs Qt's own translations for zh_CN (message-box buttons, the folder picker), whatever the
// user's locale. Returns the installed translator (owned by the application), or nullptr when the
// translations are not on this system.
QTranslator* LoadQtChineseTranslations();

// The session bus's notification service, with this program's name and icon.
std::unique_ptr<NotificationPort> CreateDesktopNotifications();
