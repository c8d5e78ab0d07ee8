#include "store/textfile.h"

#include "platform/exclusivefile.h"

QString ReadUnicodeText(CFile& file)
{
    if (file.GetPosition() == 0)
        file.Seek(2);
    // Read onto the stack and decoded into a string of the text's own size: the list load reads two
    // of these per folder and keeps the description for as long as the list shows it.
    char bytes[kTextCapacity * 2];
    const qsizetype size = file.Read(bytes, sizeof bytes);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype units = 0;
    while (units * 2 < size) {
        const qsizetype i = units * 2;
        if ((b[i] | (i + 1 < size ? b[i + 1] : 0)) == 0)
            break;
        ++units;
    }
    QString text(units, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype k = 0; k < units; ++k) {
        const qsizetype i = k * 2;
        out[k] = static_cast<char16_t>(b[i] | (i + 1 < size ? b[i + 1] << 8 : 0));
    }
    return text;
}

QByteArray EncodeUtf16Le(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

void WriteUnicodeText(CFile& file, const QString& text)
{
    QByteArray bytes;
    if (file.GetPosition() == 0)
        bytes.append("\xFF\xFE", 2);
    const qsizetype zero = text.indexOf(QChar(0));
    bytes.append(EncodeUtf16Le(QStringView(text).first(zero < 0 ? text.size() : zero)));
    file.Write(bytes);
}

void TruncateFile(CFile& file)
{
    file.SetLength(0);
    file.Seek(0);
}

void SplitLines(QString text, QStringList& lines)
{
    lines.clear();
    const QString crlf = QStringLiteral("\r\n");
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype at = text.indexOf(crlf, start);
        if (at < 0) {
            lines.append(text.mid(start));
            break;
        }
        lines.append(text.mid(start, at - start));
        start = at + 2;
    }
}

bool ReadTextFile(const QString& path, QString& text)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    text = ReadUnicodeText(file);
    file.Close();
    return true;
}
