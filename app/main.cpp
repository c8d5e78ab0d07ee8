#include "app/quillbrookapp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbrook"));
    CQuillbrookApp theApp;
    return theApp.InitInstance();
}
