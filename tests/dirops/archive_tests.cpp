#include "dirops/archive.h"
#include "faultfilesystem.h"
#include "platform/fileattr.h"
#include "platform/localtime.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace {

// Every file below folder, relative to it, sorted.
QStringList FilesBelow(const QString& folder)
{
    QStringList out;
    const QDir base(folder);
    std::function<void(const QString&)> walk = [&](const QString& dir) {
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot
                                                              | QDir::Hidden | QDir::System);
        for (const QFileInfo& entry : entries) {
            if (entry.isSymLink())
                out.append(base.relativeFilePath(entry.filePath()) + QStringLiteral("@"));
            else if (entry.isDir())
                walk(entry.filePath());
            else
                out.append(base.relativeFilePath(entry.filePath()));
        }
    };
    walk(folder);
    std::sort(out.begin(), out.end());
    return out;
}

QString Msg(const char* format, std::initializer_list<QString> values)
{
    return FormatMessage(QString::fromUtf8(format), values);
}

// The example tree: a managed folder with files, a sub-folder, a year folder and both management files.
void MakeExampleTree(const TempTree& tree)
{
    tree.WriteText(QStringLiteral("cat/doc/Quillbrook.desc"), QStringLiteral("合同"));
    tree.WriteText(QStringLiteral("cat/doc/Quillbrook.Timer"), QStringLiteral("0\r\n1\r\n2"));
    tree.WriteBytes(QStringLiteral("cat/doc/a.txt"), "alpha");
    tree.WriteBytes(QStringLiteral("cat/doc/b.txt"), "beta");
    tree.WriteBytes(QStringLiteral("cat/doc/sub/c.txt"), "gamma");
    tree.WriteBytes(QStringLiteral("cat/doc/2024/old.txt"), "old");
}

} // namespace

TEST(ArchiveNames, YearFoldersAndManagementFiles)
{
    for (const char* name : { "2000", "2025", "2099" })
        EXPECT_TRUE(IsYearFolderName(QString::fromLatin1(name))) << name;
    for (const char* name : { "1999", "2100", "21xx", "20a5", "205", "20255", "-1", "", "２０２５" })
        EXPECT_FALSE(IsYearFolderName(QString::fromUtf8(name))) << name;

    EXPECT_TRUE(IsManagementFileName(QStringLiteral("Quillbrook.desc")));
    EXPECT_TRUE(IsManagementFileName(QStringLiteral("QUILLBROOK.DESC")));
    EXPECT_TRUE(IsManagementFileName(QStringLiteral("quillbrook.timer")));
    EXPECT_FALSE(IsManagementFileName(QStringLiteral("Quillbrook.desc.bak")));
    EXPECT_FALSE(IsManagementFileName(QStringLiteral("Quillbrook.txt")));
}

TEST(ArchiveNames, YearOfNow)
{
    ScopedTimeZone zone("Asia/Shanghai");
    qint64 t = 0;
    ASSERT_TRUE(MakeLocalTime(2026, 1, 1, 0, 0, 0, t));
    EXPECT_EQ(ArchiveYearOf(t), 2025);
    EXPECT_EQ(ArchiveYearOf(t - 1), 2024); // the last second of 2025, local time
}

