// Which folder is the root, the command line, and where the help document is found.
#include "app/commandline.h"
#include "app/rootchoice.h"
#include "platform/filenames.h"
#include "testsupport.h"

#include <QDir>
#include <QSettings>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

// A program folder, an installed bin folder and two roots in one temporary tree.
class RootRules : public ::testing::Test
{
protected:
    RootRules()
    {
        for (const char* dir : { "portable", "usr/bin", "文档 根", "旧根" })
            tree.MakeDir(QString::fromUtf8(dir));
    }
    QString Path(const char* relative) const { return tree.Path(QString::fromUtf8(relative)); }

    TempTree tree;
    const QString bin = Path("usr/bin");
    const QString docs = Path("文档 根");
};

} // namespace

TEST_F(RootRules, PortableCopyUsesItsOwnFolderWhateverIsStored)
{
    for (const QString& stored : { QString(), docs, Path("missing") }) {
        const RootChoice choice = ChooseRoot(Path("portable"), bin, QString(), stored);
        EXPECT_EQ(choice.kind, RootChoice::Use);
        EXPECT_EQ(choice.root, Path("portable"));
    }
    // A program folder that only looks like the installed one is still a portable copy.
    EXPECT_FALSE(IsInstalledProgram(Path("portable"), bin));
    EXPECT_FALSE(IsInstalledProgram(Path("portable"), QString()));
}

TEST_F(RootRules, InstalledProgramReusesTheStoredRootOrAsks)
{
    // Reached through a link, as /bin is /usr/bin on merged systems.
    tree.Symlink(bin, QStringLiteral("bin"));
    ASSERT_TRUE(IsInstalledProgram(Path("bin"), bin));

    RootChoice choice = ChooseRoot(Path("bin"), bin, QString(), docs + u'/');
    EXPECT_EQ(choice.kind, RootChoice::Use);
    EXPECT_EQ(choice.root, docs); // without the trailing separator

    choice = ChooseRoot(bin, bin, QString(), QString()); // very first start
    EXPECT_EQ(choice.kind, RootChoice::Ask);
    EXPECT_TRUE(choice.root.isEmpty());

    choice = ChooseRoot(bin, bin, QString(), Path("missing"));
    EXPECT_EQ(choice.kind, RootChoice::Ask);
    EXPECT_EQ(choice.root, Path("missing")); // the user is told which one is gone

    tree.WriteBytes(QStringLiteral("a file"), "x");
    choice = ChooseRoot(bin, bin, QString(), Path("a file"));
    EXPECT_EQ(choice.kind, RootChoice::Ask);
}

TEST_F(RootRules, FolderOnTheCommandLineWinsAndMustBeAFolder)
{
    tree.WriteBytes(QStringLiteral("a file"), "x");
    for (const QString& program : { bin, Path("portable") }) {
        RootChoice choice = ChooseRoot(program, bin, docs + QStringLiteral("/./"), Path("旧根"));
        EXPECT_EQ(choice.kind, RootChoice::Use);
        EXPECT_EQ(choice.root, docs);

        for (const QString& bad : { Path("missing"), Path("a file") }) {
            choice = ChooseRoot(program, bin, bad, docs);
            EXPECT_EQ(choice.kind, RootChoice::BadArgument);
            EXPECT_EQ(choice.badFolder, bad);
        }
    }
    // A relative folder is taken from the working directory.
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.Root()));
    const RootChoice relative = ChooseRoot(bin, bin, QStringLiteral("文档 根"), QString());
    QDir::setCurrent(here);
    EXPECT_EQ(relative.root, QDir(docs).canonicalPath());
    EXPECT_EQ(NotAFolderMessage(QStringLiteral("/x")), QStringLiteral("文件夹不存在或不是文件夹：/x"));
}

