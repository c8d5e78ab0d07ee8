// The window's place on the desktop: the root in the title bar and starting at login.
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/autostart.h"
#include "platform/filenames.h"
#include "platform/programstate.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>

namespace {

// The root as a folder path (g_strRootDir keeps the file system's root as an empty text).
QString RootFolder()
{
    return g_strRootDir.isEmpty() ? QStringLiteral("/") : g_strRootDir;
}

// What follows the caption where the root is shown.
QString RootAfterCaption()
{
    return QStringLiteral(" — ") + ReadableName(QDir::toNativeSeparators(RootFolder()));
}

} // namespace

void CQuillbrookDlg::SetCaption(const QString& caption)
{
    setWindowTitle(m_showRootInCaption ? caption + RootAfterCaption() : caption);
}

QString CQuillbrookDlg::RootCaption() const
{
    return kMainCaption + RootAfterCaption();
}

void CQuillbrookDlg::ShowRootInCaption(bool show)
{
    m_showRootInCaption = show;
    SetCaption(kMainCaption);
}

void CQuillbrookDlg::ShowAutostartItem(const QString& program)
{
    m_strProgram = program;
    if (m_autostartItem)
        return;
    m_autostartItem = AddAutostartItem(m_menu);
    // The tick shows what is on disk, whoever changed it since.
    QMenu* view = m_menu->actions().constFirst()->menu();
    connect(view, &QMenu::aboutToShow, this, [this] { m_autostartItem->setChecked(AutostartEntryPresent()); });
    m_autostartItem->setChecked(AutostartEntryPresent());
}

void CQuillbrookDlg::OnAutostart()
{
    if (!m_autostartItem)
        return;
    if (AutostartEntryPresent())
        RemoveAutostartEntry();
    else
        WriteAutostartEntry(m_strProgram, RootFolder());
    m_autostartItem->setChecked(AutostartEntryPresent());
}
