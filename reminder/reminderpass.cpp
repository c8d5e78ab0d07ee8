#include "reminder/reminderpass.h"

#include "platform/filenames.h"
#include "platform/messageport.h"
#include "platform/notificationport.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"

#include <algorithm>

namespace {

// Installed while one folder is processed: its messages reach the port installed before only as
// the limit allows.
class LimitedMessagePort final : public MessagePort
{
public:
    LimitedMessagePort(PassMessageLimit& limit, const QString& folder, qint64 now)
        : m_inner(CurrentMessagePort())
        , m_limit(limit)
        , m_folder(folder)
        , m_now(now)
    {
        SetMessagePort(this);
    }
    ~LimitedMessagePort() override { SetMessagePort(&m_inner); }
    LimitedMessagePort(const LimitedMessagePort&) = delete;
    LimitedMessagePort& operator=(const LimitedMessagePort&) = delete;

    void ShowMessage(const QString& text) override
    {
        m_said = true;
        if (m_limit.Allow(m_folder, text, m_now))
            m_inner.ShowMessage(text);
    }
    bool AskYesNo(const QString& text) override
    {
        m_said = true;
        return m_inner.AskYesNo(text);
    }
    bool Said() const { return m_said; }

private:
    MessagePort& m_inner;
    PassMessageLimit& m_limit;
    const QString& m_folder;
    qint64 m_now;
    bool m_said = false;
};

} // namespace

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

RowFired ReminderPass::FireRow(const QString& folder, QString& schedText, QString& nextText, QString* dueText)
{
    const LimitedMessagePort port(m_limit, folder, g_tNow);
    ScheduleFault fault = ScheduleFault::None;
    const bool fired = AdvanceDueReminder(folder, schedText, nextText, dueText, &fault);
    // A file being written meanwhile, or a clock out of range, says nothing but is no all-clear.
    if (!port.Said() && fault == ScheduleFault::None)
        m_limit.Clear(folder);
    if (!fired)
        return RowFired::NotDue;
    if (m_opened == kMaxOpenedPerPass) {
        StartFolderBatch(folder);
        m_notOpened.append(folder);
        return RowFired::NotOpened;
    }
    ++m_opened;
    OpenFiredFolder(folder);
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