TEST_F(RootRules, PickerIsAskedUntilAFolderOrCancel)
{
    RecordingMessagePort messages;
    RecordingShellPort shell;

    shell.folders = { Path("missing"), docs + u'/' };
    EXPECT_EQ(AskForRoot(QString()), docs);
    EXPECT_EQ(shell.browseTitles.size(), 2);
    EXPECT_EQ(messages.messages, QStringList { NotAFolderMessage(Path("missing")) });

    messages.messages.clear();
    shell.browseTitles.clear();
    EXPECT_TRUE(AskForRoot(Path("旧根/没了")).isEmpty()); // Cancel: nothing more is said
    EXPECT_EQ(shell.browseTitles.size(), 1);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages.first().contains(Path("旧根/没了")));
}

TEST_F(RootRules, HelpDocumentBesideTheRootThenTheProgramThenInstalled)
{
    const QString name = QStringLiteral("/说明.pdf");
    const QString installed = Path("usr/share/doc/quillbrook");
    tree.MakeDir(QStringLiteral("usr/share/doc/quillbrook"));
    EXPECT_EQ(HelpDocumentPath(docs, bin, installed), docs + name); // none anywhere: beside the root
    tree.WriteBytes(QStringLiteral("usr/share/doc/quillbrook/说明.pdf"), "%PDF");
    EXPECT_EQ(HelpDocumentPath(docs, bin, installed), installed + name);
    tree.WriteBytes(QStringLiteral("usr/bin/说明.pdf"), "%PDF");
    EXPECT_EQ(HelpDocumentPath(docs, bin, installed), bin + name);
    tree.WriteBytes(QStringLiteral("文档 根/说明.pdf"), "%PDF");
    EXPECT_EQ(HelpDocumentPath(docs, bin, installed), docs + name);
}

TEST(CommandLine, FolderShortOptionsAndMistakes)
{
    // The long options and the exit statuses are tried on the installed program itself.
    const auto parse = [](std::initializer_list<const char*> args) {
        QStringList list { QStringLiteral("quillbrook") };
        for (const char* arg : args)
            list.append(QString::fromUtf8(arg));
        return ParseCommandLine(list);
    };
    EXPECT_EQ(parse({}).action, CommandLine::Run);
    EXPECT_TRUE(parse({}).folder.isEmpty());
    EXPECT_EQ(parse({ "/文档/根" }).folder, QStringLiteral("/文档/根"));
    EXPECT_EQ(parse({ "--", "-名字以横线开头" }).folder, QStringLiteral("-名字以横线开头"));
    EXPECT_EQ(parse({ "-h" }).action, CommandLine::Help);
    EXPECT_EQ(parse({ "-v" }).action, CommandLine::Version);
    EXPECT_TRUE(parse({ "-x" }).error.startsWith(QStringLiteral("未知选项：-x\n")));
    EXPECT_EQ(parse({ "/a", "/b" }).action, CommandLine::Error);
}

TEST_F(RootRules, HelpTellsWhichFolderAStartWithoutOneWouldUse)
{
    EXPECT_EQ(RootAccount(Path("portable"), bin, docs), Path("portable"));
    EXPECT_EQ(RootAccount(bin, bin, docs), docs);
    EXPECT_TRUE(RootAccount(bin, bin, QString()).startsWith(QStringLiteral("尚未选择")));
    EXPECT_TRUE(RootAccount(bin, bin, Path("missing")).startsWith(Path("missing") + QStringLiteral(" 已不存在")));
}

TEST(CommandLine, DashFoldersValuedOptionsEmptyFoldersAndFileUrlsAreToldApart)
{
    const auto parse = [](const QString& argument) { return ParseCommandLine({ QStringLiteral("quillbrook"), argument }); };
    // "-dash" is an unknown option as a whole (was "-d"), and "--" is offered; --help says it too.
    EXPECT_EQ(parse(QStringLiteral("-dash")).error,
              QStringLiteral("未知选项：-dash\n以“-”开头的文件夹请写在 -- 之后：quillbrook -- -dash"));
    EXPECT_TRUE(HelpText(QString()).contains(QStringLiteral("  --             其后的参数都是文件夹")));
    EXPECT_EQ(parse(QStringLiteral("--help=3")).error, QStringLiteral("选项 --help 不带值：--help=3")); // was Qt's English
    // An empty name is refused, not taken for no folder (which starts on another root).
    EXPECT_EQ(parse(QString()).action, CommandLine::Error);
    EXPECT_EQ(parse(QString()).error, QStringLiteral("文件夹名是空的。不给文件夹时，请不要写这个参数。"));

    // A file URL names a folder by its bytes, on this machine only.
    EXPECT_EQ(EncodeFileName(parse(QStringLiteral("file:///tmp/a%20%FF%0B%E6%96%87")).folder), "/tmp/a \xff\x0b\xe6\x96\x87");
    EXPECT_EQ(parse(QStringLiteral("FILE://localhost/x")).folder, QStringLiteral("/x"));
    for (const QString bad : { QStringLiteral("file://host/x"), QStringLiteral("file:///a%00b"), QStringLiteral("file://") })
        EXPECT_EQ(parse(bad).error, QStringLiteral("不是本机文件夹的网址：") + bad);
}

