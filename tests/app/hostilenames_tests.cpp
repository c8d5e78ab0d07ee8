// Names a hostile world gives folders: markup, and bytes that are not UTF-8.
#include "app/desktopports.h"
#include "app/dlgcreate.h"
#include "app/quillbrookdlg.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// What a message box showed.
struct BoxSeen
{
    bool found = false;
    Qt::TextFormat boxFormat = Qt::AutoText;
    Qt::TextFormat labelFormat = Qt::AutoText;
    QString text;
};

// Runs show, which puts up one message box; reads the box and closes it.
BoxSeen ReadBox(const std::function<void()>& show)
{
    BoxSeen seen;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.found = true;
        seen.boxFormat = box->textFormat();
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            seen.labelFormat = label->textFormat();
            seen.text = label->text();
        }
        box->done(0);
    });
    timer.start(0);
    show();
    return seen;
}

// The program's own message boxes for the scope.
struct ProgramMessageBoxes
{
    ProgramMessageBoxes() { SetMessagePort(&port); }
    ~ProgramMessageBoxes() { SetMessagePort(nullptr); }
    QtMessagePort port;
};

} // namespace

TEST(HostileNames, MarkupInANameShowsLiterallyInMessageBoxesAndLabels)
{
    const ProgramMessageBoxes boxes;
    // A harmless probe first: a box that read markup would make the next step load /dev/zero.
    const BoxSeen probe = ReadBox([] { ShowMessage(QStringLiteral("<b>粗</b>")); });
    ASSERT_TRUE(probe.found);
    ASSERT_EQ(probe.labelFormat, Qt::PlainText);
    EXPECT_EQ(probe.text, QStringLiteral("<b>粗</b>"));

    const QString name = QStringLiteral("类/<img src=%2Fdev%2Fzero>");
    TempTree tree;
    tree.MakeDir(name);
    CQuillbrookDlg dlg;
    dlg.OnInitDialog(tree.Root());
    dlg.Timer().stop();
    ASSERT_EQ(dlg.GetItemCount(), 1);
    dlg.SelectRow(0);

    const BoxSeen stopped = ReadBox([&] { dlg.OnPauseTimer(); });
    EXPECT_EQ(stopped.boxFormat, Qt::PlainText);
    EXPECT_EQ(stopped.labelFormat, Qt::PlainText);
    EXPECT_EQ(stopped.text, tree.Path(name) + QStringLiteral("停止了定时！"));

    const BoxSeen asked = ReadBox([&] { dlg.OnClearManageInfo(); }); // answered No
    EXPECT_EQ(asked.labelFormat, Qt::PlainText);
    EXPECT_EQ(asked.text, tree.Path(name) + QStringLiteral("管理信息将被清除！是否继续？"));
    EXPECT_TRUE(tree.Exists(name));

    // The settings dialog's labels that code fills read no markup either.
    const DlgCreate settings;
    for (const QLabel* label : settings.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}
