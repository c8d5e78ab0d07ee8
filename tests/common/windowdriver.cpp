#include "windowdriver.h"

#include "app/quillbrookdlg.h"
#include "app/rowmodel.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <QTreeView>

bool WaitUntilIdle(CQuillbrookDlg& dlg, int timeoutMs)
{
    return QTest::qWaitFor([&dlg] { return dlg.IsIdle(); }, timeoutMs);
}

void OpenWindow(CQuillbrookDlg& dlg, const QString& root, bool show)
{
    dlg.OnInitDialog(root, show);
    WaitUntilIdle(dlg);
}

void Tick(CQuillbrookDlg& dlg)
{
    dlg.OnTimer();
    WaitUntilIdle(dlg);
}

int FindRow(const CQuillbrookDlg& dlg, const QString& relative)
{
    return dlg.Rows().Find(relative);
}

int SelectedRow(const CQuillbrookDlg& dlg)
{
    const QModelIndexList selected = dlg.ListControl()->selectionModel()->selectedRows();
    return selected.size() == 1 ? selected.first().row() : -1;
}

int CurrentRow(const CQuillbrookDlg& dlg)
{
    const QModelIndex current = dlg.ListControl()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void SetRows(CQuillbrookDlg& dlg, const QList<QStringList>& texts)
{
    WaitUntilIdle(dlg);
    std::vector<Row> rows;
    for (const QStringList& text : texts) {
        Row row;
        for (int column = 0; column < kRowColumns && column < text.size(); ++column)
            row.Text(column) = text[column];
        rows.push_back(std::move(row));
    }
    dlg.Model().Clear();
    dlg.Model().Append(std::move(rows));
    dlg.AfterLoad();
}

void AnswerNextModal(const std::function<void(QWidget*)>& answer, int timeoutMs)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, deadline = QDeadlineTimer(timeoutMs)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (modal)
            answer(modal);
    });
    poll->start();
}
