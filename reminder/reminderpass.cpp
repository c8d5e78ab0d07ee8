#include "reminder/reminderpass.h"

#include "platform/filenames.h"
#include "platform/messageport.h"
#include "platform/notificationport.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "reminder/passjob.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"

#include <algorithm>

bool PassMessageLimit::Allow(const QString& folder, const QString& message, qint64 now)
{
    // A file removed as damaged is said every time: it happens once, and a deletion is never silent.
    if (message.contains(QStringLiteral("已自动清理！"))) {
        m_shown.insert(folder, Shown { message, now });
        return true;
    }
    const auto last = m_shown.constFind(folder);
    if (last != m_shown.cend()) {
        if (last->message == message)
            return false;
        // A clock set back counts as a minute gone.
        if (now >= last->at && now - last->at < kMinGapSeconds)
            return false;
    }
    m_shown.insert(folder, Shown { message, now });
    return true;
}

void PassMessageLimit::Clear(const QString& folder)
{
    const auto last = m_shown.find(folder);
    if (last != m_shown.end())
        last->message.clear();
}

void PassMessageLimit::Reset()
{
    m_shown.clear();
}

PassMessageLimit& PassMessages()
{
    static PassMessageLimit limit;
    return limit;
}

ReminderPass::ReminderPass(PassMessageLimit& limit)
    : m_limit(limit)
{
}

void ReminderPass::Say(const QString& folder, const QString& message)
{
    if (m_limit.Allow(folder, message, g_tNow))
        ShowMessage(message);
}

RowFired ReminderPass::Apply(const QString& root, const RowOutcome& outcome)
{
    if (outcome.passedOver)
        return RowFired::NotDue; // not read this time: neither said nor cleared
    const QString folder = root + outcome.relative;
    // A file being written meanwhile, or a clock out of range, says nothing but is no all-clear.
    if (!outcome.said && outcome.fault == ScheduleFault::None && !m_limit.Empty())
        m_limit.Clear(folder);
    if (!outcome.fired)
        return RowFired::NotDue;
    // Every fired folder's auto.bat runs (a backup, a copy); only the windows are capped.
    const bool open = m_opened < kMaxOpenedPerPass;
    if (open) {
        ++m_opened;
        Shell().OpenPath(folder);
    }
    if (!outcome.batch.isEmpty())
        Shell().StartBatch(outcome.batch, folder);
    if (!open) {
        m_notOpened.append(folder);
        return RowFired::NotOpened;
    }
    return RowFired::Opened;
}

void ReminderPass::Finish()
{
    if (m_notOpened.isEmpty())
        return;
    // Each name in its readable form before they are joined: a name's raw bytes are read per name.
    QStringList named;
    for (const QString& folder : m_notOpened.first(std::min<qsizetype>(m_notOpened.size(), kNamedNotOpened)))
        named.append(ReadableName(folder));
    // The count goes in first, so that a "%d" in a name stays as it is.
    const QString text = FormatMessage(QString(kMsgNotOpened).replace(QStringLiteral("%d"), QString::number(m_notOpened.size())),
                                       { named.join(QStringLiteral("、")) });
    m_notOpened.clear();
    Notifications().Notify(kReminderSummary, text);
    ShowMessage(text);
}
