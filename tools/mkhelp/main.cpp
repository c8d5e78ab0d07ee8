// Turns the Markdown user manual into the PDF that the program's help command opens.
// Usage: mkhelp manual.md output.pdf
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
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

    // Written to a temporary file first, so a failed run leaves no half document behind.
    QSaveFile output(args[2]);
    if (!output.open(QIODevice::WriteOnly))
        return Fail(args[2] + QStringLiteral(": ") + output.errorString());
    {
        QPdfWriter writer(&output);
        writer.setTitle(QStringLiteral("Quillbrook 使用说明"));
        writer.setCreator(QStringLiteral("Quillbrook"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
        // The document adds its own 2 cm margin and page numbers.
        document.print(&writer);
    }
    if (!output.commit())
        return Fail(args[2] + QStringLiteral(": ") + output.errorString());
    return 0;
}