TEST(Archive, ExampleTreeTwiceAndManagedSubFolder)
{
    RecordingMessagePort messages;
    TempTree tree;
    MakeExampleTree(tree);
    // A managed sub-folder, with management files in any letter case, and a year folder deep down.
    tree.WriteText(QStringLiteral("cat/doc/sub/inner/QUILLBROOK.DESC"), QStringLiteral("x"));
    tree.WriteText(QStringLiteral("cat/doc/sub/inner/quillbrook.timer"), QStringLiteral("y"));
    tree.WriteBytes(QStringLiteral("cat/doc/sub/inner/d.txt"), "delta");
    tree.WriteBytes(QStringLiteral("cat/doc/sub/2023/e.txt"), "epsilon");
    const QString folder = tree.Path(QStringLiteral("cat/doc"));
    const QStringList before = FilesBelow(folder);

    EXPECT_TRUE(ArchiveToYearFolder(folder, 2025));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
    EXPECT_EQ(FilesBelow(tree.Path(QStringLiteral("cat/doc/2025"))),
              (QStringList { QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("sub/c.txt"),
                             QStringLiteral("sub/inner/d.txt") }));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("cat/doc/2025/sub/c.txt")), QByteArray("gamma"));
    // The sources are untouched; the year folder is not managed.
    QStringList after = FilesBelow(folder);
    after.removeIf([](const QString& path) { return path.startsWith(QStringLiteral("2025/")); });
    EXPECT_EQ(after, before);
    EXPECT_FALSE(tree.Exists(QStringLiteral("cat/doc/2025/Quillbrook.desc")));

    // Again in the same year: copies are overwritten, a file gone from the source stays in the copy.
    tree.WriteBytes(QStringLiteral("cat/doc/a.txt"), "alpha, second edition");
    QFile::remove(tree.Path(QStringLiteral("cat/doc/b.txt")));
    messages.messages.clear();
    EXPECT_TRUE(ArchiveToYearFolder(folder, 2025));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("cat/doc/2025/a.txt")), QByteArray("alpha, second edition"));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("cat/doc/2025/b.txt")), QByteArray("beta"));
    EXPECT_FALSE(tree.Exists(QStringLiteral("cat/doc/2025/2025")));
}

TEST(Archive, CopyKeepsBytesAndPermissions)
{
    RecordingMessagePort messages;
    TempTree tree;
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    tree.WriteBytes(QStringLiteral("src/big.bin"), big);
    tree.WriteBytes(QStringLiteral("src/run.sh"), "#!/bin/sh\n");
    QFile::setPermissions(tree.Path(QStringLiteral("src/run.sh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    tree.MakeDir(QStringLiteral("dst"));

    EXPECT_TRUE(CopyFolderTree(tree.Path(QStringLiteral("src")), tree.Path(QStringLiteral("dst"))));
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("dst/big.bin")), big);
    EXPECT_TRUE(QFileInfo(tree.Path(QStringLiteral("dst/run.sh"))).isExecutable());
    // No temporary file is left beside the copies.
    EXPECT_EQ(FilesBelow(tree.Path(QStringLiteral("dst"))),
              (QStringList { QStringLiteral("big.bin"), QStringLiteral("run.sh") }));
}

// A 2 GiB sparse file became a 2.1 GB copy, and the window froze for the whole copy with nothing
// to show for it.
TEST(Archive, SparseFileKeepsItsHolesTheCopyReportsProgressAFullDiskLeavesNoPart)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteText(QStringLiteral("doc/Quillbrook.desc"), QStringLiteral("d"));
    tree.WriteBytes(QStringLiteral("doc/a.txt"), "alpha");
    const QString folder = tree.Path(QStringLiteral("doc"));
    const QString sparse = tree.Path(QStringLiteral("doc/sparse.img"));
    constexpr qint64 size = qint64(64) << 20;
    {
        QFile file(sparse);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
        for (const qint64 at : { qint64(0), size / 2, size - 5 }) {
            ASSERT_TRUE(file.seek(at));
            ASSERT_EQ(file.write("data!"), 5);
        }
    }
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(sparse).constData(), &st), 0);
    if (qint64(st.st_blocks) * 512 > size / 4)
        GTEST_SKIP() << "this file system keeps no holes";

    QList<CopyProgress> heard;
    EXPECT_TRUE(ArchiveToYearFolder(folder, 2025, [&](const CopyProgress& p) { heard.append(p); }));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
    const QString copy = tree.Path(QStringLiteral("doc/2025/sparse.img"));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("doc/2025/sparse.img")), tree.ReadBytes(QStringLiteral("doc/sparse.img")));
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &st), 0);
    EXPECT_EQ(st.st_size, size);
    EXPECT_LT(qint64(st.st_blocks) * 512, qint64(1) << 20); // the holes stayed holes

    // Each file from 0 to its length, in order, named by its source path.
    QStringList files;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        if (files.isEmpty() || files.last() != heard[i].file) {
            files.append(heard[i].file);
            EXPECT_EQ(heard[i].done, 0);
        } else {
            EXPECT_GE(heard[i].done, heard[i - 1].done);
        }
        const bool last = i + 1 == heard.size() || heard[i + 1].file != heard[i].file;
        if (last) {
            EXPECT_EQ(heard[i].done, heard[i].total);
        }
    }
    files.sort();
    EXPECT_EQ(files, (QStringList { folder + QStringLiteral("/a.txt"), sparse }));
    EXPECT_EQ(heard.last().total, heard.last().file == sparse ? size : 5);

    // A disk too full for the next copy: the message cascade, the earlier copy whole, no part left.
    tree.WriteBytes(QStringLiteral("doc/b.txt"), QByteArray(8192, 'b'));
    messages.messages.clear();
    FaultFileSystem fs;
    fs.SetFreeSpace(4096);
    EXPECT_FALSE(ArchiveToYearFolder(folder, 2026));
    // Which of the two big files meets the full disk first is the enumeration's order.
    const QString dst = tree.Path(QStringLiteral("doc/2026"));
    const QStringList onFirst { Msg("文件%s拷贝到%s失败！", { sparse, dst }),
                                Msg("文件%s拷贝到%s失败！", { folder + QStringLiteral("/b.txt"), dst }) };
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_TRUE(onFirst.contains(messages.messages[0])) << messages.messages[0].toStdString();
    EXPECT_EQ(messages.messages[1], Msg("%s归档到年份目录失败！", { folder }));
    for (const QString& name : FilesBelow(tree.Path(QStringLiteral("doc/2026"))))
        EXPECT_EQ(tree.ReadBytes(QStringLiteral("doc/2026/") + name), tree.ReadBytes(QStringLiteral("doc/") + name)) << name.toStdString();
}

