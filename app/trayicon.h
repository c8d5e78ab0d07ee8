#pragma once
// The program's icon in the desktop's tray (a StatusNotifierItem where the desktop has a watcher,
// an XEmbed icon where it has a tray window), shown while the program runs: its tooltip names the
// program and the root, it flashes while an alert stands, and its menu shows the window, clears the
// alert and ends the program.
#include <QIcon>
#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

class ProgramTray final : public QObject
{
    Q_OBJECT

public:
    explicit ProgramTray(QObject* parent = nullptr);
    ~ProgramTray() override;

    // Puts the icon into the tray; where there is none yet, it appears when one comes.
    void Show();
    void Hide();
    void SetToolTip(const QString& text);
    // "清除触发警示" is offered while an alert stands; the icon shows still when the alert ends.
    void SetAlert(bool standing);
    // One step of the flash: the icon with its alert mark (on) or without it.
    void Flash(bool on);
    bool ShowsAlertMark() const { return m_marked; }

    QSystemTrayIcon& Icon() const { return *m_icon; }
    QMenu& Menu() const { return *m_menu; }
    QAction* ShowWindowItem() const { return m_show; }
    QAction* ClearAlertItem() const { return m_clear; }
    QAction* QuitItem() const { return m_quit; }

Q_SIGNALS:
    void ShowWindowRequested();
    void ClearAlertRequested();
    void QuitRequested();

private:
    std::unique_ptr<QMenu> m_menu; // made before the icon, gone after it
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QIcon m_plain;
    QIcon m_alert;
    QAction* m_show = nullptr;
    QAction* m_clear = nullptr;
    QAction* m_quit = nullptr;
    bool m_marked = false;
};
