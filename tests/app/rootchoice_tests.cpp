// Which folder is the root, the command line, and where the help document is found.
#include "app/commandline.h"
#include "app/rootchoice.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

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
    EXPECT_EQ(parse({ "-x" }).error, QStringLiteral("未知选项：-x"));
    EXPECT_EQ(parse({ "/a", "/b" }).action, CommandLine::Error);
}

TEST_F(RootRules, HelpTellsWhichFolderAStartWithoutOneWouldUse)
{
    EXPECT_EQ(RootAccount(Path("portable"), bin, docs), Path("portable"));
    EXPECT_EQ(RootAccount(bin, bin, docs), docs);
    EXPECT_TRUE(RootAccount(bin, bin, QString()).startsWith(QStringLiteral("尚未选择")));
    EXPECT_TRUE(RootAccount(bin, bin, Path("missing")).startsWith(Path("missing") + QStringLiteral(" 已不存在")));
}
