#include "platform/filenames.h"

#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iconv.h>

namespace {

constexpr char16_t kRawLow = 0xDC80; // byte 0x80
constexpr char16_t kRawHigh = 0xDCFF; // byte 0xFF

bool IsRaw(char16_t c)
{
    return c >= kRawLow && c <= kRawHigh;
}

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at p (RFC 3629: shortest form, no surrogates, at
// most U+10FFFF), or 0 when the byte there does not start one.
int SequenceLength(const unsigned char* p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return left >= 2 && IsContinuation(p[1]) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2]))
            return 0;
        if ((b == 0xE0 && p[1] < 0xA0) || (b == 0xED && p[1] > 0x9F))
            return 0;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3]))
            return 0;
        if ((b == 0xF0 && p[1] < 0x90) || (b == 0xF4 && p[1] > 0x8F))
            return 0;
        return 4;
    }
    return 0;
}

// The bytes read as GB18030, or a null text when they do not all decode.
QString FromGb18030(const QByteArray& bytes)
{
    const iconv_t cd = ::iconv_open("UTF-8", "GB18030");
    if (cd == iconv_t(-1))
        return QString();
    QByteArray out(bytes.size() * 4 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* to = out.data();
    size_t toLeft = size_t(out.size());
    const bool ok = ::iconv(cd, &in, &inLeft, &to, &toLeft) != size_t(-1) && inLeft == 0
                    && ::iconv(cd, nullptr, nullptr, &to, &toLeft) != size_t(-1);
    ::iconv_close(cd);
    if (!ok)
        return QString();
    out.truncate(to - out.data());
    return QString::fromUtf8(out);
}

QString ReadablePart(const QString& part)
{
    if (!HasRawBytes(part))
        return part;
    const QString gb = FromGb18030(EncodeFileName(part));
    if (!gb.isNull())
        return gb;
    QString shown = part;
    for (QChar& c : shown)
        if (IsRaw(c.unicode()))
            c = QChar(QChar::ReplacementCharacter);
    return shown;
}

} // namespace

QString DecodeFileName(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const int length = SequenceLength(p + i, size - i);
        if (length == 0) {
            text += QChar(char16_t(0xDC00 | p[i]));
            ++i;
            continue;
        }
        if (length == 1) {
            text += QChar(char16_t(p[i]));
        } else {
            char32_t c = p[i] & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k)
                c = (c << 6) | (p[i + k] & 0x3F);
            if (c >= 0x10000) {
                text += QChar(QChar::highSurrogate(c));
                text += QChar(QChar::lowSurrogate(c));
            } else {
                text += QChar(char16_t(c));
            }
        }
        i += length;
    }
    return text;
}

QByteArray EncodeFileName(QStringView text)
{
    // Written through a pointer into room for the longest form (three bytes a unit): every file
    // opened goes through here, and appending byte by byte cost more than the bytes.
    QByteArray out(text.size() * 3, Qt::Uninitialized);
    char* p = out.data();
    const auto put = [&p](char32_t c) {
        if (c < 0x80) {
            *p++ = char(c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        } else {
            *p++ = char(0xF0 | (c >> 18));
            *p++ = char(0x80 | ((c >> 12) & 0x3F));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (IsRaw(c)) {
            *p++ = char(c & 0xFF);
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            put(QChar::surrogateToUcs4(c, text[i + 1].unicode())); // four bytes for two units
            ++i;
        } else if (QChar::isSurrogate(c)) {
            put(QChar::ReplacementCharacter); // not a name's byte: no name can hold it
        } else {
            put(c);
        }
    }
    out.truncate(p - out.constData());
    return out;
}

bool HasRawBytes(QStringView text)
{
    for (QChar c : text)
        if (IsRaw(c.unicode()))
            return true;
    return false;
}

QString ReadableName(const QString& text)
{
    if (!HasRawBytes(text))
        return text;
    QStringList parts = text.split(u'/');
    for (QString& part : parts)
        part = ReadablePart(part);
    return parts.join(u'/');
}

namespace {

bool IsDirectionControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString PrintableLine(QStringView text)
{
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            line += text[i];
            line += text[++i];
        } else if (c == u'\t') {
            line += u' ';
        } else if (IsControl(c) || QChar::isSurrogate(c)) {
            line += QChar(QChar::ReplacementCharacter);
        } else if (!IsDirectionControl(c)) {
            line += QChar(c);
        }
    }
    return line;
}

QString PrintableText(QStringView text)
{
    QStringList lines;
    for (const QStringView line : text.split(u'\n'))
        lines.append(PrintableLine(line));
    return lines.join(u'\n');
}

QString BoundedText(QStringView text, qsizetype maxChars)
{
    qsizetype end = 0;
    for (qsizetype chars = 0; end < text.size(); ++chars) {
        if (chars == maxChars)
            return text.first(end).toString() + u'…';
        end += QChar::isHighSurrogate(text[end].unicode()) && end + 1 < text.size()
                       && QChar::isLowSurrogate(text[end + 1].unicode())
                   ? 2
                   : 1;
    }
    return text.toString();
}
