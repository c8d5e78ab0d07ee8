#include "reminder/passjob.h"

#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/rowlist.h"

#include <algorithm>

struct PassJob::State
{
    QString root;
    QStringList relatives;
    QString skip;
    qint64 now = 0;
    std::vector<RowOutcome> outcomes;
    // A row is checked, then fired. Once its firing began it is waited for, whatever it takes: a
    // schedule written must be seen by the window.
    ItemBoard rows;
    qsizetype taken = 0;

    explicit State(qsizetype count)
        : outcomes(size_t(count))
        , rows(count)
    {
    }
};

PassJob::PassJob(const QString& root, const RowList& rows, const QString& skip, qint64 now, std::function<void()> wake,
                 int threads, qint64 stuckMs)
    : m_state(std::make_shared<State>(rows.Count()))
    , m_stuckMs(stuckMs)
{
    State& s = *m_state;
    s.root = root;
    s.skip = skip;
    s.now = now;
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
                RowOutcome& out = state->outcomes[size_t(i)];
                out.row = int(i);
                out.relative = relatives[i];
                if (out.relative == state->skip) {
                    out.passedOver = true; // under edit: the settings dialog may be writing its file
                } else {
                    const QString folder = state->root + out.relative;
                    out.state = CheckDue(folder, state->now);
                    if (out.state != DueState::NotDue && state->rows.Commit(i)) {
                        CollectingMessagePort port;
                        const ThreadMessagePort scope(port);
                        out.fired = AdvanceDueReminder(folder, out.schedText, out.nextText, &out.dueText, &out.fault);
                        out.messages = port.messages;
                        if (out.fired)
                            out.batch = FolderBatch(folder);
                    }
                }
                state->rows.Finish(i);
                if (wake)
                    wake();
            }, &cancel);
        },
        wake);
}

PassJob::~PassJob()
{
    m_job->Detach();
}

std::vector<RowOutcome> PassJob::Take()
{
    State& s = *m_state;
    std::vector<RowOutcome> out;
    for (; s.taken < s.rows.Count(); ++s.taken) {
        const size_t i = size_t(s.taken);
        const ItemBoard::Item item = s.rows.Look(s.taken, m_stuckMs);
        if (item == ItemBoard::Item::Done) {
            out.push_back(std::move(s.outcomes[i]));
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
