// File names by their bytes: every byte string comes back whole, and reads as a person would.
#include "platform/filenames.h"

#include <gtest/gtest.h>

TEST(FileNames, EveryByteStringComesBackWholeAndUtf8ReadsAsItsText)
{
    // Every string of one and two bytes, and every three-byte string that starts a long sequence.
    QByteArray bytes(3, '\0');
    for (int a = 1; a < 256; ++a) {
        bytes.resize(1);
        bytes[0] = char(a);
        ASSERT_EQ(EncodeFileName(DecodeFileName(bytes)), bytes) << a;
        bytes.resize(2);
        for (int b = 1; b < 256; ++b) {
            bytes[1] = char(b);
            ASSERT_EQ(EncodeFileName(DecodeFileName(bytes)), bytes) << a << ' ' << b;
        }
    }
    bytes.resize(3);
    for (int a = 0xE0; a < 0xF8; ++a)
        for (int b = 0x70; b < 0xD0; ++b)
            for (int c = 1; c < 256; ++c) {
                bytes[0] = char(a);
                bytes[1] = char(b);
                bytes[2] = char(c);
                ASSERT_EQ(EncodeFileName(DecodeFileName(bytes)), bytes) << a << ' ' << b << ' ' << c;
            }

    // Well-formed UTF-8 is its text; everything else is carried byte by byte.
    const QString text = QStringLiteral("文档 a/b 😀");
    EXPECT_EQ(DecodeFileName(text.toUtf8()), text);
    EXPECT_EQ(EncodeFileName(text), text.toUtf8());
    EXPECT_FALSE(HasRawBytes(text));
    EXPECT_EQ(DecodeFileName("\xff"), QString(QChar(0xDCFF)));
    EXPECT_EQ(DecodeFileName("\xef\xbf\xbd"), QString(QChar(0xFFFD)));
    EXPECT_EQ(DecodeFileName("\xc0\x80").size(), 2);       // overlong
    EXPECT_EQ(DecodeFileName("\xed\xa0\x80").size(), 3);   // an encoded surrogate
    EXPECT_EQ(DecodeFileName("\xf4\x90\x80\x80").size(), 4); // past U+10FFFF
    EXPECT_EQ(DecodeFileName("\xe4\xb8"), QString(QChar(0xDCE4)) + QChar(0xDCB8)); // a cut 中

    // Readable: GB18030 where a part's bytes are that, U+FFFD for each byte otherwise.
    EXPECT_EQ(ReadableName(DecodeFileName("/r/\xd6\xd0\xce\xc4/\xff\xfe/x")),
              QStringLiteral("/r/中文/\uFFFD\uFFFD/x"));
    EXPECT_EQ(ReadableName(text), text);
}
