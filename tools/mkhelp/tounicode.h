// Mends the text a PDF viewer finds and copies from a PDF that Qt wrote.
//
// A CJK font maps the Kangxi radicals (U+2F00..U+2FDF) and the CJK radicals supplement
// (U+2E80..U+2EFF) to the very glyphs of the ideographs they look like: 目 and ⽬ are one glyph.
// Qt's PDF writer gives each glyph the lowest code point the font maps to it, so 目 comes out of
// the document as ⽬, and a search for 目 finds nothing. The glyph-to-text maps (the ToUnicode
// streams) are mended in place, each radical replaced by the character that was typed.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

// True for the code points a viewer would show instead of the ideograph typed.
bool IsRadicalLookAlike(char32_t c);

// Replaces, in every ToUnicode stream of pdf, each radical that typed has an entry for by that
// entry. Every replacement keeps the byte length, so the file's cross-reference offsets stay right.
// Returns the radicals that remain in the maps (each once), which the caller must not ship.
QList<char32_t> MendToUnicodeMaps(QByteArray& pdf, const QHash<char32_t, char32_t>& typed);
