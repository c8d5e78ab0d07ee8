// Names a hostile world gives folders: markup, and bytes that are not UTF-8.
#include "app/desktopports.h"
#include "app/dlgcreate.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "platform/filenames.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

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
    dlg.OnInitDialog(tree.Root());
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

// The file system by bytes, where QDir and QFile would lose a name that is not UTF-8.
void MakeRawDir(const QByteArray& path)
{
    ASSERT_EQ(::mkdir(path.constData(), 0777), 0) << path.toStdString();
}

void WriteRaw(const QByteArray& path, const QByteArray& content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
}

QByteArray ReadRaw(const QByteArray& path)
{
    QByteArray content;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, n);
    ::close(fd);
    return content;
}

bool RawExists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// The files below dir with their contents, by relative byte path; folders whose name passes skip
// are not entered.
void RawTree(const QByteArray& dir, const QByteArray& prefix, const std::function<bool(const QByteArray&)>& skip,
             std::set<std::pair<QByteArray, QByteArray>>& files)
{
    DIR* d = ::opendir(dir.constData());
    ASSERT_NE(d, nullptr) << dir.toStdString();
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == ".." || skip(name))
            continue;
        const QByteArray path = dir + '/' + name;
        if (e->d_type == DT_DIR)
            RawTree(path, prefix + name + '/', skip, files);
        else
            files.insert({ prefix + name, ReadRaw(path) });
    }
    ::closedir(d);
}

// Removes what QTemporaryDir cannot: it reads names as UTF-8 and would miss these.
void RemoveRawTree(const QByteArray& dir)
{
    if (DIR* d = ::opendir(dir.constData())) {
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = dir + '/' + name;
            if (e->d_type == DT_DIR)
                RemoveRawTree(path);
            else
                ::unlink(path.constData());
        }
        ::closedir(d);
    }
    ::rmdir(dir.constData());
}

struct RawTreeRemover
{
    QByteArray dir;
    ~RawTreeRemover() { RemoveRawTree(dir); }
};

bool HasLoneSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
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
    const RawTreeRemover remover { category };
    MakeRawDir(category);
    for (const QByteArray& dir : { gbkDir, category + '/' + ff, category + '/' + fffd }) {
        MakeRawDir(dir);
        WriteRaw(dir + '/' + EncodeFileName(kDescFileName), Utf16File(QStringLiteral("说明")));
        WriteRaw(dir + "/Quillbrook.Timer", Utf16File(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0")));
    }
    const QByteArray dueTimer = Utf16File(QStringLiteral("1;10;0;8\r\n2020-1-8,10,0\r\n-1\r\n0"));
    WriteRaw(gbkDir + "/Quillbrook.Timer", dueTimer);
    WriteRaw(gbkDir + "/auto.bat", "true\n");
    WriteRaw(gbkDir + '/' + gbk + ".txt", "GBK");
    WriteRaw(gbkDir + '/' + ff + ".txt", "FF");
    MakeRawDir(gbkDir + '/' + gbk);
    WriteRaw(gbkDir + '/' + gbk + '/' + ff, "inner");

    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
    dlg.OnInitDialog(tree.Root());
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
    const QString clip = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(clip.contains(QStringLiteral("/类/中文>说明>每月8日10点0分触发")));
    EXPECT_EQ(clip.count(QStringLiteral("/类/\uFFFD>说明")), 2);
    EXPECT_FALSE(HasLoneSurrogate(clip));

    // Its reminder fires: the folder opened and its auto.bat started by their bytes, the file advanced.
    dlg.OnTimer();
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(EncodeFileName(shell.opened[0]), gbkDir);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(EncodeFileName(shell.started[0]), gbkDir + "/auto.bat");
    EXPECT_NE(ReadRaw(gbkDir + "/Quillbrook.Timer"), dueTimer);
    EXPECT_NE(dlg.GetItemText(gbkRow, 3), QStringLiteral("2020-1-8 10:00"));

    // Messages name it readably.
    dlg.SelectRow(gbkRow);
    dlg.OnCommand(ID_PAUSE_TIMER);
    EXPECT_EQ(messages.messages.value(0), tree.Path(QStringLiteral("类/中文停止了定时！")));

    // The archive copies every file, whatever its name.
    dlg.OnCommand(ID_ARCHIVE_PREV_YEAR);
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(messages.messages[1], tree.Path(QStringLiteral("类/中文成功归档到年份目录！")));
    std::set<std::pair<QByteArray, QByteArray>> source, copy;
    const auto managementOrYear = [](const QByteArray& name) {
        return name.startsWith("Quillbrook.") || (name.size() == 4 && name.startsWith("20"));
    };
    RawTree(gbkDir, {}, managementOrYear, source);
    RawTree(gbkDir + '/' + QByteArray::number(QDate::currentDate().year() - 1), {}, managementOrYear, copy);
    EXPECT_EQ(source.size(), 4u);
    EXPECT_EQ(copy, source);

    // "清除描述及定时" on the \xff row touches that folder alone.
    dlg.SelectRow(rowOf(category + '/' + ff));
    messages.answers.push_back(true);
    dlg.OnCommand(ID_CLEAR_MANAGE_INFO);
    EXPECT_EQ(messages.questions.value(0), tree.Path(QStringLiteral("类/\uFFFD管理信息将被清除！是否继续？")));
    EXPECT_FALSE(RawExists(category + '/' + ff + '/' + EncodeFileName(kDescFileName)));
    EXPECT_FALSE(RawExists(category + '/' + ff + "/Quillbrook.Timer"));
    EXPECT_TRUE(RawExists(category + '/' + fffd + '/' + EncodeFileName(kDescFileName)));
    EXPECT_TRUE(RawExists(category + '/' + fffd + "/Quillbrook.Timer"));
    EXPECT_TRUE(HasLoneSurrogate(dlg.GetItemText(rowOf(category + '/' + ff), 0))); // still its own row
}
