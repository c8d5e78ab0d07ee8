// The archive's progress window: shown after a moment, names the file as plain text.
#include "app/archiveprogress.h"

#include <QLabel>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ArchiveProgress, ShowsAfterAMomentAndNamesTheFilePlainly)
{
    QWidget window;
    {
        ArchiveProgress quick(&window, 60'000);
        quick.Report({ QStringLiteral("/a/b.txt"), 1, 2 });
        QTest::qWait(20);
        EXPECT_EQ(quick.Dialog(), nullptr); // a copy done within the moment shows nothing
    }

    const QString name = QStringLiteral("<b>粗体</b>.txt");
    ArchiveProgress progress(&window, 0);
    progress.Report({ name, 100'000, 100'000 });
    // It comes after the moment even when no further report comes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress.Dialog() != nullptr; }, 5000));
    const QLabel* label = progress.Dialog()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->text().contains(name));
    EXPECT_EQ(progress.Dialog()->value(), progress.Dialog()->maximum());
}
