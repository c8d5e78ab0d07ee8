#include "store/scan.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/messageport.h"
#include "store/desc.h"

namespace {

// Takes the entries that carry the wanted attribute; the first entry whose attributes cannot be
// read ends the enumeration with its message.
class EntryCollector final : public EntryVisitor
{
public:
    EntryCollector(const QString& folder, QStringList& names, std::uint32_t wanted)
        : m_folder(folder), m_names(names), m_wanted(wanted)
    {
    }
    bool Entry(const char* name, std::uint32_t attributes) override
    {
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            ShowMessage(FormatMessage(QStringLiteral("%s获取属性异常！"),
                                      { JoinPath(m_folder, DecodeFileName(name)) }));
            return false;
        }
        if (attributes & m_wanted)
            m_names.append(DecodeFileName(name));
        return true;
    }

private:
    const QString& m_folder;
    QStringList& m_names;
    std::uint32_t m_wanted;
};

void ListEntries(const QString& folder, QStringList& names, std::uint32_t wanted)
{
    EntryCollector collector(folder, names, wanted);
    Fs().Enumerate(folder, collector); // a folder that cannot be read lists nothing
}

} // namespace

void ListSubDirs(QString folder, QStringList& names)
{
    ListEntries(folder, names, FILE_ATTRIBUTE_DIRECTORY);
}

void ListDirFiles(QString folder, QStringList& names)
{
    ListEntries(folder, names, FILE_ATTRIBUTE_ARCHIVE);
}

void CollectFolderRows(const QString& path, QStringList& rows)
{
    if (IsManagedDir(path)) {
        rows.append(path);
        return;
    }
    QStringList second;
    ListSubDirs(path, second);
    if (second.isEmpty()) {
        rows.append(path);
        return;
    }
    for (const QString& sub : std::as_const(second))
        rows.append(JoinPath(path, sub));
}

QStringList CollectRowPaths(const QString& root)
{
    QStringList first;
    ListSubDirs(root, first);
    QStringList rows;
    for (const QString& name : std::as_const(first))
        CollectFolderRows(JoinPath(root, name), rows);
    return rows;
}