TEST_F(RootRules, ARememberedRootThatIsAFileIsToldApartFromOneThatHasGone)
{
    tree.WriteBytes(QStringLiteral("a file"), "x");
    tree.Symlink(Path("missing"), QStringLiteral("dangling"));
    EXPECT_EQ(RootAccount(bin, bin, Path("a file")), Path("a file") + QStringLiteral(" 不是文件夹（启动时会请您重新选择）"));
    EXPECT_EQ(RootAccount(bin, bin, Path("dangling")), Path("dangling") + QStringLiteral(" 已不存在（启动时会请您重新选择）"));

    RecordingMessagePort messages;
    RecordingShellPort shell;
    AskForRoot(Path("a file"));
    AskForRoot(Path("dangling"));
    EXPECT_EQ(messages.messages,
              (QStringList { QStringLiteral("上次使用的根目录不是文件夹：") + Path("a file") + QStringLiteral("\n请重新选择根目录。"),
                             QStringLiteral("上次使用的根目录已不存在：") + Path("dangling") + QStringLiteral("\n请重新选择根目录。") }));
}

TEST_F(RootRules, ARootWhoseNameIsNotUtf8KeepsItsBytesFromTheWorkingFolderAndInTheSettings)
{
    const std::filesystem::path raw = EncodeFileName(tree.Root() + QStringLiteral("/raw\xff")).toStdString();
    std::filesystem::create_directories(raw / "sub");
    const QString root = DecodeFileName(QByteArray::fromStdString(raw.string()));
    const auto same = [&](const QString& path, const QString& expected) { return EncodeFileName(path) == EncodeFileName(expected); };

    // Found by its bytes (was: refused, or its neighbour "raw\xef\xbf\xbd" taken), also as a
    // relative folder below a working folder that is not UTF-8.
    RootChoice choice = ChooseRoot(bin, bin, root + u'/', QString());
    EXPECT_EQ(choice.kind, RootChoice::Use);
    EXPECT_TRUE(same(choice.root, root));
    const QString here = QDir::currentPath();
    ASSERT_EQ(::chdir(raw.c_str()), 0);
    choice = ChooseRoot(bin, bin, QStringLiteral("sub"), QString());
    ASSERT_TRUE(QDir::setCurrent(here));
    EXPECT_TRUE(same(choice.root, root + QStringLiteral("/sub")));

    // Remembered and read back by a later start; any other root stays a text, and the text an older
    // version wrote still reads.
    const QString conf = Path("quillbrook.conf");
    const auto store = [&](const QString& value) {
        QSettings settings(conf, QSettings::IniFormat);
        StoreRoot(settings, value);
    };
    store(root);
    EXPECT_TRUE(same(StoredRoot(QSettings(conf, QSettings::IniFormat)), root));
    store(docs);
    EXPECT_TRUE(tree.ReadBytes(QStringLiteral("quillbrook.conf")).contains("root=" + docs.toUtf8()));
    tree.WriteBytes(QStringLiteral("quillbrook.conf"), "[General]\nroot=/home/\xe7\x94\xa8\xe6\x88\xb7\n");
    EXPECT_EQ(StoredRoot(QSettings(conf, QSettings::IniFormat)), QStringLiteral("/home/用户"));
    std::filesystem::remove_all(raw); // QTemporaryDir would leave it behind
}
