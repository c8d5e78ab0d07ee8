#include "app/desktopservices.h"
#include "app/quillbrookapp.h"
#include "app/autostart.h"

#include <QApplication>

// The install folders come from the build; a build without install rules knows none.
#ifndef QB_INSTALL_FULL_BINDIR
#define QB_INSTALL_FULL_BINDIR ""
#endif
#ifndef QB_DOCDIR_FROM_BINDIR
#define QB_DOCDIR_FROM_BINDIR ""
#endif

int main(int argc, char* argv[])
{
    CQuillbrookApp theApp(QString::fromUtf8(QB_INSTALL_FULL_BINDIR), QString::fromUtf8(QB_DOCDIR_FROM_BINDIR));
    // --help, --version and a folder that is not there end the program before it needs a display.
    if (const int code = theApp.ParseCommandLine(argc, argv); code >= 0)
        return code;
    InitProgramResources();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbrook"));
    QGuiApplication::setDesktopFileName(kDesktopId);
    return theApp.InitInstance();
}
