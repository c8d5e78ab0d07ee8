#include "app/dlgcreate.h"

#include "app/descbox.h"
#include "app/dlgunits.h"
#include "edit/settingscheck.h"
#include "platform/filenames.h"
#include "platform/messageport.h"
#include "platform/shellport.h"
#include "ui_dlgcreate.h"

#include <QApplication>
#include <QSignalBlocker>

namespace {

struct ModeItem
{
    const char16_t* name;
    const char16_t* hint;
};

// Item order is the mode number kept in the schedule file.
const ModeItem kModes[] = {
    { u"每年触发", u"如：2-29 表示每年2月29日触发，无此日期则前推" },
    { u"每月触发", u"如：31 表示每月31日触发，无此日期则前推" },
    { u"每几天触发", u"如：2024-9-15,1 表示从2024年9月15日开始，每1天触发一次" },
    { u"每几个月触发", u"如：2024-9-15,1 表示从2024年9月15日开始，每1个月触发一次" },
};

} // namespace

DlgCreate::DlgCreate(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DlgCreate>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    m_cbMode = m_ui->modeCombo;
    m_descBox = new DescriptionBox(m_ui->descEdit);
    m_cbMode->setMaxVisibleItems(4);
    PlaceControls();

    // The message map.
    connect(m_cbMode, &QComboBox::currentIndexChanged, this, &DlgCreate::OnSelChangeMode);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &DlgCreate::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &DlgCreate::OnOK);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &DlgCreate::OnCancel);
}

DlgCreate::~DlgCreate() = default;

void DlgCreate::PlaceControls()
{
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogUnits du(font());

    struct Placement
    {
        QWidget* widget;
        int x, y, width, height;
    };
    const Placement placements[] = {
        { m_ui->pathLabel, 22, 16, 44, 8 },     { m_ui->pathEdit, 20, 27, 503, 14 },
        { m_ui->browseButton, 533, 27, 25, 14 }, { m_ui->descLabel, 22, 51, 44, 8 },
        { m_ui->descEdit, 20, 65, 540, 44 },    { m_ui->timerGroup, 19, 125, 539, 80 },
        { m_ui->modeLabel, 25, 148, 44, 8 },
        // The template's 30 units include the dropped list; the closed box is as tall as an edit.
        { m_ui->modeCombo, 71, 144, 84, 14 },   { m_ui->specEdit, 168, 143, 82, 14 },
        // The hint runs to the group's edge: the longest hint does not fit the template's 193 units
        // in the fonts found here.
        { m_ui->hintLabel, 262, 146, 290, 8 },  { m_ui->timeLabel, 27, 176, 35, 8 },
        { m_ui->hourEdit, 70, 172, 26, 14 },    { m_ui->colonLabel, 101, 175, 8, 8 },
        { m_ui->minuteEdit, 111, 172, 26, 14 }, { m_ui->countLabel, 168, 176, 138, 8 },
        { m_ui->countEdit, 309, 172, 26, 14 },  { m_ui->weekendCheck, 371, 175, 67, 10 },
        { m_ui->okButton, 413, 219, 50, 14 },   { m_ui->cancelButton, 486, 219, 50, 14 },
    };
    for (const Placement& p : placements) {
        QRect rect = du.Rect(p.x, p.y, p.width, p.height);
        // Static texts get a little room above and below so that CJK glyphs are not clipped.
        if (qobject_cast<QLabel*>(p.widget) || qobject_cast<QCheckBox*>(p.widget))
            rect.adjust(0, -2, 0, 2);
        p.widget->setGeometry(rect);
    }
    setFixedSize(du.X(575), du.Y(257));
}

QString DlgCreate::ModeHint(int mode)
{
    if (mode < 0 || mode >= int(std::size(kModes)))
        return {};
    return QString::fromUtf16(kModes[mode].hint);
}

int DlgCreate::DoModal()
{
    OnInitDialog();
    return exec();
}