TEST(Archive, HeldFileDeepInTreeGivesTheCascade)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteText(QStringLiteral("doc/Quillbrook.desc"), QStringLiteral("d"));
    tree.WriteBytes(QStringLiteral("doc/top.txt"), "top");
    tree.WriteBytes(QStringLiteral("doc/a/mid.txt"), "mid");
    tree.WriteBytes(QStringLiteral("doc/a/b/held.txt"), "held");
    tree.WriteBytes(QStringLiteral("doc/a/b/c/deep.txt"), "deep");
    tree.WriteBytes(QStringLiteral("doc/2025/a.txt"), "earlier copy");
    const QString folder = tree.Path(QStringLiteral("doc"));
    HeldFile held(tree.Path(QStringLiteral("doc/a/b/held.txt")));
    ASSERT_TRUE(held.IsHeld());

    EXPECT_FALSE(ArchiveToYearFolder(folder, 2025));
    const QString dst = tree.Path(QStringLiteral("doc/2025"));
    EXPECT_EQ(messages.messages,
              (QStringList {
                  Msg("文件%s拷贝到%s失败！", { folder + QStringLiteral("/a/b/held.txt"), dst + QStringLiteral("/a/b") }),
                  Msg("目录%s拷贝到%s失败！", { folder + QStringLiteral("/a/b"), dst + QStringLiteral("/a/b") }),
                  Msg("目录%s拷贝到%s失败！", { folder + QStringLiteral("/a"), dst + QStringLiteral("/a") }),
                  Msg("%s归档到年份目录失败！", { folder }),
              }));
    // What was copied before the failure stays; nothing after it was copied.
    EXPECT_EQ(FilesBelow(dst), (QStringList { QStringLiteral("a.txt"), QStringLiteral("a/mid.txt"),
                                              QStringLiteral("top.txt") }));
    EXPECT_TRUE(tree.Exists(QStringLiteral("doc/2025/a/b")));
    EXPECT_FALSE(tree.Exists(QStringLiteral("doc/2025/a/b/c")));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("doc/a/b/held.txt")), QByteArray("held"));
}

TEST(Archive, HeldEarlierCopyIsNotReplaced)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteBytes(QStringLiteral("src/a.txt"), "new");
    tree.WriteBytes(QStringLiteral("dst/a.txt"), "old");
    HeldFile held(tree.Path(QStringLiteral("dst/a.txt")));
    ASSERT_TRUE(held.IsHeld());
    EXPECT_FALSE(CopyFolderTree(tree.Path(QStringLiteral("src")), tree.Path(QStringLiteral("dst"))));
    EXPECT_EQ(messages.messages, QStringList { Msg("文件%s拷贝到%s失败！", { tree.Path(QStringLiteral("src/a.txt")),
                                                                            tree.Path(QStringLiteral("dst")) }) });
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("dst/a.txt")), QByteArray("old"));
}

