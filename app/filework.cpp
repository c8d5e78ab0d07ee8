// The window's side of the file work on worker threads: the list load and the pass's check. Each
// call returns once its work is complete, running the event loop meanwhile, so the window answers,
// paints and ticks while a slow tree is read. What the work shows (messages, rows, firings)
// happens here, on the window's thread, in the order the window shows it when it reads the files
// itself.
#include "app/quillbrookdlg.h"
#include "platform/messageport.h"
#include "platform/parallel.h"
#include "platform/programstate.h"
#include "reminder/duecheck.h"
#include "reminder/reminderpass.h"
#include "schedule/listload.h"
#include "search/search.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <utility>

namespace {

// Rows are taken in chunks, and a drain gives the event loop back after about this long; the
// workers of a local disk deliver thousands of rows in the time one would take to show.
constexpr qsizetype kRowsPerTake = 256;
constexpr qint64 kTakeBudgetMs = 8;
// Rows read go into the list at most this often (and before a message, and at the end): every
// insertion repaints the list, and a paint waits for CPU the workers of a local disk are using.
constexpr qint64 kInsertEveryMs = 250;

} // namespace

struct CQuillbrookDlg::FileWork
{
    explicit FileWork(CQuillbrookDlg* dlg)
        : wakeup([dlg] { dlg->ContinueFileWork(); })
        , list(dlg->m_list)
    {
        // While the workers wait on a file, what was taken meanwhile still goes in on time.
        insertTimer.setSingleShot(true);
        QObject::connect(&insertTimer, &QTimer::timeout, [this] {
            if (!taking)
                InsertTaken();
        });
    }
    // Puts the rows taken so far into the list, after those already there.
    void InsertTaken()
    {
        insertTimer.stop();
        list->addTopLevelItems(rows);
        rows.clear();
        sinceInsert.restart();
    }
    // Quits every waiting loop; each looks again at what it waits for.
    void Done()
    {
        for (QEventLoop* loop : waits)
            loop->quit();
    }

    ThreadWakeup wakeup; // first in, last out: the workers below wake through it
    QTreeWidget* list;
    std::unique_ptr<ListLoadJob> load;
    QList<QTreeWidgetItem*> rows; // rows read and not yet in the list, in order
    QElapsedTimer sinceInsert;
    QTimer insertTimer;
    int loadNumber = 0;  // counts the loads begun: a reload while one runs begins another
    bool taking = false; // TakeLoadedRows is under way (a message of the load may be open)
    std::unique_ptr<DueCheckJob> check;
    bool passing = false; // RunPass is under way
    std::vector<QEventLoop*> waits;
};

CQuillbrookDlg::~CQuillbrookDlg()
{
    if (IsLoading())
        QApplication::restoreOverrideCursor();
    if (m_work)
        qDeleteAll(std::exchange(m_work->rows, {}));
    m_work.reset(); // waits for the workers while the list is still there
}

void CQuillbrookDlg::FileWorkDeleter::operator()(FileWork* work) const
{
    delete work;
}

CQuillbrookDlg::FileWork& CQuillbrookDlg::Work()
{
    if (!m_work)
        m_work.reset(new FileWork(this));
    return *m_work;
}

bool CQuillbrookDlg::IsLoading() const
{
    return m_work && m_work->load;
}

void CQuillbrookDlg::WaitForFileWork(const std::function<bool()>& busy)
{
    FileWork& work = Work();
    QEventLoop loop;
    work.waits.push_back(&loop);
    while (busy())
        loop.exec();
    work.waits.erase(std::find(work.waits.begin(), work.waits.end(), &loop));
}

