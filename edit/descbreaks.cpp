#include "edit/descbreaks.h"

namespace {

constexpr char16_t kBoxBreak = u'\u2029';

} // namespace

DescBoxText DescToBox(const QString& desc)
{
    DescBoxText box;
    box.raw.reserve(desc.size());
    box.units.reserve(desc.size());
    for (qsizetype i = 0; i < desc.size(); ++i) {
        DescUnit unit = kDescText;
        switch (desc[i].unicode()) {
        case u'\r':
            unit = i + 1 < desc.size() && desc[i + 1] == u'\n' ? kDescCrLf : kDescCr;
            if (unit == kDescCrLf)
                ++i;
            break;
        case u'\n': unit = kDescLf; break;
        case kBoxBreak: unit = kDescParagraph; break;
        case u'\uFDD0': unit = kDescFrameStart; break;
        case u'\uFDD1': unit = kDescFrameEnd; break;
        default: break;
        }
        box.raw.append(unit == kDescText ? desc[i] : QChar(kBoxBreak));
        box.units.push_back(unit);
    }
    return box;
}

QString DescFromBox(const QString& raw, const std::vector<DescUnit>& units)
{
    QString desc;
    desc.reserve(raw.size() + raw.count(QChar(kBoxBreak)));
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != kBoxBreak) {
            desc.append(raw[i]);
            continue;
        }
        switch (std::size_t(i) < units.size() ? units[i] : kDescText) {
        case kDescCr: desc.append(u'\r'); break;
        case kDescLf: desc.append(u'\n'); break;
        case kDescParagraph: desc.append(QChar(kBoxBreak)); break;
        case kDescFrameStart: desc.append(QChar(u'\uFDD0')); break;
        case kDescFrameEnd: desc.append(QChar(u'\uFDD1')); break;
        default: desc.append(QStringLiteral("\r\n")); break;
        }
    }
    return desc;
}
