// The editing commands: set description and schedule, remove management information.
#include "app/dlgcreate.h"
#include "app/quillbrookdlg.h"
#include "platform/fileattr.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "schedule/rowlist.h"
#include "schedule/rowtexts.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"

QString g_strEditingDir;

namespace {

// Empties g_strEditingDir however the command ends.
class EditingDirScope
{
public:
    explicit EditingDirScope(const QString& relative) { g_strEditingDir = relative; }
    ~EditingDirScope() { g_strEditingDir.clear(); }
    EditingDirScope(const EditingDirScope&) = delete;
    EditingDirScope& operator=(const EditingDirScope&) = delete;
};

// The dialog keeps the schedule in its own members; the schedule file takes and gives a record.
ScheduleRecord DialogSchedule(const DlgCreate& dlg)
{
    ScheduleRecord record;
    record.mode = dlg.m_nMode;
    record.hour = dlg.m_nHour;
    record.minute = dlg.m_nMinute;
    record.spec = dlg.m_strSpec;
    record.count = dlg.m_nCount;
    record.weekend = dlg.m_bWeekend ? 1 : 0;
    return record;
}

void SetDialogSchedule(DlgCreate& dlg, const ScheduleRecord& record)
{
    dlg.m_nMode = record.mode;
    dlg.m_nHour = record.hour;
    dlg.m_nMinute = record.minute;
    dlg.m_strSpec = record.spec;
    dlg.m_nCount = record.count;
    dlg.m_bWeekend = record.weekend != 0;
}

} // namespace

void CQuillbrookDlg::OnSetDescAndTimer()
{
    int row = CommandRow();
    if (row == -1)
        return;
    const QString relative = GetItemText(row, 0);

    // Directly below the root: a managed first-level folder hides its sub-folders from the list.
    if (relative.lastIndexOf(u'/') == 0
        && !AskYesNo(QStringLiteral("不建议直接管理一级目录，被管理后会忽略下级子目录！是否继续？")))
        return;

    DlgCreate dlg(this);
    const QString folder = g_strRootDir + relative;
    dlg.m_strPath = folder;
    dlg.m_strDesc = GetItemText(row, 1);
    // The dialog's defaults are the reading's presets; on failure (after its own message) the
    // members keep them.
    ScheduleRecord schedule = DialogSchedule(dlg);
    if (ReadScheduleForEdit(dlg.m_strPath, schedule))
        SetDialogSchedule(dlg, schedule);

    const RowRef ref = RowRef::Of(Rows(), row);
    const EditingDirScope editing(relative);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    // The dialog ran its own loop; the row is looked up again (-1: gone with a reload).
    row = ref.Resolve(Rows());

    // Both files are written on every confirmation, the description first; writing it is what
    // puts a folder under management. The row shows the new description whatever that write gave,
    // before the schedule is written, so a message of the schedule write stands over it.
    const bool sameFolder = dlg.m_strPath == folder && row >= 0;
    WriteDirDesc(dlg.m_strPath, dlg.m_strDesc);
    if (sameFolder)
        SetItemText(row, 1, dlg.m_strDesc);
    const bool scheduleWritten = WriteScheduleFile(dlg.m_strPath, DialogSchedule(dlg));

    if (!sameFolder) {
        // The user picked another folder: the selected row does not show it, the rebuilt list may.
        LoadDirList();
        return;
    }
    if (scheduleWritten) {
        QString desc, schedText, nextText;
        ReadDirTexts(dlg.m_strPath, desc, schedText, nextText);
        SetItemText(row, 2, schedText);
        SetItemText(row, 3, nextText);
    }
}

void CQuillbrookDlg::OnClearManageInfo()
{
    const int row = CommandRow();
    if (row == -1)
        return;
    const QString folder = RowFolder(row);
    if (!AskYesNo(FormatMessage(QStringLiteral("%s管理信息将被清除！是否继续？"), { folder })))
        return;
    // The files as found, whatever the case of their names; one that is missing or cannot be
    // removed is passed over.
    DeleteFileW(FindEntryPath(folder, kDescFileName));
    DeleteFileW(FindEntryPath(folder, kTimerFileName));
    LoadDirList();
}
