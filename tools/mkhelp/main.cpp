// Turns the Markdown user manual into the PDF that the program's help command opens.
// Usage: mkhelp manual.md output.pdf
#include "tounicode.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRawFont>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstdio>
#include <cstdlib>

namespace {

int Fail(const QString& text)
{
    std::fprintf(stderr, "mkhelp: %s\n", qPrintable(text));
    return 1;
}

// Code is set in the fixed-pitch font with the same CJK font behind it as the text, not whichever
// CJK font the system would fall back to: the radicals are mended for the fonts named here.
void SetCodeFonts(QTextDocument& document, const QStringList& cjkFamilies)
{
    // The family the system's fixed-pitch font resolves to: in a list of families, an alias such as
    // "monospace" would be passed over for the CJK font.
    const QString fixed = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            if (!format.fontFixedPitch() && !block.blockFormat().nonBreakableLines())
                continue;
            format.setFontFamilies(QStringList { fixed } + cjkFamilies);
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

// For each radical a font draws with the glyph of a character of the text, that character.
QHash<char32_t, char32_t> TypedForRadicals(const QString& text, const QStringList& families)
{
    QList<char32_t> typed;
    for (const char32_t c : text.toUcs4())
        if (!IsRadicalLookAlike(c) && !typed.contains(c))
            typed.append(c);
    QHash<char32_t, char32_t> result;
    for (const QString& family : families) {
        for (const QFont::Weight weight : { QFont::Normal, QFont::Bold }) {
            QFont font(family);
            font.setWeight(weight);
            const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::SimplifiedChinese);
            if (!raw.isValid())
                continue;
            QHash<quint32, char32_t> byGlyph;
            for (const char32_t c : std::as_const(typed)) {
                const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
                if (glyphs.size() == 1 && glyphs[0] != 0 && !byGlyph.contains(glyphs[0]))
                    byGlyph.insert(glyphs[0], c);
            }
            for (char32_t radical = 0x2E80; radical <= 0x2FDF; ++radical) {
                const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&radical, 1));
                if (glyphs.size() == 1 && byGlyph.contains(glyphs[0]) && !result.contains(radical))
                    result.insert(radical, byGlyph.value(glyphs[0]));
            }
        }
    }
    return result;
}

QString CodePoints(const QList<char32_t>& codes)
{
    QStringList names;
    for (const char32_t c : codes)
        names.append(QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper());
    return names.join(u' ');
}

} // namespace

int main(int argc, char* argv[])
{
    // Runs during the build, where there may be no display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3)
        return Fail(QStringLiteral("usage: mkhelp manual.md output.pdf"));

    QFile source(args[1]);
    if (!source.open(QIODevice::ReadOnly))
        return Fail(args[1] + QStringLiteral(": ") + source.errorString());
    const QString markdown = QString::fromUtf8(source.readAll());

    // Without a CJK font every Chinese glyph would come out as a box.
    const QStringList families { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei") };
    bool haveFont = false;
    for (const QString& family : families)
        haveFont = haveFont || QFontDatabase::families().contains(family);
    if (!haveFont)
        return Fail(QStringLiteral("no CJK font installed (fonts-noto-cjk)"));
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(10.5);

    QTextDocument document;
    document.setDefaultFont(font);
    document.setMarkdown(markdown);
    SetCodeFonts(document, families);
    // Markdown tables come without cell padding; give them room to read.
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            QTextTableFormat format = table->format();
            format.setCellPadding(4);
            format.setCellSpacing(0);
            format.setBorderCollapse(true);
            table->setFormat(format);
        }
    }

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(QStringLiteral("Quillbrook 使用说明"));
        writer.setCreator(QStringLiteral("Quillbrook"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
        // The document adds its own 2 cm margin and page numbers.
        document.print(&writer);
    }
    QByteArray bytes = pdf.data();
    const QList<char32_t> left = MendToUnicodeMaps(bytes, TypedForRadicals(document.toPlainText(), families));
    if (!left.isEmpty())
        return Fail(QStringLiteral("the document's text would read as radicals %1 in a PDF viewer").arg(CodePoints(left)));

    // Written to a temporary file first, so a failed run leaves no half document behind.
    QSaveFile output(args[2]);
    if (!output.open(QIODevice::WriteOnly) || output.write(bytes) != bytes.size())
        return Fail(args[2] + QStringLiteral(": ") + output.errorString());
    if (!output.commit())
        return Fail(args[2] + QStringLiteral(": ") + output.errorString());
    return 0;
}
