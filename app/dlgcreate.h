#pragma once
// The settings dialog: a folder's description and its reminder schedule. The caller fills the
// members, runs DoModal and, on QDialog::Accepted, reads them back. The dialog touches no file.
#include <QDialog>
#include <QString>

#include <memory>

class DescriptionBox;
class QComboBox;

namespace Ui {
class DlgCreate;
}

class DlgCreate : public QDialog
{
    Q_OBJECT

public:
    explicit DlgCreate(QWidget* parent = nullptr);
    ~DlgCreate() override;

    // Initialises the controls from the members and runs the dialog.
    int DoModal();

    // Moves every member to its control (save false) or from it (save true). Taking a number box
    // that does not hold an integer shows "请输入一个整数。", focuses the box and stops there:
    // the members before it are taken, those after it keep their values. False in that case.
    bool UpdateData(bool save = true);

    // Handlers.
    bool OnInitDialog();
    void OnSelChangeMode();
    void OnBrowse();
    void OnOK();
    void OnCancel();

    // The hint shown for a mode; empty outside 0 to 3.
    static QString ModeHint(int mode);

    QString m_strPath;
    QString m_strDesc;
    QComboBox* m_cbMode = nullptr;
    QString m_strSpec;
    QString m_strHint;
    int m_nHour = 0;
    int m_nMinute = 0;
    int m_nCount = -1;
    int m_nMode = -1;
    bool m_bWeekend = false;

protected:
    bool DoDataExchange(bool save);

private:
    void PlaceControls();

    std::unique_ptr<Ui::DlgCreate> m_ui;
    DescriptionBox* m_descBox = nullptr; // keeps the description's line breaks as stored
};
