// The help document that the build lays beside the program.
#include <QFile>
#include <gtest/gtest.h>

TEST(HelpDocument, IsBuiltBesideTheProgramAsPdf)
{
    QFile pdf(QString::fromUtf8(QB_HELP_PDF));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << QB_HELP_PDF;
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));
    // A real manual of several pages with embedded fonts, not an empty shell.
    EXPECT_GT(pdf.size(), 20000);
    pdf.seek(0);
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.contains("/FontFile") || bytes.contains("/Type3"));
}