TEST(Archive, UnmanagedFolderRefused)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteBytes(QStringLiteral("doc/a.txt"), "a");
    // A description file that is a folder does not make the folder managed either.
    tree.MakeDir(QStringLiteral("doc/Quillbrook.desc"));
    const QString folder = tree.Path(QStringLiteral("doc"));
    EXPECT_FALSE(ArchiveToYearFolder(folder, 2025));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s没有被管理，不能归档！", { folder }) });
    EXPECT_FALSE(tree.Exists(QStringLiteral("doc/2025")));
}

TEST(Archive, LinkCycleIsNotFollowed)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteText(QStringLiteral("doc/Quillbrook.desc"), QStringLiteral("d"));
    tree.WriteBytes(QStringLiteral("doc/a.txt"), "a");
    tree.WriteBytes(QStringLiteral("doc/sub/c.txt"), "c");
    tree.WriteBytes(QStringLiteral("outside/o.txt"), "o");
    tree.Symlink(tree.Path(QStringLiteral("doc")), QStringLiteral("doc/sub/back"));
    tree.Symlink(QStringLiteral(".."), QStringLiteral("doc/sub/up"));
    tree.Symlink(tree.Path(QStringLiteral("outside")), QStringLiteral("doc/ext"));
    const QString folder = tree.Path(QStringLiteral("doc"));

    EXPECT_TRUE(ArchiveToYearFolder(folder, 2025));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
    // A link out of the tree is copied like a folder; links back into it are not entered.
    EXPECT_EQ(FilesBelow(tree.Path(QStringLiteral("doc/2025"))),
              (QStringList { QStringLiteral("a.txt"), QStringLiteral("ext/o.txt"), QStringLiteral("sub/c.txt") }));
}

TEST(Archive, YearOutsideTheCenturyDoesNotCopyIntoItself)
{
    for (const int year : { 1999, -1, 2100 }) {
        RecordingMessagePort messages;
        TempTree tree;
        tree.WriteText(QStringLiteral("doc/Quillbrook.desc"), QStringLiteral("d"));
        tree.WriteBytes(QStringLiteral("doc/a.txt"), "a");
        tree.WriteBytes(QStringLiteral("doc/sub/c.txt"), "c");
        const QString folder = tree.Path(QStringLiteral("doc"));
        const QString name = QString::number(year);
        // A link that leads into the destination is not entered either.
        tree.MakeDir(QStringLiteral("doc/") + name);
        tree.Symlink(tree.Path(QStringLiteral("doc/") + name), QStringLiteral("doc/sub/toDest"));

        for (int run = 0; run < 2; ++run) {
            messages.messages.clear();
            EXPECT_TRUE(ArchiveToYearFolder(folder, year)) << year;
            EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
            EXPECT_EQ(FilesBelow(tree.Path(QStringLiteral("doc/") + name)),
                      (QStringList { QStringLiteral("a.txt"), QStringLiteral("sub/c.txt") }))
                << year << " run " << run;
        }
    }
}

TEST(Archive, UnreadableEntryEndsOnlyItsListing)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteText(QStringLiteral("doc/Quillbrook.desc"), QStringLiteral("d"));
    tree.WriteBytes(QStringLiteral("doc/a.txt"), "a");
    tree.WriteBytes(QStringLiteral("doc/sub/bad.txt"), "b");
    const QString folder = tree.Path(QStringLiteral("doc"));
    bool archived = false;
    {
        FaultFileSystem fs;
        fs.FailOnPath(FsCall::Attributes, QStringLiteral("bad.txt"));
        archived = ArchiveToYearFolder(folder, 2025);
    }

    // Both listings of sub meet the entry; the copy goes on with what was listed.
    const QString attributeFailure = Msg("%s获取属性异常！", { folder + QStringLiteral("/sub/bad.txt") });
    EXPECT_TRUE(archived);
    EXPECT_EQ(messages.messages,
              (QStringList { attributeFailure, attributeFailure, Msg("%s成功归档到年份目录！", { folder }) }));
    EXPECT_EQ(FilesBelow(tree.Path(QStringLiteral("doc/2025"))), QStringList { QStringLiteral("a.txt") });
    EXPECT_TRUE(tree.Exists(QStringLiteral("doc/2025/sub")));
}
