// The window beside the desktop: the tray icon and closing into it, the columns fitted to the
// list's room, and what the installed program remembers of the window.
#include "app/columnfit.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/trayicon.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTreeView>

namespace {

const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kMaximizedKey = QStringLiteral("window/maximized");
const QString kColumnsKey = QStringLiteral("window/columnWidths");
const QString kKeepInTrayKey = QStringLiteral("window/keepRunningInTray");

} // namespace

void CQuillbrookDlg::ShowTray()
{
    if (m_tray)
        return;
    m_tray = std::make_unique<ProgramTray>();
    connect(m_tray.get(), &ProgramTray::ShowWindowRequested, this, &CQuillbrookDlg::BringToFront);
    connect(m_tray.get(), &ProgramTray::ClearAlertRequested, this, &CQuillbrookDlg::OnClearAlert);
    connect(m_tray.get(), &ProgramTray::QuitRequested, this, &CQuillbrookDlg::Quit);
    m_keepInTrayItem = AddKeepInTrayItem(m_menu);
    m_keepInTrayItem->setChecked(m_settings && m_settings->value(kKeepInTrayKey, false).toBool());
    m_tray->SetToolTip(RootCaption());
    m_tray->SetAlert(!m_btnClearAlert->isHidden());
    m_tray->Show();
}

void CQuillbrookDlg::OnKeepInTray()
{
    // The item ticks itself as it is chosen; what it shows is what is remembered.
    if (m_settings && m_keepInTrayItem)
        m_settings->setValue(kKeepInTrayKey, m_keepInTrayItem->isChecked());
}

bool CQuillbrookDlg::ClosingHides() const
{
    // Without a tray a hidden window could not be brought back: closing then ends the program.
    return !m_quitting && m_tray && m_keepInTrayItem && m_keepInTrayItem->isChecked() && m_trayAvailable
        && m_trayAvailable();
}

void CQuillbrookDlg::Quit()
{
    m_quitting = true;
    reject();
}

void CQuillbrookDlg::ShowAlertInTray(bool standing)
{
    if (m_tray)
        m_tray->SetAlert(standing);
}

void CQuillbrookDlg::RestoreWindowState()
{
    FitToScreen();
    m_fitPending = true;
    if (!m_settings)
        return;
    if (const std::optional<ColumnWidths> widths = ParseColumnWidths(m_settings->value(kColumnsKey).toString()))
        m_wantedWidths = *widths;
    const QRect stored = m_settings->value(kGeometryKey).toRect();
    if (!stored.isValid())
        return;
    m_placeStored = true;
    PlaceWindow(stored);
    if (m_settings->value(kMaximizedKey, false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CQuillbrookDlg::PlaceWindow(const QRect& wanted)
{
    // On the screen it was on, if that screen is still there; within its available area with the
    // window manager's frame around it (the screen may be smaller now).
    QScreen* target = QGuiApplication::screenAt(wanted.center());
    if (!target)
        target = screen();
    if (target != screen())
        setScreen(target);
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QRect room = target->availableGeometry().marginsRemoved(frame);
    setMinimumSize(QSize(1024, 768).boundedTo(room.size()));
    const QSize size = wanted.size().boundedTo(room.size()).expandedTo(minimumSize());
    const QPoint place(qBound(room.left(), wanted.left(), room.right() + 1 - size.width()),
                       qBound(room.top(), wanted.top(), room.bottom() + 1 - size.height()));
    setGeometry(QRect(place, size));
}

void CQuillbrookDlg::StoreGeometry()
{
    if (!m_settings || !isVisible() || isMinimized())
        return;
    m_settings->setValue(kGeometryKey, isMaximized() ? normalGeometry() : geometry());
    m_settings->setValue(kMaximizedKey, isMaximized());
}

void CQuillbrookDlg::FitColumnsToList()
{
    if (m_fittingColumns)
        return;
    const ColumnWidths widths = FitColumns(m_wantedWidths, m_list->viewport()->width());
    m_fittingColumns = true;
    for (int column = 0; column < kRowColumns; ++column)
        if (m_list->columnWidth(column) != widths[size_t(column)])
            m_list->setColumnWidth(column, widths[size_t(column)]);
    m_fittingColumns = false;
}

void CQuillbrookDlg::OnColumnResized(int column, int, int newWidth)
{
    if (m_fittingColumns || column < 0 || column >= kRowColumns)
        return;
    // The user's width for this column, from now on and, in the installed program, at every start.
    m_wantedWidths[size_t(column)] = newWidth;
    if (m_settings)
        m_settings->setValue(kColumnsKey, ColumnWidthsText(m_wantedWidths));
    // A wider folder or schedule column takes its room from the description; a description made
    // wider is the user's own choice to scroll.
    if (column != kColDesc)
        FitColumnsToList();
}
