#include "app/desktopports.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

QWidget* DialogParent()
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : QApplication::activeWindow();
}

} // namespace

void QtMessagePort::ShowMessage(const QString& text)
{
    QMessageBox::information(DialogParent(), QApplication::applicationName(), text, QMessageBox::Ok);
}

bool QtMessagePort::AskYesNo(const QString& text)
{
    return QMessageBox::question(DialogParent(), QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DesktopShellPort::OpenPath(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopShellPort::StartBatch(const QString& batchPath, const QString& workDir)
{
    StartBatchDetached(batchPath, workDir);
}

QString DesktopShellPort::BrowseForFolder(const QString& title)
{
    return QFileDialog::getExistingDirectory(nullptr, title, QDir::homePath());
}
