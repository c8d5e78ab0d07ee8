// The archive's progress window: shown after a moment, names the file as plain text, lets the
// window answer while the copy runs.
#include "app/archiveprogress.h"
#include "dirops/archive.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QLabel>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ArchiveProgress, ShowsAfterAMomentNamesTheFilePlainlyAndLetsTheWindowAnswer)
{
    QWidget window;
    {
        ArchiveProgress quick(&window, 60'000);
        quick.Report({ QStringLiteral("/a/b.txt"), 1, 2 });
        EXPECT_EQ(quick.Dialog(), nullptr); // a copy done within the moment shows nothing
    }

    TempTree tree;
    tree.MakeDir(QStringLiteral("合同"));
    tree.WriteText(QStringLiteral("合同/") + kDescFileName, QStringLiteral("x"));
    const QString name = QStringLiteral("<b>粗体</b>.txt");
    tree.WriteBytes(QStringLiteral("合同/") + name, QByteArray(100'000, 'q'));

    RecordingMessagePort messages;
    ArchiveProgress progress(&window, 0);
    ASSERT_TRUE(ArchiveToYearFolder(tree.Path(QStringLiteral("合同")), 2025, progress.Callback()));
    ASSERT_NE(progress.Dialog(), nullptr);
    const QLabel* label = progress.Dialog()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->text().contains(name));
    EXPECT_EQ(progress.Dialog()->value(), progress.Dialog()->maximum());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("合同/2025/") + name), QByteArray(100'000, 'q'));

    // Between two pieces of a long copy the window's events are delivered.
    bool answered = false;
    QTimer::singleShot(0, [&answered] { answered = true; });
    QThread::msleep(60);
    progress.Report({ name, 1, 2 });
    EXPECT_TRUE(answered);
}
