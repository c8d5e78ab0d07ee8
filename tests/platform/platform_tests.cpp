#include "faultfilesystem.h"
#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <stdexcept>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(FileAttributes, FoldersFilesLinksAndMissingEntries)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("dir"));
    tree.WriteBytes(QStringLiteral("file.txt"), "x");
    tree.Symlink(tree.Path(QStringLiteral("dir")), QStringLiteral("dirlink"));
    tree.Symlink(tree.Path(QStringLiteral("file.txt")), QStringLiteral("filelink"));
    tree.Symlink(tree.Path(QStringLiteral("gone")), QStringLiteral("dangling"));

    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("dir"))), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("file.txt"))), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("dirlink"))), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("filelink"))), FILE_ATTRIBUTE_ARCHIVE);
    // A dangling link exists and, as a junction whatever its target, keeps the folder attribute.
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("dangling"))),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("missing"))), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("file.txt/below"))), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(QString()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QString(300, u'长'))), INVALID_FILE_ATTRIBUTES);
}

TEST(ExclusiveFile, OpenFailsWhileAnotherHolderHasTheFile)
{
    TempTree tree;
    tree.WriteBytes(QStringLiteral("f"), "abc");
    const QString path = tree.Path(QStringLiteral("f"));
    {
        HeldFile held(path);
        ASSERT_TRUE(held.IsHeld());
        CFile file;
        EXPECT_FALSE(file.Open(path, CFile::modeRead));
        EXPECT_FALSE(file.Open(path, CFile::modeReadWrite));
        EXPECT_FALSE(file.Open(path, CFile::modeCreate));
    }
    // Two opens in one process conflict too.
    CFile first;
    ASSERT_TRUE(first.Open(path, CFile::modeRead));
    CFile second;
    EXPECT_FALSE(second.Open(path, CFile::modeRead));
    first.Close();
    EXPECT_TRUE(second.Open(path, CFile::modeRead));
}

TEST(ExclusiveFile, FoldersAndImpossiblePathsAreFailedOpens)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("dir"));
    tree.WriteBytes(QStringLiteral("plain"), "x");
    CFile file;
    EXPECT_FALSE(file.Open(tree.Path(QStringLiteral("dir")), CFile::modeRead));
    EXPECT_FALSE(file.Open(tree.Path(QStringLiteral("dir")), CFile::modeCreate));
    EXPECT_FALSE(file.Open(tree.Path(QStringLiteral("missing")), CFile::modeRead));
    EXPECT_FALSE(file.Open(tree.Path(QStringLiteral("plain/child")), CFile::modeCreate));
    EXPECT_FALSE(file.Open(tree.Path(QStringLiteral("nofolder/child")), CFile::modeCreate));
    EXPECT_FALSE(file.Open(tree.Path(QString(256, u'a')), CFile::modeCreate));
    EXPECT_FALSE(file.IsOpen());
}

TEST(ExclusiveFile, WritesReplaceTheWholeFileOnlyWhenClosed)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("f"));
    tree.WriteBytes(QStringLiteral("f"), "old content");

    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    EXPECT_TRUE(file.Read(100).isEmpty()); // create-always starts empty
    file.Write("new");
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("old content")); // nothing torn meanwhile
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("new"));

    // Read, then rewrite in place from the start.
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    EXPECT_EQ(file.Read(2), QByteArray("ne"));
    file.Seek(1);
    file.Write("XYZ");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("nXYZ"));

    // Reads in pieces: full pieces, the short last one, then nothing.
    tree.WriteBytes(QStringLiteral("long"), QByteArray(5000, 'x') + "end");
    ASSERT_TRUE(file.Open(tree.Path(QStringLiteral("long")), CFile::modeRead));
    EXPECT_EQ(file.Read(2048).size(), 2048);
    EXPECT_EQ(file.Read(2048).size(), 2048);
    EXPECT_EQ(file.Read(2048), QByteArray(904, 'x') + "end");
    EXPECT_TRUE(file.Read(2048).isEmpty());
    file.Close();
    ASSERT_TRUE(QFile::remove(tree.Path(QStringLiteral("long"))));

    // An aborted operation stores nothing; no temporary file is left behind.
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    file.Write("discarded");
    file.Abort();
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("nXYZ"));
    EXPECT_EQ(QDir(tree.Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList { QStringLiteral("f") });
}

