#include "app/filework.h"

#include "app/archiveprogress.h"
#include "app/quillbrookdlg.h"
#include "dirops/archive.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "reminder/passjob.h"
#include "reminder/reminderpass.h"
#include "schedule/listload.h"

#include <QApplication>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// Rows are taken in chunks, and a drain gives the event loop back after about this long; the
// workers of a local disk deliver thousands of rows in the time one would take to show.
constexpr qsizetype kRowsPerTake = 256;
constexpr qint64 kDrainBudgetMs = 8;
// Rows read go into the list at most this often (and before a message, and at the end): every
// insertion repaints the list, and a paint waits for CPU the workers of a local disk are using.
constexpr qint64 kInsertEveryMs = 250;

} // namespace

// What the copy's worker hands the window: its latest report, and at the end its result and what
// it would have shown. The worker holds it too, and may outlive the window.
struct FileWorkController::Archive
{
    std::mutex mutex;
    CopyProgress progress;
    bool reported = false;
    bool done = false;
    QStringList messages;
};

FileWorkController::FileWorkController(CQuillbrookDlg& window, RowModel& model)
    : m_window(window)
    , m_model(model)
    , m_wakeup([this] { Drain(); })
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &FileWorkController::Drain);
    // While the workers wait on a file, what was taken meanwhile still goes in on time.
    m_insertTimer.setSingleShot(true);
    connect(&m_insertTimer, &QTimer::timeout, this, [this] {
        if (!m_draining)
            InsertTaken();
    });
}

FileWorkController::~FileWorkController()
{
    Close();
}

void FileWorkController::SetState(State state)
{
    if (m_state == state)
        return;
    const bool wasLoading = m_state == State::Loading;
    m_state = state;
    if (wasLoading != (state == State::Loading)) {
        if (wasLoading)
            QApplication::restoreOverrideCursor();
        else
            QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    Q_EMIT StateChanged();
}

void FileWorkController::RequestLoad()
{
    if (m_closed)
        return;
    switch (m_state) {
    case State::Idle:
    case State::Loading: BeginLoad(); break;
    case State::Checking:
    case State::Firing:
    case State::Archiving: m_reloadPending = true; break;
    }
}

bool FileWorkController::RequestPass(qint64 now)
{
    if (m_closed || m_state != State::Idle || m_reloadPending || m_archivePending)
        return false;
    ++m_jobNumber;
    m_reminderPass = std::make_unique<ReminderPass>();
    m_lastFired = -1;
    // The row under edit is not read: the settings dialog may be writing its file.
    m_pass = std::make_unique<PassJob>(g_strRootDir, m_model.Rows(), g_strEditingDir, now, m_wakeup.Waker());
    SetState(State::Checking);
    // The workers wake the window only for the row it waits for: it looks once, to say which.
    m_wakeup.Wake();
    return true;
}

bool FileWorkController::RequestArchive(const QString& folder, int year)
{
    if (m_closed || m_state == State::Loading || m_state == State::Archiving || m_archivePending)
        return false;
    m_archiveFolder = folder;
    m_archiveYear = year;
    if (m_state == State::Idle)
        BeginArchive();
    else
        m_archivePending = true;
    return true;
}

void FileWorkController::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    // Let every worker go: none is waited for, and what they finish into is theirs alone.
    if (m_load)
        m_load->Stop();
    m_load.reset();
    for (const auto& dropped : m_dropped)
        dropped->Stop();
    m_dropped.clear();
    m_pass.reset();
    if (m_archiveJob)
        m_archiveJob->Detach();
    m_archiveJob.reset();
    m_progress.reset();
    m_reloadPending = m_archivePending = false;
    m_retry.stop();
    m_insertTimer.stop();
    SetState(State::Idle);
}

