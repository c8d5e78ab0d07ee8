#pragma once
// File names as the file system keeps them: bytes, not necessarily UTF-8. Valid UTF-8 reads as its
// text; every other byte is carried in the text as a lone surrogate U+DC80..U+DCFF and written back
// as the same byte. So a name keeps its exact bytes from the enumeration to every file operation,
// and two names that differ in their bytes never read as the same text.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView text);

// True when the text carries bytes that are not UTF-8.
bool HasRawBytes(QStringView text);

// The form a person reads, for the list, messages, the clipboard and notifications; never a file
// operation. Each "/"-separated part that carries raw bytes is read as GB18030 (names from
// archives made on Chinese Windows) when all its bytes decode cleanly as that, otherwise each raw
// byte shows as U+FFFD. Text without raw bytes comes back unchanged.
QString ReadableName(const QString& text);

// Text from the tree (a name, a description) for a line a person reads outside the window: in a
// notification (a service takes UTF-8 without NUL, so a NUL cuts the text and a lone surrogate
// turns into "?") or a desktop entry. Every control character, line breaks included, and every
// lone surrogate shows as U+FFFD, a tab as a space, and direction controls are dropped (a name
// "\u202Egnp.exe" would read "exe.png").
QString PrintableLine(QStringView text);
// The same for a text of several lines, kept apart by '\n'.
QString PrintableText(QStringView text);
// At most maxChars characters (a pair of surrogates is one), with "…" in place of the rest.
QString BoundedText(QStringView text, qsizetype maxChars);
