#include "tounicode.h"

#include <QByteArrayView>
#include <QSet>

#include <algorithm>
#include <optional>

bool IsRadicalLookAlike(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2EFF) || (c >= 0x2F00 && c <= 0x2FDF);
}

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// One token of a CMap: a hex string <...> (its digits at [begin, end)), "[", "]" or a word.
struct Token
{
    enum Kind { Hex, Open, Close, Word, End } kind = End;
    qsizetype begin = 0;
    qsizetype end = 0;
};

class CMapReader
{
public:
    CMapReader(QByteArray& data, qsizetype begin, qsizetype end) : m_data(data), m_pos(begin), m_end(end) {}

    Token Next()
    {
        while (m_pos < m_end && QByteArrayView(" \t\r\n").contains(m_data[m_pos]))
            ++m_pos;
        Token token;
        if (m_pos >= m_end)
            return token;
        const char c = m_data[m_pos];
        if (c == '<') {
            token.kind = Token::Hex;
            token.begin = ++m_pos;
            while (m_pos < m_end && IsHexDigit(m_data[m_pos]))
                ++m_pos;
            token.end = m_pos;
            if (m_pos < m_end && m_data[m_pos] == '>')
                ++m_pos;
            return token;
        }
        if (c == '[' || c == ']') {
            token.kind = c == '[' ? Token::Open : Token::Close;
            token.begin = m_pos;
            token.end = ++m_pos;
            return token;
        }
        token.kind = Token::Word;
        token.begin = m_pos;
        while (m_pos < m_end && !QByteArrayView(" \t\r\n<[]").contains(m_data[m_pos]))
            ++m_pos;
        token.end = m_pos;
        if (token.end == token.begin)
            ++m_pos; // a character no token starts with
        return token;
    }

    QByteArrayView Text(const Token& token) const
    {
        return QByteArrayView(m_data.constData() + token.begin, token.end - token.begin);
    }

    // A one-unit code: four hex digits.
    std::optional<char32_t> Unit(const Token& token) const
    {
        if (token.kind != Token::Hex || token.end - token.begin != 4)
            return std::nullopt;
        bool ok = false;
        const uint value = Text(token).toByteArray().toUInt(&ok, 16);
        return ok ? std::optional<char32_t>(value) : std::nullopt;
    }

    void Replace(const Token& token, char32_t unit)
    {
        const QByteArray digits = QByteArray::number(uint(unit), 16).toUpper().rightJustified(4, '0');
        std::copy(digits.begin(), digits.end(), m_data.begin() + token.begin);
    }

private:
    QByteArray& m_data;
    qsizetype m_pos;
    qsizetype m_end;
};

class Mender
{
public:
    Mender(QByteArray& pdf, const QHash<char32_t, char32_t>& typed) : m_pdf(pdf), m_typed(typed) {}

    void MendStream(qsizetype begin, qsizetype end)
    {
        CMapReader reader(m_pdf, begin, end);
        enum { Outside, Ranges, Chars } section = Outside;
        for (Token token = reader.Next(); token.kind != Token::End; token = reader.Next()) {
            if (token.kind == Token::Word) {
                const QByteArrayView word = reader.Text(token);
                section = word == "beginbfrange" ? Ranges : word == "beginbfchar" ? Chars : word.startsWith("end") ? Outside : section;
                continue;
            }
            if (section == Chars && token.kind == Token::Hex) {
                MendUnit(reader, reader.Next()); // the source code, then what it stands for
                continue;
            }
            if (section != Ranges || token.kind != Token::Hex)
                continue;
            const std::optional<char32_t> first = reader.Unit(token);
            const std::optional<char32_t> last = reader.Unit(reader.Next());
            const Token target = reader.Next();
            if (target.kind == Token::Open) {
                // One entry per code of the range.
                for (Token entry = reader.Next(); entry.kind == Token::Hex; entry = reader.Next())
                    MendUnit(reader, entry);
                continue;
            }
            const std::optional<char32_t> start = reader.Unit(target);
            if (!first || !last || !start)
                continue;
            if (*first == *last) {
                MendUnit(reader, target);
                continue;
            }
            // Consecutive characters: a radical among them cannot be mended in place.
            for (char32_t c = *start; c <= *start + (*last - *first); ++c)
                if (IsRadicalLookAlike(c))
                    m_left.insert(c);
        }
    }

    QList<char32_t> Left() const
    {
        QList<char32_t> left(m_left.begin(), m_left.end());
        std::sort(left.begin(), left.end());
        return left;
    }

private:
    void MendUnit(CMapReader& reader, const Token& token)
    {
        const std::optional<char32_t> unit = reader.Unit(token);
        if (!unit || !IsRadicalLookAlike(*unit))
            return;
        const auto found = m_typed.constFind(*unit);
        // Only a character of one UTF-16 unit fits the four digits in place.
        if (found == m_typed.constEnd() || *found > 0xFFFF || (*found >= 0xD800 && *found <= 0xDFFF)) {
            m_left.insert(*unit);
            return;
        }
        reader.Replace(token, *found);
    }

    QByteArray& m_pdf;
    const QHash<char32_t, char32_t>& m_typed;
    QSet<char32_t> m_left;
};

// The content of object number's stream: [begin, end), or begin == end when there is none.
std::pair<qsizetype, qsizetype> StreamOf(const QByteArray& pdf, const QByteArray& number)
{
    const qsizetype object = pdf.indexOf('\n' + number + " 0 obj");
    if (object < 0)
        return { 0, 0 };
    qsizetype begin = pdf.indexOf("stream", object);
    const qsizetype end = begin < 0 ? -1 : pdf.indexOf("endstream", begin);
    if (end < 0 || pdf.indexOf("endobj", object) < begin)
        return { 0, 0 };
    begin += 6;
    return { begin, end };
}

} // namespace

QList<char32_t> MendToUnicodeMaps(QByteArray& pdf, const QHash<char32_t, char32_t>& typed)
{
    Mender mender(pdf, typed);
    const QByteArray key = "/ToUnicode ";
    QSet<QByteArray> done;
    for (qsizetype at = pdf.indexOf(key); at >= 0; at = pdf.indexOf(key, at + key.size())) {
        qsizetype digits = at + key.size();
        while (digits < pdf.size() && pdf[digits] >= '0' && pdf[digits] <= '9')
            ++digits;
        const QByteArray number = pdf.mid(at + key.size(), digits - at - key.size());
        if (number.isEmpty() || done.contains(number))
            continue;
        done.insert(number);
        const auto [begin, end] = StreamOf(pdf, number);
        if (begin < end)
            mender.MendStream(begin, end);
    }
    return mender.Left();
}