void CQuillbrookDlg::LoadDirList()
{
    FileWork& work = Work();
    // A load under way is dropped and this one begins again from the scan. What the dropped one
    // read but did not show yet is shown still: a damaged file it removed is not read again.
    QStringList dropped;
    if (work.load)
        dropped = work.load->Stop();
    else
        QApplication::setOverrideCursor(Qt::BusyCursor);
    const int number = ++work.loadNumber;
    qDeleteAll(std::exchange(work.rows, {}));
    work.insertTimer.stop();
    work.sinceInsert.start();
    m_list->clear();
    m_list->setCurrentItem(nullptr);
    work.load = std::make_unique<ListLoadJob>(g_strRootDir.isEmpty() ? QStringLiteral("/") : g_strRootDir,
                                              [&work] { work.wakeup.Wake(); });
    work.taking = !dropped.isEmpty(); // the new rows wait for these messages
    for (const QString& message : std::as_const(dropped)) {
        ShowMessage(message);
        if (work.loadNumber != number)
            return; // a reload in the message box has run to its end
    }
    if (work.taking) {
        work.taking = false;
        work.wakeup.Wake();
    }
    // A reload during the wait runs to its end inside it, so the list is complete either way.
    WaitForFileWork([&work] { return work.load != nullptr; });
}

void CQuillbrookDlg::TakeLoadedRows()
{
    FileWork& work = Work();
    if (!work.load || work.taking)
        return; // the call under way takes what came meanwhile once its message is closed
    work.taking = true;
    const int number = work.loadNumber;
    // A message box runs the event loop, and in it a reload may begin: then this load is over.
    const auto show = [&](const QString& message) {
        ShowMessage(message);
        return work.loadNumber == number;
    };
    const qsizetype rootLength = g_strRootDir.size();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (clock.elapsed() >= kTakeBudgetMs) {
            work.taking = false;
            work.wakeup.Wake(); // the rest after what else waits in the event loop
            return;
        }
        ListLoadJob::Ready ready = work.load->Take(kRowsPerTake);
        for (const QString& message : std::as_const(ready.scanMessages))
            if (!show(message))
                return;
        // Rows go in as batches, which costs the view far less than one at a time; a row with
        // messages goes in first with its path only, as when the window reads its texts itself.
        for (LoadedRow& row : ready.rows) {
            auto* item = new QTreeWidgetItem();
            item->setText(0, row.folder.mid(rootLength));
            work.rows.append(item);
            if (!row.messages.isEmpty()) {
                work.InsertTaken();
                for (const QString& message : std::as_const(row.messages))
                    if (!show(message))
                        return;
            }
            item->setText(1, row.desc);
            item->setText(2, row.schedText);
            item->setText(3, row.nextText);
        }
        if (ready.finished || work.sinceInsert.elapsed() >= kInsertEveryMs)
            work.InsertTaken();
        if (ready.finished)
            break;
        if (ready.rows.empty() && ready.scanMessages.isEmpty()) {
            work.taking = false;
            if (!work.rows.isEmpty() && !work.insertTimer.isActive())
                work.insertTimer.start(int(std::max<qint64>(0, kInsertEveryMs - work.sinceInsert.elapsed())));
            return; // more when the workers wake the window again
        }
    }
    // Complete: as after every load, no row is selected and the search starts afresh.
    m_list->setCurrentItem(nullptr);
    m_list->clearSelection();
    m_selectionMark = -1;
    ClearSearchResults();
    PassMessages().Reset(); // a reload shows every standing condition once more
    work.load.reset();
    work.taking = false;
    QApplication::restoreOverrideCursor();
    work.wakeup.Wake(); // a pass that waited for the load goes on, from the event loop
    work.Done();
}

void CQuillbrookDlg::CheckRowsThenPass()
{
    FileWork& work = Work();
    if (work.check)
        return; // a pass is under way (this tick was called from within it)
    // The row under edit is not read: the settings dialog may be writing its file.
    QStringList relatives;
    relatives.reserve(GetItemCount());
    for (int row = 0; row < GetItemCount(); ++row) {
        const QString relative = GetItemText(row, 0);
        relatives.append(relative == g_strEditingDir ? QString() : relative);
    }
    work.check = std::make_unique<DueCheckJob>(g_strRootDir, relatives, g_tNow, [&work] { work.wakeup.Wake(); });
    WaitForFileWork([&work] { return work.check != nullptr; });
}

void CQuillbrookDlg::ContinueFileWork()
{
    FileWork& work = Work();
    if (work.load) {
        TakeLoadedRows();
        return; // a finished load wakes the window again for a pass that waits
    }
    // The pass visits the rows once the check is in, and not while a load runs.
    if (work.check && !work.passing && work.check->Finished()) {
        work.passing = true;
        RunPass(work.check->Result());
        work.check.reset();
        work.passing = false;
        work.Done();
    }
}