void FileWorkController::RetryIn(qint64 ms)
{
    if (!m_retry.isActive() || m_retry.remainingTime() > ms)
        m_retry.start(int(std::min<qint64>(ms, 60'000)));
}

bool FileWorkController::Show(const QString& message)
{
    const quint64 number = m_jobNumber;
    ShowMessage(message);
    return !m_closed && m_jobNumber == number;
}

void FileWorkController::Drain()
{
    // A message box shown below runs Qt's loop, in which more wakes come: they are taken when the
    // box is closed, by the loop here, so nothing is shown out of order.
    if (m_draining) {
        m_again = true;
        return;
    }
    m_draining = true;
    do {
        m_again = false;
        DrainOnce();
    } while (m_again && !m_closed);
    m_draining = false;
}

void FileWorkController::DrainOnce()
{
    if (m_closed)
        return;
    ShowLate();
    switch (m_state) {
    case State::Idle: break;
    case State::Loading: DrainLoad(); break;
    case State::Checking:
    case State::Firing: DrainPass(); break;
    case State::Archiving: DrainArchive(); break;
    }
    if (m_state == State::Idle)
        StartNext();
}

void FileWorkController::StartNext()
{
    if (m_closed)
        return;
    if (m_archivePending) {
        m_archivePending = false;
        BeginArchive();
    } else if (m_reloadPending) {
        m_reloadPending = false;
        BeginLoad();
    }
}

void FileWorkController::ShowLate()
{
    // A load that was dropped may still remove a damaged file as it ends: that is always said.
    for (auto it = m_dropped.begin(); it != m_dropped.end();) {
        ListLoadJob& job = **it;
        const bool over = job.WorkersDone();
        const QStringList late = job.TakeLate();
        if (over)
            it = m_dropped.erase(it);
        else
            ++it;
        for (const QString& message : late) {
            ShowMessage(message);
            if (m_closed)
                return;
        }
    }
}

// The load --------------------------------------------------------------------------------------

void FileWorkController::BeginLoad()
{
    ++m_jobNumber;
    // A load under way is dropped and this one begins again from the scan. What the dropped one
    // read but did not show yet is shown still: a damaged file it removed is not read again.
    QStringList dropped;
    if (m_load) {
        dropped = m_load->Stop();
        m_dropped.push_back(std::move(m_load));
    }
    m_taken.clear();
    m_insertTimer.stop();
    m_sinceInsert.start();
    m_window.BeforeLoad();
    m_model.Clear();
    // The rows keep their paths without the root.
    m_load = std::make_unique<ListLoadJob>(g_strRootDir.isEmpty() ? QStringLiteral("/") : g_strRootDir, m_wakeup.Waker(),
                                           kFileWorkers, kStuckItemMs, g_strRootDir.size());
    SetState(State::Loading);
    if (dropped.isEmpty())
        return;
    // The new rows wait for these messages.
    if (m_draining) {
        // Said by the drain under way, before it takes the new load's rows.
        for (const QString& message : std::as_const(dropped))
            ShowMessage(message);
        m_again = true;
        return;
    }
    m_draining = true;
    const quint64 number = m_jobNumber;
    for (const QString& message : std::as_const(dropped)) {
        ShowMessage(message);
        if (m_closed || m_jobNumber != number)
            break; // a reload in the message box has begun yet another
    }
    m_draining = false;
    m_wakeup.Wake();
}

void FileWorkController::InsertTaken()
{
    m_insertTimer.stop();
    m_model.Append(std::exchange(m_taken, {}));
    m_sinceInsert.restart();
}

void FileWorkController::DrainLoad()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (clock.elapsed() >= kDrainBudgetMs) {
            m_wakeup.Wake(); // the rest after what else waits in the event loop
            return;
        }
        ListLoadJob::Ready ready = m_load->Take(kRowsPerTake);
        // Room for every row once their number is known: the rows go into the list as this very
        // vector when none went before, and growing it by doubling would hold two copies at once.
        if (ready.scanned && m_taken.empty() && m_model.Rows().Count() == 0)
            m_taken.reserve(size_t(ready.rowCount));
        for (const QString& message : std::as_const(ready.scanMessages))
            if (!Show(message))
                return;
        // Rows go in as batches, which costs the view far less than one at a time; a row with
        // messages goes in first with its path only, as when the window reads its texts itself.
        for (LoadedRow& loaded : ready.rows) {
            Row row;
            row.relative = std::move(loaded.folder);
            if (!loaded.messages.isEmpty()) {
                m_taken.push_back(std::move(row));
                InsertTaken();
                const int index = m_model.Rows().Count() - 1;
                for (const QString& message : std::as_const(loaded.messages))
                    if (!Show(message))
                        return;
                m_model.SetText(index, kColDesc, loaded.desc);
                m_model.SetText(index, kColSched, loaded.schedText);
                m_model.SetText(index, kColNext, loaded.nextText);
                continue;
            }
            row.desc = std::move(loaded.desc);
            row.schedText = std::move(loaded.schedText);
            row.nextText = std::move(loaded.nextText);
            m_taken.push_back(std::move(row));
        }
        if (ready.finished || m_sinceInsert.elapsed() >= kInsertEveryMs)
            InsertTaken();
        if (ready.finished) {
            EndLoad();
            return;
        }
        if (ready.rows.empty() && ready.scanMessages.isEmpty()) {
            if (!m_taken.empty() && !m_insertTimer.isActive())
                m_insertTimer.start(int(std::max<qint64>(0, kInsertEveryMs - m_sinceInsert.elapsed())));
            if (ready.retryMs > 0)
                RetryIn(ready.retryMs); // a row in the way may be passed over then
            return; // more when the workers wake the window again
        }
    }
}

void FileWorkController::EndLoad()
{
    // Its workers may still be busy with rows passed over: they are let go, and what they say
    // when they end is said then.
    m_load->Stop();
    if (!m_load->WorkersDone())
        m_dropped.push_back(std::move(m_load));
    m_load.reset();
    PassMessages().Reset(); // a reload shows every standing condition once more
    SetState(State::Idle);
    m_window.AfterLoad();
}

// The pass ------------------------------------------------------------------------------------

void FileWorkController::DrainPass()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const PassJob* job = m_pass.get();
        // The first row waiting has a firing that speaks: said now, its worker waiting meanwhile.
        QString message;
        if (m_pass->PendingMessage(message)) {
            SelectLastFired();
            m_reminderPass->Say(g_strRootDir + m_pass->PendingRelative(), message);
            if (m_closed || m_pass.get() != job)
                return;
            m_pass->MessageShown();
            continue;
        }
        std::vector<RowOutcome> outcomes = m_pass->Take(kRowsPerTake);
        for (const RowOutcome& outcome : outcomes) {
            ApplyOutcome(outcome);
            if (m_closed || m_pass.get() != job)
                return;
        }
        if (m_pass->Finished()) {
            EndPass();
            return;
        }
        if (outcomes.empty()) {
            SelectLastFired();
            if (const qint64 ms = m_pass->RetryMs(); ms > 0)
                RetryIn(ms); // a row in the way may be passed over then
            return;
        }
        if (clock.elapsed() >= kDrainBudgetMs) {
            SelectLastFired();
            m_wakeup.Wake();
            return;
        }
    }
}

