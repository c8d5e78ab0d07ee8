// The text reader on a file of any bytes, and SplitLines on any text.
#include "fuzzsupport.h"
#include "platform/exclusivefile.h"
#include "store/desc.h"
#include "store/textfile.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The lines put back together give the text, less one final CR LF; no line holds a CR LF.
void CheckSplit(const QString& text)
{
    QStringList lines { QStringLiteral("stale") };
    SplitLines(text, lines);
    for (const QString& line : lines)
        FUZZ_CHECK(!line.contains(kCrLf));
    QString joined = lines.join(kCrLf);
    if (text.endsWith(kCrLf) && !text.isEmpty())
        joined += kCrLf;
    FUZZ_CHECK(joined == text);
    FUZZ_CHECK(text.isEmpty() == lines.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const QByteArray bytes = input.Rest();

    FuzzFolder folder;
    const QString path = JoinPath(folder.Path(), kDescFileName);
    PutBytes(path, bytes);

    // One read: at most 1024 units after the first two bytes, ending at the first zero unit.
    QString text;
    FUZZ_CHECK(ReadTextFile(path, text));
    FUZZ_CHECK(text.size() <= kTextCapacity);
    FUZZ_CHECK(!text.contains(QChar(0)));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype at = 2 + 2 * i;
        const unsigned low = static_cast<unsigned char>(bytes[at]);
        const unsigned high = at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[at + 1]) : 0u;
        FUZZ_CHECK(text[i].unicode() == (low | high << 8));
    }
    FUZZ_CHECK(ReadDirDesc(folder.Path()) == text);
    CheckSplit(text);

    // A second read on the same open file goes on where the first stopped.
    CFile file;
    FUZZ_CHECK(file.Open(path, CFile::modeRead));
    const QString first = ReadUnicodeText(file);
    const QString second = ReadUnicodeText(file);
    file.Close();
    FUZZ_CHECK(first == text);
    FUZZ_CHECK(second.size() <= kTextCapacity);

    // Reading never changes the file.
    bool exists = false;
    FUZZ_CHECK(GetBytes(path, exists) == bytes && exists);

    // What the writer stores, the reader gives back (to the first zero, within the capacity).
    const QString written = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    FUZZ_CHECK(WriteDirDesc(folder.Path(), written));
    const qsizetype zero = written.indexOf(QChar(0));
    const QString kept = written.left(qMin<qsizetype>(zero < 0 ? written.size() : zero, kTextCapacity));
    FUZZ_CHECK(ReadDirDesc(folder.Path()) == kept);

    // SplitLines on text longer than a file read ever gives.
    CheckSplit(QString::fromLatin1(bytes));
    return 0;
}
