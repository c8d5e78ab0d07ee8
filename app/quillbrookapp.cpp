#include "app/quillbrookapp.h"

#include "app/desktopports.h"
#include "app/quillbrookdlg.h"

#include <QApplication>
#include <QFontDatabase>

namespace {

// A font that has the Chinese glyphs, so no text shows as boxes.
void ChooseInterfaceFont()
{
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                                      QStringLiteral("Noto Sans SC") }) {
        if (families.contains(candidate)) {
            QApplication::setFont(QFont(candidate, 9));
            return;
        }
    }
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
}

} // namespace

int CQuillbrookApp::InitInstance()
{
    ChooseInterfaceFont();
    QtMessagePort messages;
    DesktopShellPort shell;
    SetMessagePort(&messages);
    SetShellPort(&shell);

    CQuillbrookDlg dlg;
    dlg.OnInitDialog();
    dlg.exec();

    SetShellPort(nullptr);
    SetMessagePort(nullptr);
    return 0;
}
