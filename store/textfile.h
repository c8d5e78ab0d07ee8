#pragma once
// The program's small text files: UTF-16LE behind the mark FF FE, CR LF between lines, read back
// at most 1024 code units after the mark; the text ends at the first zero unit.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

class CFile;

constexpr int kTextCapacity = 1024; // code units a reader takes after the mark

// The UTF-16LE bytes of the text's units, no mark; the one encoder of the program's files.
QByteArray EncodeUtf16Le(QStringView text);

// Moves past the mark when at the start, then reads at most 1024 code units; the text ends at the
// first zero unit (an odd last byte counts as a unit with a zero high byte).
QString ReadUnicodeText(CFile& file);
// Writes the mark when at the start, then the text's units up to its first zero, if any.
void WriteUnicodeText(CFile& file, const QString& text);
void TruncateFile(CFile& file);
// Splits at CR LF: no last empty line after a final CR LF; a lone CR or LF stays in its line.
void SplitLines(QString text, QStringList& lines);

// The readers' sequence: open without sharing, read, close. False when the file cannot be opened.
bool ReadTextFile(const QString& path, QString& text);
