#include "app/trayicon.h"

#include "app/desktopservices.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

// The icon with a red disc and a white bar in its upper right quarter: seen at 16 pixels as well
// as at 64, and in a panel of any colour.
QIcon AlertIcon(const QIcon& plain)
{
    QIcon alert;
    for (const int size : { 16, 22, 24, 32, 48, 64 }) {
        QPixmap pixmap = plain.pixmap(size, size);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal disc = size * 0.55;
        const QRectF rect(size - disc, 0, disc, disc);
        painter.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
        painter.setBrush(QColor(0xd0, 0x20, 0x20));
        painter.drawEllipse(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QPen(Qt::white, qMax(1.5, size / 10.0), Qt::SolidLine, Qt::RoundCap));
        const QPointF centre = rect.center();
        painter.drawLine(QPointF(centre.x(), rect.top() + disc * 0.25), QPointF(centre.x(), rect.top() + disc * 0.55));
        painter.drawPoint(QPointF(centre.x(), rect.top() + disc * 0.75));
        painter.end();
        alert.addPixmap(pixmap);
    }
    return alert;
}

} // namespace

ProgramTray::ProgramTray(QObject* parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
{
    InitProgramResources();
    m_plain = QIcon(QStringLiteral(":/res/quillbrook.png"));
    m_alert = AlertIcon(m_plain);

    m_show = m_menu->addAction(QStringLiteral("显示主窗口"));
    m_clear = m_menu->addAction(QStringLiteral("清除触发警示"));
    m_clear->setVisible(false);
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QStringLiteral("退出"));
    connect(m_show, &QAction::triggered, this, &ProgramTray::ShowWindowRequested);
    connect(m_clear, &QAction::triggered, this, &ProgramTray::ClearAlertRequested);
    connect(m_quit, &QAction::triggered, this, &ProgramTray::QuitRequested);

    m_icon = std::make_unique<QSystemTrayIcon>(m_plain);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A click brings the window; the menu is the context menu's own.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick
            || reason == QSystemTrayIcon::MiddleClick)
            Q_EMIT ShowWindowRequested();
    });
}

ProgramTray::~ProgramTray()
{
    m_icon.reset();
}

void ProgramTray::Show()
{
    m_icon->show();
}

void ProgramTray::Hide()
{
    m_icon->hide();
}

void ProgramTray::SetToolTip(const QString& text)
{
    m_icon->setToolTip(text);
}

void ProgramTray::SetAlert(bool standing)
{
    m_clear->setVisible(standing);
    if (!standing)
        Flash(false);
}

void ProgramTray::Flash(bool on)
{
    if (m_marked == on)
        return;
    m_marked = on;
    m_icon->setIcon(on ? m_alert : m_plain);
}
