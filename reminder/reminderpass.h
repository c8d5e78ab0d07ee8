#pragma once
// One pass of the tick over the list, row by row: which due folders fire, and which of the pass's
// messages are shown.
#include <QHash>
#include <QString>
#include <QtGlobal>

// How often a pass speaks about one folder. While an alert stands the pass runs every second, and a
// schedule file that cannot be read or written would put up its box every second. A folder's
// message is shown at most once a minute, and not again while the same condition (the same
// message) persists, until the list is reloaded.
class PassMessageLimit
{
public:
    static constexpr qint64 kMinGapSeconds = 60;

    // Whether the pass may show this message about folder at now; remembered when it may.
    bool Allow(const QString& folder, const QString& message, qint64 now);
    // The folder came through a pass with nothing to say: its condition is over, and shown again
    // should it return (still at most once a minute).
    void Clear(const QString& folder);
    // The list was reloaded: every condition may be shown again.
    void Reset();

private:
    struct Shown
    {
        QString message; // empty once the condition is over
        qint64 at = 0;
    };
    QHash<QString, Shown> m_shown; // by folder
};

// The limit the tick's passes share; the list load resets it.
PassMessageLimit& PassMessages();

class ReminderPass
{
public:
    explicit ReminderPass(PassMessageLimit& limit = PassMessages());

    // FireDueReminder for one row's folder, its messages passed through the limit.
    bool FireRow(const QString& folder, QString& schedText, QString& nextText, QString* dueText);

private:
    PassMessageLimit& m_limit;
};
