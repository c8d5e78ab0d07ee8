#include "platform/entrypath.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

#include <cstring>

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringAsciiCase(const char* entry, const QByteArray& name)
{
    if (std::strlen(entry) != std::size_t(name.size()))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (AsciiLower(entry[i]) != AsciiLower(name[i]))
            return false;
    }
    return true;
}

} // namespace

QString JoinPath(const QString& folder, const QString& name)
{
    // The file system's top folder "/" already ends in the separator.
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString FindEntryPath(const QString& folder, const QString& name, bool* found)
{
    const QString exact = JoinPath(folder, name);
    const bool there = PathExists(exact);
    if (found)
        *found = there;
    if (there)
        return exact;
    // Of several spellings the same one is found every time, whatever the enumeration's order.
    class Finder final : public EntryVisitor
    {
    public:
        explicit Finder(QByteArray wanted) : m_wanted(std::move(wanted)) {}
        bool Entry(const char* entry, std::uint32_t) override
        {
            if (SameIgnoringAsciiCase(entry, m_wanted) && (found.isEmpty() || found > entry))
                found = entry;
            return true;
        }
        QByteArray found;

    private:
        QByteArray m_wanted;
    } finder(EncodeFileName(name));
    Fs().Enumerate(folder, finder);
    if (found)
        *found = !finder.found.isEmpty();
    return finder.found.isEmpty() ? exact : JoinPath(folder, DecodeFileName(finder.found));
}
