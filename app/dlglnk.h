#pragma once
// The link dialog: an outside folder and the path below the root where it is to appear.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class DlgLnk;
}

class DlgLnk : public QDialog
{
    Q_OBJECT

public:
    explicit DlgLnk(QWidget* parent = nullptr);
    ~DlgLnk() override;

    // Moves the two paths between the edits and the members (save: from the edits).
    void UpdateData(bool save);

    void OnBnClickedBrowse();
    void OnBnClickedOk();

    QString m_strManagedDir;  // relative to the root, beginning with the separator
    QString m_strExternalDir; // full path of the outside folder

private:
    void PlaceControls();

    std::unique_ptr<Ui::DlgLnk> m_ui;
};
