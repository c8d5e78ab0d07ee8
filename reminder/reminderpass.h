#pragma once
// One pass of the tick over the list, row by row: which due folders fire, which of them are opened,
// and which of the pass's messages are shown.
#include <QHash>
#include <QString>
#include <QStringList>
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
    // Nothing is remembered, so no Clear is needed.
    bool Empty() const { return m_shown.isEmpty(); }

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

// Every fired folder of a pass is advanced and its auto.bat started (a script is the folder's
// automation, a backup or a copy), but a machine that was off for long (or a clock put right) can
// make thousands due at once: only the first ones are opened in the file manager.
constexpr int kMaxOpenedPerPass = 10;
// How many of the folders not opened the message names before their count.
constexpr int kNamedNotOpened = 3;
inline const QString kMsgNotOpened = QStringLiteral("%s等%d个目录的定时已触发，未逐一打开！");

enum class RowFired {
    NotDue,    // nothing fired
    Opened,    // fired, the folder opened and its auto.bat started
    NotOpened, // fired, advanced and its auto.bat started, past the pass's openings: named by Finish
};

struct RowOutcome;

// One pass over the rows' outcomes (passjob.h), taken in list order on the window's thread.
class ReminderPass
{
public:
    explicit ReminderPass(PassMessageLimit& limit = PassMessages());

    // A message of the firing procedure for folder, shown as the limit allows.
    void Say(const QString& folder, const QString& message);
    // After what the row's firing said: clears a condition that ended, and opens a fired folder
    // (while the pass has openings left) and starts its auto.bat. The folder is root + the row's path.
    RowFired Apply(const QString& root, const RowOutcome& outcome);
    // After the last row: the folders that fired but were not opened, named in one message
    // (kMsgNotOpened: the first kNamedNotOpened of them, joined with "、", and their number) and
    // one notification.
    void Finish();

private:
    PassMessageLimit& m_limit;
    int m_opened = 0;
    QStringList m_notOpened;
};
