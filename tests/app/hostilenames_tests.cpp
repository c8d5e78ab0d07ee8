// Names a hostile world gives folders: markup, and bytes that are not UTF-8.
#include "app/desktopports.h"
#include "app/dlgcreate.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "platform/filenames.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

namespace {

// What a message box showed.
struct BoxSeen
{
    bool found = false;
    Qt::TextFormat boxFormat = Qt::AutoText;
    Qt::TextFormat labelFormat = Qt::AutoText;
    QString text;
};

// Runs show, which puts up one message box; reads the box and closes it.
BoxSeen ReadBox(const std::function<void()>& show)
{
    BoxSeen seen;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.found = true;
        seen.boxFormat = box->textFormat();
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            seen.labelFormat = label->textFormat();
            seen.text = label->text();
        }
        box->done(0);
    });
    timer.start(0);
    show();
    return seen;
}

// The program's own message boxes for the scope.
struct ProgramMessageBoxes
{
    ProgramMessageBoxes() { SetMessagePort(&port); }
    ~ProgramMessageBoxes() { SetMessagePort(nullptr); }
    QtMessagePort port;
};

} // namespace

TEST(HostileNames, MarkupInANameShowsLiterallyInMessageBoxesAndLabels)
{
    const ProgramMessageBoxes boxes;
    // A harmless probe first: a box that read markup would make the next step load /dev/zero.
    const BoxSeen probe = ReadBox([] { ShowMessage(QStringLiteral("<b>粗</b>")); });
    ASSERT_TRUE(probe.found);
    ASSERT_EQ(probe.labelFormat, Qt::PlainText);
    EXPECT_EQ(probe.text, QStringLiteral("<b>粗</b>"));

    const QString name = QStringLiteral("类/<img src=%2Fdev%2Fzero>");
    TempTree tree;
    tree.MakeDir(name);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    ASSERT_EQ(dlg.GetItemCount(), 1);
    dlg.SelectRow(0);

    const BoxSeen stopped = ReadBox([&] { dlg.OnPauseTimer(); });
    EXPECT_EQ(stopped.boxFormat, Qt::PlainText);
    EXPECT_EQ(stopped.labelFormat, Qt::PlainText);
    EXPECT_EQ(stopped.text, tree.Path(name) + QStringLiteral("停止了定时！"));

    const BoxSeen asked = ReadBox([&] { dlg.OnClearManageInfo(); }); // answered No
    EXPECT_EQ(asked.labelFormat, Qt::PlainText);
    EXPECT_EQ(asked.text, tree.Path(name) + QStringLiteral("管理信息将被清除！是否继续？"));
    EXPECT_TRUE(tree.Exists(name));

    // The settings dialog's labels that code fills read no markup either.
    const DlgCreate settings;
    for (const QLabel* label : settings.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

namespace {

// The file system by bytes (std::filesystem keeps them), where QDir and QFile would lose a name
// that is not UTF-8.
namespace fs = std::filesystem;
fs::path Raw(const QByteArray& bytes)
{
    return fs::path(bytes.toStdString());
}

void WriteRaw(const QByteArray& path, const QByteArray& content)
{
    std::ofstream(Raw(path), std::ios::binary) << content.toStdString();
}

// QTemporaryDir reads names as UTF-8 and would leave these behind.
struct RemovedAtEnd
{
    fs::path dir;
    ~RemovedAtEnd() { fs::remove_all(dir); }
};

QByteArray ReadRaw(const QByteArray& path)
{
    std::ifstream in(Raw(path), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The files below dir and their contents, by relative byte path, leaving out the management
// files and the year folders.
std::map<std::string, QByteArray> CopiedFiles(const QByteArray& dir)
{
    std::map<std::string, QByteArray> files;
    for (auto it = fs::recursive_directory_iterator(Raw(dir)); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && name.size() == 4 && name.starts_with("20"))
            it.disable_recursion_pending();
        else if (it->is_regular_file() && !name.starts_with("Quillbrook."))
            files[fs::relative(it->path(), Raw(dir)).string()] = ReadRaw(QByteArray::fromStdString(it->path()));
    }
    return files;
}

} // namespace

TEST(HostileNames, NamesThatAreNotUtf8KeepTheirBytesThroughEveryCommand)
{
    const QByteArray gbk("\xd6\xd0\xce\xc4"); // 中文 as Chinese Windows writes it
    const QByteArray ff("\xff");
    const QByteArray fffd("\xef\xbf\xbd"); // a real U+FFFD, what ff used to be read as
    TempTree tree;
    const QByteArray category = EncodeFileName(tree.Path(QStringLiteral("类")));
    const QByteArray gbkDir = category + '/' + gbk;
    const RemovedAtEnd removed { Raw(category) };
    for (const QByteArray& dir : { gbkDir, category + '/' + ff, category + '/' + fffd }) {
        fs::create_directories(Raw(dir));
        WriteRaw(dir + "/Quillbrook.desc", Utf16File(QStringLiteral("说明")));
        WriteRaw(dir + "/Quillbrook.Timer", Utf16File(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0")));
    }
    const QByteArray dueTimer = Utf16File(QStringLiteral("1;10;0;8\r\n2020-1-8,10,0\r\n-1\r\n0"));
    WriteRaw(gbkDir + "/Quillbrook.Timer", dueTimer);
    WriteRaw(gbkDir + "/auto.bat", "true\n");
    WriteRaw(gbkDir + '/' + gbk + ".txt", "GBK");
    WriteRaw(gbkDir + '/' + ff + ".txt", "FF");
    fs::create_directory(Raw(gbkDir + '/' + gbk));
    WriteRaw(gbkDir + '/' + gbk + '/' + ff, "inner");

    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'\n').toStdString();

    // Each row names exactly its own folder.
    ASSERT_EQ(dlg.GetItemCount(), 3);
    const auto rowOf = [&](const QByteArray& dir) {
        for (int row = 0; row < dlg.GetItemCount(); ++row)
            if (EncodeFileName(dlg.RowFolder(row)) == dir)
                return row;
        return -1;
    };
    const int gbkRow = rowOf(gbkDir);
    const int ffRow = rowOf(category + '/' + ff);
    const int fffdRow = rowOf(category + '/' + fffd);
    ASSERT_NE(gbkRow, -1);
    ASSERT_NE(ffRow, -1);
    ASSERT_NE(fffdRow, -1);

    // A person reads them: GB18030 where the bytes are that, U+FFFD otherwise, never raw bytes.
    dlg.OnCommand(ID_COPY_LIST);
    WaitUntilIdle(dlg);
    const QString clip = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(clip.contains(QStringLiteral("/类/中文>说明>每月8日10点0分触发")));
    EXPECT_EQ(clip.count(QStringLiteral("/类/\uFFFD>说明")), 2);
    EXPECT_TRUE(clip.isValidUtf16());

    // Its reminder fires: the folder opened and its auto.bat started by their bytes, the file advanced.
    Tick(dlg);
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(EncodeFileName(shell.opened[0]), gbkDir);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(EncodeFileName(shell.started[0]), gbkDir + "/auto.bat");
    EXPECT_NE(ReadRaw(gbkDir + "/Quillbrook.Timer"), dueTimer);
    EXPECT_NE(dlg.GetItemText(gbkRow, 3), QStringLiteral("2020-1-8 10:00"));

    // Messages name it readably.
    dlg.SelectRow(gbkRow);
    dlg.OnCommand(ID_PAUSE_TIMER);
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.messages.value(0), tree.Path(QStringLiteral("类/中文停止了定时！")));

    // The archive copies every file, whatever its name.
    dlg.OnCommand(ID_ARCHIVE_PREV_YEAR);
    WaitUntilIdle(dlg);
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(messages.messages[1], tree.Path(QStringLiteral("类/中文成功归档到年份目录！")));
    const auto source = CopiedFiles(gbkDir);
    EXPECT_EQ(source.size(), 4u);
    EXPECT_EQ(CopiedFiles(gbkDir + '/' + QByteArray::number(QDate::currentDate().year() - 1)), source);

    // "清除描述及定时" on the \xff row touches that folder alone.
    dlg.SelectRow(rowOf(category + '/' + ff));
    messages.answers.push_back(true);
    dlg.OnCommand(ID_CLEAR_MANAGE_INFO);
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.questions.value(0), tree.Path(QStringLiteral("类/\uFFFD管理信息将被清除！是否继续？")));
    EXPECT_FALSE(fs::exists(Raw(category + '/' + ff + "/Quillbrook.desc")));
    EXPECT_FALSE(fs::exists(Raw(category + '/' + ff + "/Quillbrook.Timer")));
    EXPECT_TRUE(fs::exists(Raw(category + '/' + fffd + "/Quillbrook.desc")));
    EXPECT_TRUE(fs::exists(Raw(category + '/' + fffd + "/Quillbrook.Timer")));
    EXPECT_NE(rowOf(category + '/' + ff), -1); // still its own row after the reload
}