// A CFile destroyed without Close() committed what had been written: a writer that returned early
// (or threw) half-way stored a half-built file.
TEST(ExclusiveFile, AWriterThatReturnsEarlyLeavesTheOldFileByteForByte)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("Quillbrook.Timer"));
    const QByteArray old = Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n0"));
    tree.WriteBytes(QStringLiteral("Quillbrook.Timer"), old);

    // Builds a new file in two halves; stops between them when told to.
    const auto writer = [&](CFile::Mode mode, bool stopHalfWay, bool viaException) {
        CFile file;
        if (!file.Open(path, mode))
            return false;
        if (mode == CFile::modeReadWrite)
            file.Read(4);
        file.SetLength(0);
        file.Seek(0);
        file.Write(Utf16File(QStringLiteral("half")));
        if (stopHalfWay && viaException)
            throw std::runtime_error("writer failed");
        if (stopHalfWay)
            return false;
        file.Write(Utf16File(QStringLiteral("whole")).mid(2));
        return file.Close();
    };
    const QStringList onlyTheFile { QStringLiteral("Quillbrook.Timer") };
    for (const CFile::Mode mode : { CFile::modeCreate, CFile::modeReadWrite }) {
        EXPECT_FALSE(writer(mode, true, false));
        EXPECT_EQ(tree.ReadBytes(QStringLiteral("Quillbrook.Timer")), old) << mode;
        EXPECT_THROW(writer(mode, true, true), std::runtime_error);
        EXPECT_EQ(tree.ReadBytes(QStringLiteral("Quillbrook.Timer")), old) << mode;
        // Nothing is left behind, and the lock went with the object.
        EXPECT_EQ(QDir(tree.Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), onlyTheFile);
        CFile again;
        EXPECT_TRUE(again.Open(path, CFile::modeRead));
    }
    // A writer that reaches Close() stores its file.
    EXPECT_TRUE(writer(CFile::modeCreate, false, false));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("Quillbrook.Timer")), Utf16File(QStringLiteral("halfwhole")));
}

// The fault-injecting file system: the Nth call of a kind, a named path and a full disk each fail
// the way the real ones do, and leave the files as they were.
TEST(FileSystemSeam, FaultsByCallByPathAndAFullDiskLeaveFilesWhole)
{
    TempTree tree;
    tree.WriteBytes(QStringLiteral("f"), "old content");
    tree.WriteBytes(QStringLiteral("dir/a"), "a");
    const QString path = tree.Path(QStringLiteral("f"));
    const auto entries = [&] { return QDir(tree.Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
    const QStringList before = entries();
    FaultFileSystem fs;

    fs.FailNthCall(FsCall::Open, 2);
    CFile file;
    EXPECT_TRUE(file.Open(path, CFile::modeRead));
    file.Close();
    EXPECT_FALSE(file.Open(path, CFile::modeRead));
    EXPECT_TRUE(file.Open(path, CFile::modeRead));
    file.Close();
    EXPECT_EQ(fs.Calls(FsCall::Open), 3);

    // A full disk: the new content does not fit, the old file stays byte for byte, nothing is left.
    fs.SetFreeSpace(5);
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    file.Write("new content");
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("old content"));
    EXPECT_FALSE(Fs().Copy(path, tree.Path(QStringLiteral("dir/copy")), {}));
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("dir"))).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("a") });
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    file.Write("new");
    EXPECT_TRUE(file.Close()); // it fits
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("new"));
    fs.SetFreeSpace(-1);

    // Named paths: by full path or by an entry's name in any folder.
    fs.FailOnPath(FsCall::Replace, path);
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    file.Write("X");
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("new"));
    fs.FailOnPath(FsCall::Attributes, QStringLiteral("a"));
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("dir/a"))), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(tree.Path(QStringLiteral("dir"))), FILE_ATTRIBUTE_DIRECTORY);
    fs.FailOnPath(FsCall::Enumerate, tree.Path(QStringLiteral("dir")));
    struct Names final : EntryVisitor {
        bool Entry(const char* name, std::uint32_t) override { return names.append(QString::fromUtf8(name)), true; }
        QStringList names;
    } visitor;
    EXPECT_FALSE(Fs().Enumerate(tree.Path(QStringLiteral("dir")), visitor));
    EXPECT_TRUE(Fs().Enumerate(tree.Root(), visitor));
    visitor.names.sort();
    EXPECT_EQ(visitor.names, before);
    fs.FailOnPath(FsCall::MakeFolder, QStringLiteral("new"));
    EXPECT_FALSE(CreateDirectoryW(tree.Path(QStringLiteral("new"))));
    fs.FailOnPath(FsCall::Remove, QStringLiteral("f"));
    EXPECT_FALSE(DeleteFileW(path));
    EXPECT_EQ(entries(), before);
}

