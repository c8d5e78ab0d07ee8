#pragma once
// A description as the settings dialog's box holds it. The box turns every line break of the
// stored text (CR LF, a lone CR, a lone LF, U+2029, U+FDD0, U+FDD1) into a break between its
// paragraphs, U+2029 in its raw text, and cannot tell them apart. For each unit of that raw text
// these keep the form it had when stored, so that a break the user leaves goes back as it came.
#include <QString>

#include <vector>

// What one unit of the box's raw text was in the stored text.
enum DescUnit : unsigned char {
    kDescText,      // a character as it stands, or a break entered in the box (stored as CR LF)
    kDescCrLf,
    kDescCr,
    kDescLf,
    kDescParagraph, // U+2029
    kDescFrameStart, // U+FDD0
    kDescFrameEnd,  // U+FDD1
};

struct DescBoxText
{
    QString raw;                    // the box's raw text: each break as U+2029
    std::vector<DescUnit> units;    // one per unit of raw
};

// The raw text the box makes of a stored description, and what each of its units was.
DescBoxText DescToBox(const QString& desc);
// The description to store from the box's raw text: each break in the form units gives it (CR LF
// when it was entered in the box, or units does not reach it), every other unit as it stands.
QString DescFromBox(const QString& raw, const std::vector<DescUnit>& units);
