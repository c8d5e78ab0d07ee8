#pragma once
// A reader of the small scan formats the schedule texts use ("%d-%d", "%d;%d;%d;%s", ...), with
// the rules of the C library's scanf: blanks before a number or a word are skipped, a literal
// character must match exactly, and reading stops at the first character that does not fit.
#include <QString>
#include <QStringView>

#include <initializer_list>

// The one reading of a decimal integer: an optional sign and digits starting exactly at pos (no
// blanks skipped). On success stores the value and moves pos past it; a number that does not fit
// in 32 bits, or no digits, leaves both alone and returns false.
bool ReadInt(QStringView text, qsizetype& pos, int& value);

// Fills the %d places in order from numbers and the %s place (a run of non-blank characters, at
// most wordMax of them) into word. Returns how many places were filled. A number that does not
// fit in 32 bits is not read, and reading stops there. Places not filled keep their values.
int ScanFormat(QStringView text, QStringView format, std::initializer_list<int*> numbers,
               QString* word = nullptr, int wordMax = 63);
