#include "app/desktopports.h"

#include "app/quillbrookdlg.h"
#include "platform/filenames.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

QWidget* DialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    // The main window while another program has the focus (it is not modal: the tray's menu must
    // reach the program); hidden in the tray, the box stands alone.
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<CQuillbrookDlg*>(widget) && widget->isVisible())
            return widget;
    return nullptr;
}

// Texts carry folder names and file contents: shown as they are, never read as markup (a name
// like <img src=...> would otherwise make the box load a file).
int RunPlainBox(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
                QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QApplication::applicationName(), QString(), buttons, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return box.exec();
}

} // namespace

void QtMessagePort::ShowMessage(const QString& text)
{
    RunPlainBox(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessagePort::AskYesNo(const QString& text)
{
    return RunPlainBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DesktopShellPort::OpenPath(const QString& path)
{
    // A name that is not UTF-8 goes to the desktop as its exact bytes, percent-encoded.
    QDesktopServices::openUrl(HasRawBytes(path)
                                  ? QUrl::fromEncoded("file://" + EncodeFileName(path).toPercentEncoding("/"))
                                  : QUrl::fromLocalFile(path));
}

void DesktopShellPort::StartBatch(const QString& batchPath, const QString& workDir)
{
    StartBatchDetached(batchPath, workDir);
}

QString DesktopShellPort::BrowseForFolder(const QString& title)
{
    return QFileDialog::getExistingDirectory(nullptr, title, QDir::homePath());
}
