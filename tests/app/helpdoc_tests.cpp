// The help document that the build lays beside the program.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

QString WithoutSpace(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

} // namespace

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

// What a PDF viewer finds and copies is what was typed: a CJK font draws 目 and the radical ⽬ with
// one glyph, and the document once gave such glyphs the radical, so a search for "目录" found
// nothing and a copied heading pasted as look-alikes.
TEST(HelpDocument, AViewerFindsAndCopiesEveryHeadingAndCharacterAsTyped)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    QProcess process;
    process.start(pdftotext, { QString::fromUtf8(QB_HELP_PDF), QStringLiteral("-") });
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    const QString text = QString::fromUtf8(process.readAllStandardOutput());

    QList<char32_t> radicals;
    for (const char32_t c : text.toUcs4())
        if ((c >= 0x2E80 && c <= 0x2EFF) || (c >= 0x2F00 && c <= 0x2FDF))
            radicals.append(c);
    EXPECT_TRUE(radicals.isEmpty()) << radicals.size() << " radical look-alikes, the first U+" << std::hex
                                    << uint(radicals.value(0));
    EXPECT_GE(text.count(QStringLiteral("目录")), 20);

    QFile source(QString::fromUtf8(QB_HELP_SOURCE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << QB_HELP_SOURCE;
    const QString markdown = QString::fromUtf8(source.readAll());
    // Every heading, spaces aside (the PDF may break a line anywhere).
    const QString found = WithoutSpace(text);
    const QRegularExpression heading(QStringLiteral("^#+\\s+(.*)$"), QRegularExpression::MultilineOption);
    int headings = 0;
    for (auto it = heading.globalMatch(markdown); it.hasNext(); ++headings) {
        const QString typed = WithoutSpace(it.next().captured(1).remove(u'`').remove(QStringLiteral("**")));
        EXPECT_TRUE(found.contains(typed)) << typed.toStdString();
    }
    EXPECT_GE(headings, 8);

    // And no character of the text comes out as another one.
    QTextDocument document;
    document.setMarkdown(markdown);
    const QList<uint> shown = found.toUcs4();
    const QSet<uint> present(shown.begin(), shown.end());
    QString missing;
    for (const uint c : WithoutSpace(document.toPlainText()).toUcs4()) {
        const char32_t typed = c;
        if (!present.contains(c) && !missing.contains(QString::fromUcs4(&typed, 1)))
            missing += QString::fromUcs4(&typed, 1);
    }
    EXPECT_TRUE(missing.isEmpty()) << "typed but not found: " << missing.toStdString();
}
