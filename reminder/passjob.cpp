#include "reminder/passjob.h"

#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/rowlist.h"
#include "schedule/schedulerecord.h"

#include <QHash>

#include <algorithm>
#include <condition_variable>
#include <mutex>

struct PassJob::State
{
    QString root;
    QStringList relatives;
    QString skip;
    qint64 now = 0;
    // Only a row with something to apply has its outcome kept: most of a pass's rows are not due,
    // and a full outcome for each would be the pass's largest memory.
    std::vector<std::unique_ptr<RowOutcome>> outcomes;
    // A row is checked, then fired. Once its firing began it is waited for, whatever it takes: a
    // schedule written must be seen by the window.
    ItemBoard rows;
    std::atomic<qsizetype> taken { 0 };

    // A firing's messages are shown by the window while the worker waits, so each comes where
    // the procedure says it (before a file it names is removed), and in list order: a row asks
    // only once it is the first not taken.
    std::mutex askMutex;
    std::condition_variable asked;
    QHash<qsizetype, QString> asks; // by row, until shown
    bool cancelled = false;
    std::function<void()> wake;

    // While a message of an earlier row waits to be shown (a box the user has not closed yet), no
    // further folder is fired: a firing that the window could not show for minutes would be lost
    // if the program ended meanwhile. False once the job is dropped.
    bool WaitForEarlierMessages(qsizetype row)
    {
        std::unique_lock lock(askMutex);
        asked.wait(lock, [&] {
            return cancelled || std::none_of(asks.keyBegin(), asks.keyEnd(), [row](qsizetype k) { return k < row; });
        });
        return !cancelled;
    }

    explicit State(qsizetype count)
        : outcomes(size_t(count))
        , rows(count)
    {
    }
};

namespace {

// Hands each message to the window and waits until it has been shown.
class AskingPort final : public MessagePort
{
public:
    AskingPort(PassJob::State& state, qsizetype row)
        : m_state(state)
        , m_row(row)
    {
    }
    void ShowMessage(const QString& text) override
    {
        m_said = true;
        std::unique_lock lock(m_state.askMutex);
        if (m_state.cancelled)
            return;
        m_state.asks.insert(m_row, text);
        lock.unlock();
        if (m_state.wake)
            m_state.wake();
        lock.lock();
        m_state.asked.wait(lock, [this] { return m_state.cancelled || !m_state.asks.contains(m_row); });
    }
    bool AskYesNo(const QString& text) override
    {
        ShowMessage(text); // no firing asks; a question would be answered No
        return false;
    }
    bool Said() const { return m_said; }

private:
    PassJob::State& m_state;
    qsizetype m_row;
    bool m_said = false;
};

} // namespace

PassJob::PassJob(const QString& root, const RowList& rows, const QString& skip, qint64 now, std::function<void()> wake,
                 int threads, qint64 stuckMs)
    : m_state(std::make_shared<State>(rows.Count()))
    , m_stuckMs(stuckMs)
{
    State& s = *m_state;
    s.root = root;
    s.skip = skip;
    s.now = now;
    s.wake = wake;
    s.relatives.reserve(rows.Count());
    for (int row = 0; row < rows.Count(); ++row)
        s.relatives.append(rows.At(row).relative);
    m_job = std::make_unique<BackgroundJob>(
        [state = m_state, wake, threads](const std::atomic<bool>& cancel) {
            const QStringList& relatives = state->relatives; // const: a non-const [] may detach it
            ParallelFor(relatives.size(), threads, [&](qsizetype i) {
                if (!state->rows.Begin(i))
                    return;
                g_tNow = state->now;
                RowOutcome out;
                out.row = int(i);
                out.relative = relatives[i];
                if (out.relative == state->skip) {
                    out.passedOver = true; // under edit: the settings dialog may be writing its file
                } else {
                    const QString folder = state->root + out.relative;
                    ScheduleRead read;
                    out.state = CheckDue(folder, state->now, &read);
                    if (out.state != DueState::NotDue && state->WaitForEarlierMessages(i) && state->rows.Commit(i)) {
                        AskingPort port(*state, i);
                        const ThreadMessagePort scope(port);
                        // A due file is fired from the check's read; an unreadable one goes through
                        // the procedure's own load steps, which say what is wrong with it.
                        out.fired = AdvanceDueReminder(folder, out.schedText, out.nextText, &out.dueText, &out.fault,
                                                       out.state == DueState::Due ? &read : nullptr);
                        out.said = port.Said();
                        if (out.fired)
                            out.batch = FolderBatch(folder);
                    }
                }
                if (out.passedOver || out.state != DueState::NotDue)
                    state->outcomes[size_t(i)] = std::make_unique<RowOutcome>(std::move(out));
                // The window takes outcomes in order: one after the row it waits for wakes nobody.
                bool awaited = false;
                state->rows.Finish(i, &awaited);
                if (awaited && wake)
                    wake();
            }, &cancel);
        },
        wake);
}

PassJob::~PassJob()
{
    {
        const std::lock_guard lock(m_state->askMutex);
        m_state->cancelled = true; // a worker waiting for its message to be shown goes on unheard
    }
    m_state->asked.notify_all();
    m_job->Detach();
}

bool PassJob::PendingMessage(QString& message) const
{
    State& s = *m_state;
    const std::lock_guard lock(s.askMutex);
    const auto ask = s.asks.constFind(s.taken);
    if (ask == s.asks.cend())
        return false;
    message = *ask;
    return true;
}

QString PassJob::PendingRelative() const
{
    return m_state->relatives.value(m_state->taken);
}

void PassJob::MessageShown()
{
    {
        const std::lock_guard lock(m_state->askMutex);
        m_state->asks.remove(m_state->taken);
    }
    m_state->asked.notify_all();
}

std::vector<RowOutcome> PassJob::Take(qsizetype maxRows)
{
    State& s = *m_state;
    std::vector<RowOutcome> out;
    const qsizetype end = maxRows >= 0 ? std::min(s.rows.Count(), s.taken + maxRows) : s.rows.Count();
    for (; s.taken < end; ++s.taken) {
        const size_t i = size_t(s.taken);
        const ItemBoard::Item item = s.rows.Look(s.taken, m_stuckMs);
        if (item == ItemBoard::Item::Done && s.outcomes[i]) {
            out.push_back(std::move(*s.outcomes[i]));
            s.outcomes[i].reset();
        } else if (item == ItemBoard::Item::Done) {
            RowOutcome notDue;
            notDue.row = int(i);
            notDue.relative = s.relatives[s.taken];
            out.push_back(std::move(notDue));
        } else if (item == ItemBoard::Item::PassedOver) {
            RowOutcome skipped;
            skipped.row = int(i);
            skipped.relative = s.relatives[s.taken];
            skipped.passedOver = true;
            out.push_back(std::move(skipped));
        } else {
            break;
        }
    }
    return out;
}

bool PassJob::Finished() const
{
    return m_state->taken == m_state->rows.Count();
}

qint64 PassJob::RetryMs() const
{
    if (Finished())
        return -1;
    const qint64 ms = m_state->rows.MsUntilStuck(m_state->taken, m_stuckMs);
    return ms < 0 ? -1 : std::max<qint64>(1, ms);
}