TEST(LocalTime, RoundTripsAndNormalisesInSeveralZones)
{
    for (const char* zone : { "Asia/Shanghai", "UTC", "Europe/Berlin" }) {
        ScopedTimeZone tz(zone);
        qint64 t = 0;
        ASSERT_TRUE(MakeLocalTime(2026, 12, 8, 10, 0, 0, t)) << zone;
        LocalTime local;
        ASSERT_TRUE(ToLocalTime(t, local));
        EXPECT_EQ(local.year, 2026);
        EXPECT_EQ(local.month, 12);
        EXPECT_EQ(local.day, 8);
        EXPECT_EQ(local.hour, 10);
        EXPECT_EQ(local.weekday, 2); // a Tuesday
        // The platform moves a day past the month's end into the next month.
        ASSERT_TRUE(MakeLocalTime(2026, 4, 31, 9, 0, 0, t));
        ASSERT_TRUE(ToLocalTime(t, local));
        EXPECT_EQ(local.month, 5);
        EXPECT_EQ(local.day, 1);
    }
    ScopedTimeZone utc("UTC");
    qint64 t = 0;
    ASSERT_TRUE(MakeLocalTime(1969, 12, 31, 23, 59, 59, t)); // -1 is a time, not a failure
    EXPECT_EQ(t, -1);
}

TEST(MessagePort, FormatsFillsPlacesInOrderAndRecorderAnswers)
{
    EXPECT_EQ(FormatMessage(QStringLiteral("文件%s拷贝到%s失败！"), { QStringLiteral("/a"), QStringLiteral("/b") }),
              QStringLiteral("文件/a拷贝到/b失败！"));
    EXPECT_EQ(FormatMessage(QStringLiteral("%s创建失败！"), { QStringLiteral("100%s") }),
              QStringLiteral("100%s创建失败！"));
    EXPECT_EQ(FormatMessage(QStringLiteral("no places"), { QStringLiteral("x") }), QStringLiteral("no places"));

    RecordingMessagePort port;
    port.answers = { true };
    EXPECT_TRUE(AskYesNo(QStringLiteral("q1")));
    EXPECT_FALSE(AskYesNo(QStringLiteral("q2"))); // an empty queue answers No
    ShowMessage(QStringLiteral("m"));
    EXPECT_EQ(port.questions, (QStringList { QStringLiteral("q1"), QStringLiteral("q2") }));
    EXPECT_EQ(port.messages, QStringList { QStringLiteral("m") });
}

// A writer killed between writing its temporary file and renaming it left that file behind, and
// every such kill added one more hidden file to the user's folder.
TEST(ExclusiveFile, KilledWritersTemporaryFilesPiledUp)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("Quillbrook.Timer"));
    tree.WriteBytes(QStringLiteral("Quillbrook.Timer"), "old");
    for (const char* name : { ".Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687", ".Quillbrook.Timer.qbtmp-0000000000000000",
                              ".Quillbrook.Timer.keep", ".Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687.bak",
                              ".Quillbrook.desc.qbtmp-3f09a1c2d4e5b687", "Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687" })
        tree.WriteBytes(QString::fromLatin1(name), "litter?");

    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    file.Write("new");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("Quillbrook.Timer")), QByteArray("new"));
    // Only the temporaries of this file go; anything named otherwise stays.
    QStringList left = QDir(tree.Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList { QStringLiteral(".Quillbrook.Timer.keep"),
                                   QStringLiteral(".Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687.bak"),
                                   QStringLiteral(".Quillbrook.desc.qbtmp-3f09a1c2d4e5b687"), QStringLiteral("Quillbrook.Timer"),
                                   QStringLiteral("Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687") }));
}

// A damaged file was deleted by path after its lock had been released, so a file that another
// instance had written there meanwhile was deleted instead.
TEST(ExclusiveFile, RemovalAfterTheLockDeletedAnotherInstancesFile)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("f"));
    tree.WriteBytes(QStringLiteral("f"), "damaged");

    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeRead));
    // Another writer puts a new file in its place (an atomic rename, as every writer here does).
    tree.WriteBytes(QStringLiteral("g"), "written by the other instance");
    ASSERT_TRUE(QFile::rename(tree.Path(QStringLiteral("g")), tree.Path(QStringLiteral("h"))));
    ASSERT_EQ(::rename(QFile::encodeName(tree.Path(QStringLiteral("h"))).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_FALSE(file.Remove());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("f")), QByteArray("written by the other instance"));

    // The file it opened is removed.
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    EXPECT_TRUE(file.Remove());
    EXPECT_FALSE(tree.Exists(QStringLiteral("f")));
    // An open of a file that did not exist yet holds nothing to remove.
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    EXPECT_FALSE(file.Remove());
    EXPECT_FALSE(tree.Exists(QStringLiteral("f")));
}

TEST(ExclusiveFile, APipeUnderAFilesNameIsAFailedOpenNotAHang)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("Quillbrook.desc"));
    ASSERT_EQ(::mkfifo(NativePath(path).constData(), 0644), 0);
    CFile file;
    EXPECT_FALSE(file.Open(path, CFile::modeRead));
    EXPECT_FALSE(file.Open(path, CFile::modeReadWrite));
    EXPECT_FALSE(file.Open(path, CFile::modeCreate));
    EXPECT_EQ(GetFileAttributesW(path), FILE_ATTRIBUTE_NORMAL); // exists, but is not a file
}
