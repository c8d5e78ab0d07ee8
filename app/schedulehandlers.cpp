// The command that stops the selected folder's schedule.
#include "app/quillbrookdlg.h"
#include "platform/messageport.h"
#include "schedule/schedule.h"

void CQuillbrookDlg::OnPauseTimer()
{
    const int row = CommandRow();
    if (row == -1)
        return;
    const QString folder = RowFolder(row);
    if (!StopSchedule(folder)) {
        ShowMessage(FormatMessage(QStringLiteral("%s停止了定时发生了错误"), { folder }));
        return;
    }
    QString schedText, nextText;
    GetScheduleTexts(folder, schedText, nextText);
    SetItemText(row, 2, schedText);
    SetItemText(row, 3, nextText);
    ShowMessage(FormatMessage(QStringLiteral("%s停止了定时！"), { folder }));
}
