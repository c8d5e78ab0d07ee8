// Mending the glyph-to-text maps of the help document's PDF.
#include "tounicode.h"

#include <gtest/gtest.h>

namespace {

QByteArray Pdf(const QByteArray& cmap)
{
    return "%PDF-1.4\n"
           "4 0 obj\n<< /Length 20 >>\nstream\n<2F6C> Tj (text)\nendstream\nendobj\n"
           "5 0 obj\n<< /Length 99 >>\nstream\n/CIDInit begin\nbegincmap\n" + cmap + "\nendcmap\nendstream\nendobj\n"
           "9 0 obj\n<< /Type /Font /ToUnicode 5 0 R>>\nendobj\n"
           "xref\n0 10\ntrailer\n";
}

} // namespace

// Only what a glyph stands for is rewritten, never the glyph's own code and nothing outside the
// ToUnicode streams, always in place (the cross-reference offsets must stay right); what cannot be
// mended in place is reported, not shipped.
TEST(ToUnicodeMaps, RadicalsBecomeTheTypedCharacterInPlaceAndWhatCannotBeMendedIsReported)
{
    const QHash<char32_t, char32_t> typed {
        { 0x2F6C, 0x76EE }, // 目
        { 0x2EC5, 0x89C1 }, // 见
        { 0x2F00, 0x4E00 }, // 一
        { 0x2F09, 0x20000 }, // beyond one UTF-16 unit: four hex digits cannot hold it
    };
    QByteArray pdf = Pdf("3 beginbfrange\n"
                         "<0000> <0000> <0000>\n"
                         "<0001> <0004> [<2F6C> <0041> <2ec5> <2F08> ]\n"
                         "<2F00> <2F00> <2F00>\n"
                         "<0010> <0011> <2F00>\n"
                         "endbfrange\n"
                         "2 beginbfchar\n"
                         "<2F6C> <2F6C>\n"
                         "<0020> <2F09>\n"
                         "endbfchar");
    const qsizetype size = pdf.size();
    const QList<char32_t> left = MendToUnicodeMaps(pdf, typed);

    EXPECT_EQ(pdf.size(), size);
    EXPECT_TRUE(pdf.contains("<0001> <0004> [<76EE> <0041> <89C1> <2F08> ]")) << pdf.constData();
    EXPECT_TRUE(pdf.contains("<2F00> <2F00> <4E00>"));
    EXPECT_TRUE(pdf.contains("<2F6C> <76EE>"));
    // Consecutive characters from one start: mending one would shift the others.
    EXPECT_TRUE(pdf.contains("<0010> <0011> <2F00>"));
    EXPECT_TRUE(pdf.contains("<0020> <2F09>"));
    // A page's content is not a map.
    EXPECT_TRUE(pdf.contains("stream\n<2F6C> Tj (text)"));
    EXPECT_EQ(left, (QList<char32_t> { 0x2F00, 0x2F01, 0x2F08, 0x2F09 }));
}