void FileWorkController::ApplyOutcome(const RowOutcome& outcome)
{
    // Rows do not move during a pass, but the row must still be the one that was read.
    const RowList& rows = m_model.Rows();
    if (outcome.row >= rows.Count() || rows.At(outcome.row).relative != outcome.relative)
        return;
    const RowFired fired = m_reminderPass->Apply(g_strRootDir, outcome);
    if (fired == RowFired::NotDue)
        return;
    SetState(State::Firing);
    m_lastFired = outcome.row;
    m_window.ShowFiring(outcome, fired == RowFired::Opened);
}

void FileWorkController::SelectLastFired()
{
    if (m_lastFired >= 0)
        m_window.SelectRow(std::exchange(m_lastFired, -1), CQuillbrookDlg::Scroll::IntoView);
}

void FileWorkController::EndPass()
{
    SelectLastFired();
    m_pass.reset();
    const std::unique_ptr<ReminderPass> pass = std::move(m_reminderPass);
    SetState(State::Idle);
    pass->Finish();
    if (!m_closed)
        m_window.AfterPass();
}

// The archive ---------------------------------------------------------------------------------

void FileWorkController::BeginArchive()
{
    ++m_jobNumber;
    m_archive = std::make_shared<Archive>();
    m_progress = std::make_unique<ArchiveProgress>(&m_window);
    SetState(State::Archiving);
    m_archiveJob = std::make_unique<BackgroundJob>(
        [archive = m_archive, folder = m_archiveFolder, year = m_archiveYear,
         wake = m_wakeup.Waker()](const std::atomic<bool>&) {
            CollectingMessagePort port;
            const ThreadMessagePort scope(port);
            ArchiveToYearFolder(folder, year, [&](const CopyProgress& progress) {
                {
                    const std::lock_guard lock(archive->mutex);
                    archive->progress = progress;
                    archive->reported = true;
                }
                wake();
            });
            const std::lock_guard lock(archive->mutex);
            archive->messages = port.messages;
            archive->done = true;
        },
        m_wakeup.Waker());
}

void FileWorkController::DrainArchive()
{
    CopyProgress progress;
    bool reported = false, done = false;
    QStringList messages;
    {
        const std::lock_guard lock(m_archive->mutex);
        progress = m_archive->progress;
        reported = std::exchange(m_archive->reported, false);
        done = m_archive->done;
        messages = m_archive->messages;
    }
    if (reported)
        m_progress->Report(progress);
    if (!done)
        return;
    m_archiveJob->Detach(); // its work has returned; its last wake needs no waiting for
    m_archiveJob.reset();
    m_archive.reset();
    // The window goes before the copy's last word, as it went when the copy ran here.
    m_progress.reset();
    SetState(State::Idle);
    for (const QString& message : std::as_const(messages)) {
        ShowMessage(message);
        if (m_closed)
            return;
    }
}
