// The window beside the desktop: the tray icon and closing into it, the columns fitted to the
// list's room, and what the installed program remembers of the window.
#include "app/columnfit.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/trayicon.h"

#include <QAction>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTreeView>

namespace {

const QString kGeometryKey = QStringLiteral("window/geometry");
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
    // Put back on a screen there is now, and within the least size.
    const QByteArray geometry = m_settings->value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void CQuillbrookDlg::StoreGeometry()
{
    if (m_settings && isVisible() && !isMinimized())
        m_settings->setValue(kGeometryKey, saveGeometry());
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
