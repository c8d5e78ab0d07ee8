#include "schedule/scanformat.h"

#include <limits>

namespace {

bool IsBlank(QChar c)
{
    // The C library's isspace for wide characters in the C locale.
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

void SkipBlanks(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
}

bool ReadNumber(QStringView text, qsizetype& pos, int& value)
{
    SkipBlanks(text, pos);
    return ReadInt(text, pos, value);
}

} // namespace

bool ReadInt(QStringView text, qsizetype& pos, int& value)
{
    qsizetype p = pos;
    bool negative = false;
    if (p < text.size() && (text[p] == u'-' || text[p] == u'+')) {
        negative = text[p] == u'-';
        ++p;
    }
    const qsizetype digitsStart = p;
    qint64 magnitude = 0;
    bool overflow = false;
    while (p < text.size() && text[p] >= u'0' && text[p] <= u'9') {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[p].unicode() - u'0');
            if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
                overflow = true;
        }
        ++p;
    }
    if (p == digitsStart)
        return false;
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (overflow || signedValue > std::numeric_limits<int>::max() || signedValue < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(signedValue);
    pos = p;
    return true;
}

int ScanFormat(QStringView text, QStringView format, std::initializer_list<int*> numbers, QString* word, int wordMax)
{
    int filled = 0;
    auto number = numbers.begin();
    qsizetype pos = 0;
    for (qsizetype f = 0; f < format.size(); ++f) {
        const QChar fc = format[f];
        if (fc == u'%' && f + 1 < format.size()) {
            const QChar kind = format[++f];
            if (kind == u'd') {
                int value = 0;
                if (number == numbers.end() || !ReadNumber(text, pos, value))
                    return filled;
                **number++ = value;
                ++filled;
                continue;
            }
            if (kind == u's') {
                SkipBlanks(text, pos);
                const qsizetype start = pos;
                while (pos < text.size() && !IsBlank(text[pos]) && pos - start < wordMax)
                    ++pos;
                if (pos == start || !word)
                    return filled;
                *word = text.mid(start, pos - start).toString();
                ++filled;
                continue;
            }
            if (kind != u'%')
                return filled;
        }
        if (IsBlank(fc)) {
            SkipBlanks(text, pos);
            continue;
        }
        if (pos >= text.size() || text[pos] != fc)
            return filled;
        ++pos;
    }
    return filled;
}
