#include "app/dlglnk.h"

#include "app/dlgunits.h"
#include "app/quillbrookdlg.h"
#include "dirops/dirlink.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "platform/shellport.h"

#include "ui_dlglnk.h"

DlgLnk::DlgLnk(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DlgLnk>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    PlaceControls();

    // The message map.
    connect(m_ui->okButton, &QPushButton::clicked, this, &DlgLnk::OnBnClickedOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &DlgLnk::OnBnClickedBrowse);
}

DlgLnk::~DlgLnk() = default;

void DlgLnk::PlaceControls()
{
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogUnits du(dialogFont);
    m_ui->externalDirLabel->setGeometry(du.Rect(17, 17, 44, 8).adjusted(0, -2, 0, 2));
    m_ui->browseButton->setGeometry(du.Rect(79, 14, 46, 14));
    m_ui->externalDirEdit->setGeometry(du.Rect(16, 32, 356, 14));
    m_ui->managedDirLabel->setGeometry(du.Rect(17, 73, 342, 8).adjusted(0, -2, 0, 2));
    m_ui->managedDirEdit->setGeometry(du.Rect(16, 89, 356, 14));
    m_ui->okButton->setGeometry(du.Rect(185, 135, 50, 14));
    m_ui->cancelButton->setGeometry(du.Rect(263, 135, 50, 14));
    setFixedSize(du.X(383), du.Y(163));
}

void DlgLnk::UpdateData(bool save)
{
    if (save) {
        m_strManagedDir = m_ui->managedDirEdit->text();
        m_strExternalDir = m_ui->externalDirEdit->text();
    } else {
        m_ui->managedDirEdit->setText(m_strManagedDir);
        m_ui->externalDirEdit->setText(m_strExternalDir);
    }
}

void DlgLnk::OnBnClickedBrowse()
{
    m_strExternalDir.clear();
    const QString chosen = Shell().BrowseForFolder(QStringLiteral("请选择目录:"));
    if (chosen.isEmpty())
        return;
    m_strExternalDir = chosen;
    UpdateData(false);
}

void DlgLnk::OnBnClickedOk()
{
    UpdateData(true);
    const QString failure = CheckLinkInput(g_strRootDir, m_strExternalDir, m_strManagedDir);
    if (!failure.isEmpty()) {
        ShowMessage(failure);
        return;
    }
    if (CreateLinkFolder(g_strRootDir, m_strExternalDir, m_strManagedDir))
        accept();
}
