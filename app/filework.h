#pragma once
// The one controller of the window's file work: the list load, the tick's pass and the archive
// copy run on worker threads, and what they show (rows, message boxes, firings) comes back here, on
// the window's thread, in list order. The window never waits: no call here runs a nested event
// loop or waits for a worker, and a worker stuck in the file system finishes into state nobody
// else holds.
//
// States: Idle, Loading (the rows are being read), Checking (the pass's workers check and fire),
// Firing (the window applies the pass's outcomes: texts, messages, openings), Archiving (a copy).
//
// Requests and what each state does with them, written once:
//
//   request \ state     Idle           Loading               Checking / Firing      Archiving
//   ------------------  -------------  --------------------  ---------------------  -------------------
//   load (reload)       begins         begins again; what    waits for the pass,    waits for the copy,
//                                      the dropped load read then begins            then begins
//                                      is still said
//   pass (a tick)       begins         refused: the first    refused (one pass at   refused: the first
//                                      tick after the load   a time)                tick after the copy
//                                      runs it                                      runs it
//   archive             begins         refused               waits for the pass     refused
//   row command         runs           unavailable: the      runs (rows do not      unavailable
//   (a folder's items)                 rows may still change move during a pass)
//   close               cancels every job at once, shows nothing more, waits for no worker
//
// A modal message box of a job runs Qt's own loop; work that comes meanwhile waits for the box,
// so messages keep their order. A row whose read or check does not answer within kStuckItemMs is
// passed over (the load gives it its path only; the pass checks it again next time).
#include "app/rowmodel.h"
#include "platform/parallel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class CQuillbrookDlg;
class ListLoadJob;
class PassJob;
class ReminderPass;
class ArchiveProgress;
struct RowOutcome;

class FileWorkController final : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Loading, Checking, Firing, Archiving };

    explicit FileWorkController(CQuillbrookDlg& window, RowModel& model);
    ~FileWorkController() override;

    State GetState() const { return m_state; }
    bool IsIdle() const { return m_state == State::Idle && !m_reloadPending && !m_archivePending; }
    // Whether a command that acts on a row may run now.
    bool RowCommandsAvailable() const { return m_state != State::Loading && m_state != State::Archiving && !m_closed; }

    // Empties the list and reads the tree again (see the table).
    void RequestLoad();
    // Runs the tick's pass at now; false when refused.
    bool RequestPass(qint64 now);
    // Copies folder's documents into its year folder under a progress window; false when refused.
    bool RequestArchive(const QString& folder, int year);
    // The window is closing: every job is dropped and nothing more is shown.
    void Close();
    bool Closed() const { return m_closed; }

Q_SIGNALS:
    void StateChanged();

private:
    void SetState(State state);
    void Drain();
    void DrainOnce();
    void DrainLoad();
    void DrainPass();
    void DrainArchive();
    void StartNext();
    void BeginLoad();
    void BeginArchive();
    void EndLoad();
    void EndPass();
    void InsertTaken();
    bool Show(const QString& message); // false when what showed it is over meanwhile
    void ShowLate();
    void ApplyOutcome(const RowOutcome& outcome);
    void SelectLastFired();
    void RetryIn(qint64 ms);

    CQuillbrookDlg& m_window;
    RowModel& m_model;
    ThreadWakeup m_wakeup;
    QTimer m_retry;
    QTimer m_insertTimer;
    QElapsedTimer m_sinceInsert;
    State m_state = State::Idle;
    bool m_closed = false;
    bool m_draining = false;
    bool m_again = false;
    quint64 m_jobNumber = 0; // counts the jobs begun: a message box that outlived its job says so

    std::unique_ptr<ListLoadJob> m_load;
    std::vector<Row> m_taken; // rows read and not yet in the list, in order
    std::vector<std::unique_ptr<ListLoadJob>> m_dropped; // stopped loads whose workers may still say something
    bool m_reloadPending = false;

    std::unique_ptr<PassJob> m_pass;
    std::unique_ptr<ReminderPass> m_reminderPass;
    int m_lastFired = -1;

    struct Archive;
    std::shared_ptr<Archive> m_archive;
    std::unique_ptr<BackgroundJob> m_archiveJob;
    std::unique_ptr<ArchiveProgress> m_progress;
    QString m_archiveFolder;
    int m_archiveYear = 0;
    bool m_archivePending = false;
};