bool DlgCreate::OnInitDialog()
{
    // Filling the list and selecting the caller's mode is not the user's choice: the
    // schedule text filled in by the caller stays.
    const QSignalBlocker blocker(m_cbMode);
    m_cbMode->clear();
    for (const ModeItem& mode : kModes)
        m_cbMode->addItem(QString::fromUtf16(mode.name));
    m_cbMode->setCurrentIndex(-1);
    m_strHint.clear();
    if (m_nMode != -1) {
        // A mode the list does not hold (a hand-edited file) selects nothing and shows no hint.
        if (m_nMode >= 0 && m_nMode < m_cbMode->count())
            m_cbMode->setCurrentIndex(m_nMode);
        m_strHint = ModeHint(m_nMode);
    }
    UpdateData(false);
    return true;
}

bool DlgCreate::UpdateData(bool save)
{
    return DoDataExchange(save);
}

bool DlgCreate::DoDataExchange(bool save)
{
    // A number box: taken only when it holds an integer; otherwise the exchange stops at it.
    auto exchangeInt = [save](QLineEdit* edit, int& value) {
        if (!save) {
            edit->setText(QString::number(value));
            return true;
        }
        int parsed = 0;
        if (ParseDialogInt(edit->text(), parsed)) {
            value = parsed;
            return true;
        }
        ShowMessage(QStringLiteral("请输入一个整数。"));
        edit->setFocus();
        edit->selectAll();
        return false;
    };

    if (save) {
        // The path is shown readable; left as shown, it still names the folder's exact bytes.
        if (m_ui->pathEdit->text() != ReadableName(m_strPath))
            m_strPath = m_ui->pathEdit->text();
        m_strDesc = m_descBox->Text();
        m_strSpec = m_ui->specEdit->text();
    } else {
        m_ui->pathEdit->setText(ReadableName(m_strPath));
        m_descBox->SetText(m_strDesc);
        m_ui->specEdit->setText(m_strSpec);
    }
    if (!exchangeInt(m_ui->hourEdit, m_nHour) || !exchangeInt(m_ui->minuteEdit, m_nMinute))
        return false;
    if (save)
        m_strHint = m_ui->hintLabel->text();
    else
        m_ui->hintLabel->setText(m_strHint);
    if (!exchangeInt(m_ui->countEdit, m_nCount))
        return false;
    if (save)
        m_bWeekend = m_ui->weekendCheck->isChecked();
    else
        m_ui->weekendCheck->setChecked(m_bWeekend);
    return true;
}

void DlgCreate::OnSelChangeMode()
{
    UpdateData(true);
    const int mode = m_cbMode->currentIndex();
    if (mode >= 0 && mode < int(std::size(kModes))) {
        m_strSpec.clear();
        m_strHint = ModeHint(mode);
    }
    UpdateData(false);
}

void DlgCreate::OnBrowse()
{
    QString folder = Shell().BrowseForFolder(QStringLiteral("请选择目录:"));
    if (folder.isEmpty())
        return;
    // No trailing separator, except for the root itself.
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    m_strPath = folder;
    UpdateData(false);
}

void DlgCreate::OnOK()
{
    // The tests run on the members as they stand even when a box did not hold an integer.
    UpdateData(true);

    m_nMode = m_cbMode->currentIndex();
    SettingsEntries entries;
    entries.path = m_strPath;
    entries.desc = m_strDesc;
    entries.mode = m_nMode;
    entries.hour = m_nHour;
    entries.minute = m_nMinute;
    entries.spec = m_strSpec;
    entries.weekend = m_bWeekend;
    const SettingsCheck check = CheckSettings(entries);
    if (!check.message.isEmpty())
        ShowMessage(check.message);
    if (!check.accepted)
        return;
    if (check.clearWeekend) {
        // Untick the box too, so the closing exchange keeps the flag cleared.
        m_bWeekend = false;
        m_ui->weekendCheck->setChecked(false);
    }

    if (UpdateData(true))
        done(QDialog::Accepted);
}

void DlgCreate::OnCancel()
{
    done(QDialog::Rejected);
}
