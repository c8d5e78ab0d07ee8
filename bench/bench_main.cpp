// The performance benchmarks: each operation on a generated tree of managed folders, timed beside
// a floor that does the same file-system work with plain system calls, then the ratios, the
// growth from 1,000 to 10,000 folders and the peak memory of the real program. The same trees on
// a slow share (a mount whose every request waits, see slowfs.cpp) give the window's figures
// there: each operation until it is complete, beside the floor of reading its files with 16
// readers at once, and the longest the event loop answered nothing meanwhile.
#include "benchtree.h"
#include "floors.h"
#include "memory.h"
#include "watchdog.h"

#include "faultfilesystem.h"
#include "recordingports.h"

#include "app/filework.h"
#include "app/quillbrookdlg.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "platform/shellport.h"
#include "reminder/duecheck.h"
#include "reminder/reminder.h"
#include "reminder/reminderpass.h"
#include "schedule/listload.h"
#include "schedule/rowlist.h"
#include "search/search.h"
#include "schedule/rowtexts.h"
#include "store/scan.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// One clock for the whole run: when the shell was asked to open a folder, against when a pass began.
QElapsedTimer g_clock;

class QuietShellPort final : public ShellPort
{
public:
    void OpenPath(const QString&) override { openedNs.push_back(g_clock.nsecsElapsed()); }
    void StartBatch(const QString&, const QString&) override {}
    QString BrowseForFolder(const QString&) override { return {}; }
    std::vector<qint64> openedNs;
};

QuietShellPort* g_shell = nullptr;
RecordingMessagePort* g_messages = nullptr;

// Nine terms as a user types them: a few folder names and phrases, some found in many rows, some
// in none. kBroadSearch finds every row, the worst case for the ranking that follows the tests.
const QString kSearchText = QStringLiteral("类别017|第3类第4号|每11个月|第150类|每7天|文件夹07|类别1|每年3月|已停止");
const QString kBroadSearch = QStringLiteral("合同|审计|类别017|每月|季度末|借阅|第3类第4号|保密|电子版");

// The CPU time the whole process (every thread) used in a benchmark, per iteration, as the counter
// "cpu_ms": on a machine shared with builds, the wall time moves with their load, this far less.
class CpuCounter
{
public:
    explicit CpuCounter(benchmark::State& state) : m_state(state), m_start(Now()) {}
    ~CpuCounter()
    {
        if (m_state.iterations() > 0)
            m_state.counters["cpu_ms"] = (Now() - m_start) / double(m_state.iterations());
    }

private:
    static double Now()
    {
        timespec ts {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    }
    benchmark::State& m_state;
    double m_start;
};

// Readers at once in the parallel floors: what a program reading a share in parallel would use.
constexpr int kReaders = 16;

struct Fixture
{
    BenchTree tree;
    QString backing; // the tree's own folder: tree.root, or the folder the share's mount reads
    bool share = false;
    std::string rootNative;
    std::unique_ptr<CQuillbrookDlg> dlg;
    std::vector<std::string> folders;   // each row's full path, file-system encoding
    std::vector<std::string> timerFiles; // each row's schedule file
    std::vector<std::string> bothFiles;  // each row's description and schedule file
    std::vector<std::u16string> rowTexts; // each row's four texts joined
    std::vector<std::u16string> terms;
    std::vector<std::u16string> broadTerms;
};

// "local/1000", "share/10000", "share/due1000": where the tree lies, whether every folder is due,
// and its rows.
std::map<std::string, Fixture> g_fixtures;

std::string Key(bool share, int rows, bool due = false)
{
    return (share ? "share/" : "local/") + std::string(due ? "due" : "") + std::to_string(rows);
}

std::unique_ptr<Watchdog> g_watchdog;
std::map<std::string, double> g_stalls; // benchmark name -> longest stall of the event loop, ms

// "/rows", the size part of a benchmark's name.
std::string SizeSuffix(int rows)
{
    std::string suffix(1, '/');
    suffix.append(std::to_string(rows));
    return suffix;
}

std::u16string ToU16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

Fixture& Prepare(const std::string& key)
{
    Fixture& f = g_fixtures.at(key);
    g_strRootDir = f.tree.root;
    g_strEditingDir.clear();
    g_nAlertTicks = 0;
    return f;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "qb_bench: %s\n", what);
    std::exit(1);
}

// Starts op from the event loop (clock starts then) and runs the loop until the window's file work
// is idle again: the operation is complete. The window is looked at once the handler that changed
// its state has returned, so what that handler does last (the list's selection, the pass's last
// message) counts. Returns the ns from the start to then; -1 when timeoutMs passed first.
qint64 RunUntilIdle(CQuillbrookDlg& dlg, QElapsedTimer& clock, const std::function<void()>& op, int timeoutMs = 300000)
{
    QEventLoop loop;
    qint64 done = -1;
    const auto look = [&] {
        if (done < 0 && dlg.IsIdle()) {
            done = clock.nsecsElapsed();
            loop.quit();
        }
    };
    QObject::connect(&dlg.Work(), &FileWorkController::StateChanged, &loop,
                     [&] { QMetaObject::invokeMethod(&loop, look, Qt::QueuedConnection); });
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        op();
        look();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done;
}

// Runs the event loop for ms (the watchdog keeps ticking meanwhile).
void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Builds the tree in base, and reads it through seen (the same folder, or a mount of it).
void SetUpFixture(const QString& base, const QString& seen, bool share, int categories, int perCategory,
                  bool due = false)
{
    const int rows = categories * perCategory;
    Fixture& f = g_fixtures[Key(share, rows, due)];
    f.share = share;
    const QString name = QStringLiteral("/%1tree%2").arg(due ? QStringLiteral("due") : QString()).arg(rows);
    f.tree.root = base + name;
    f.tree.categories = categories;
    f.tree.foldersPerCategory = perCategory;
    f.tree.due = due;
    f.backing = f.tree.root;
    if (!QDir().mkpath(f.tree.root) || !BuildBenchTree(f.tree))
        Fail("cannot build the tree");
    f.tree.root = seen + name;
    f.rootNative = QFile::encodeName(f.tree.root).toStdString();

    f.dlg = std::make_unique<CQuillbrookDlg>();
    QElapsedTimer clock;
    if (RunUntilIdle(*f.dlg, clock, [&] {
            f.dlg->OnInitDialog(f.tree.root, true);
            f.dlg->Timer().stop();
        }) < 0)
        Fail("the list did not load");
    QCoreApplication::processEvents();
    if (f.dlg->GetItemCount() != rows)
        Fail("the list does not show every folder");
    for (int row = 0; row < rows; ++row) {
        f.folders.push_back(QFile::encodeName(f.dlg->RowFolder(row)).toStdString());
        f.timerFiles.push_back(f.folders.back() + "/Quillbrook.Timer");
        f.bothFiles.push_back(f.folders.back() + "/Quillbrook.desc");
        f.bothFiles.push_back(f.timerFiles.back());
        f.rowTexts.push_back(ToU16(JoinRowTexts({ f.dlg->GetItemText(row, 0), f.dlg->GetItemText(row, 1),
                                                  f.dlg->GetItemText(row, 2), f.dlg->GetItemText(row, 3) })));
    }
    QStringList terms;
    SplitSearchTerms(terms, kSearchText);
    for (const QString& term : terms)
        f.terms.push_back(ToU16(term));
    SplitSearchTerms(terms, kBroadSearch);
    for (const QString& term : terms)
        f.broadTerms.push_back(ToU16(term));
    f.dlg->findChild<QLineEdit*>(QStringLiteral("searchEdit"))->setText(kSearchText);
}

void RegisterAll(int rows)
{
    const std::string n = SizeSuffix(rows);
    const std::string key = Key(false, rows);
    const auto add = [](const std::string& name, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    for (const bool lock : { false, true })
        add((lock ? "scan.xfloor" : "scan.floor") + n, [key, lock](benchmark::State& state) {
            const Fixture& f = Prepare(key);
            for (auto _ : state)
                benchmark::DoNotOptimize(ScanFloor(f.rootNative, lock));
        });
    add("scan.program" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        QString desc, schedText, nextText;
        for (auto _ : state) {
            const QStringList paths = CollectRowPaths(f.tree.root);
            for (const QString& path : paths)
                ReadDirTexts(path, desc, schedText, nextText);
            benchmark::DoNotOptimize(desc.size());
        }
    });
    // The list, until it is complete (the workers' load, every row in the view); "shown" adds the
    // view's layout and paint after it.
    const auto addWindow = [](const std::string& name, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond)->UseManualTime();
    };
    addWindow("load.program" + n, [key, rows](benchmark::State& state) {
        Fixture& f = Prepare(key);
        for (auto _ : state) {
            QElapsedTimer clock;
            const qint64 ns = RunUntilIdle(*f.dlg, clock, [&] { f.dlg->LoadDirList(); });
            if (ns < 0 || f.dlg->GetItemCount() != rows)
                state.SkipWithError("the list is not complete");
            state.SetIterationTime(double(ns) / 1e9);
            QCoreApplication::processEvents(); // the view's layout and painting, timed below
        }
    });
    addWindow("load.shown" + n, [key, rows](benchmark::State& state) {
        Fixture& f = Prepare(key);
        for (auto _ : state) {
            QElapsedTimer clock;
            if (RunUntilIdle(*f.dlg, clock, [&] { f.dlg->LoadDirList(); }) < 0 || f.dlg->GetItemCount() != rows)
                state.SkipWithError("the list is not complete");
            QCoreApplication::processEvents();
            state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        }
    });
    for (const bool lock : { false, true })
        add((lock ? "tick.xfloor" : "tick.floor") + n, [key, lock](benchmark::State& state) {
            const Fixture& f = Prepare(key);
            for (auto _ : state)
                benchmark::DoNotOptimize(ScheduleReadFloor(f.folders, lock));
        });
    addWindow("tick.program" + n, [key](benchmark::State& state) {
        Fixture& f = Prepare(key);
        for (auto _ : state) {
            QElapsedTimer clock;
            const qint64 ns = RunUntilIdle(*f.dlg, clock, [&] {
                g_nLastMinute = -1; // so the tick runs a pass
                f.dlg->OnTimer();
                f.dlg->Timer().stop();
            });
            if (ns < 0 || g_nLastMinute < 0)
                state.SkipWithError("the pass did not run or end");
            state.SetIterationTime(double(ns) / 1e9);
        }
        if (g_nAlertTicks != 0)
            state.SkipWithError("a reminder fired during the pass");
    });
    add("search.floor" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        for (auto _ : state)
            benchmark::DoNotOptimize(SubstringFloor(f.rowTexts, f.terms));
    });
    add("search.program" + n, [key](benchmark::State& state) {
        Fixture& f = Prepare(key);
        for (auto _ : state)
            f.dlg->OnSearch();
        state.counters["matches"] = double(g_arrMatchKeys.size());
    });
    add("search.broad" + n, [key](benchmark::State& state) {
        Fixture& f = Prepare(key);
        QLineEdit* edit = f.dlg->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
        edit->setText(kBroadSearch);
        for (auto _ : state)
            f.dlg->OnSearch();
        state.counters["matches"] = double(g_arrMatchKeys.size());
        edit->setText(kSearchText);
    });
    add("search.broadfloor" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        for (auto _ : state)
            benchmark::DoNotOptimize(SubstringFloor(f.rowTexts, f.broadTerms));
    });
}

// Runs op from the event loop with the watchdog on, once per iteration, and times it until the
// window's file work is idle again (the operation is complete). The loop then runs a few ms more,
// so the layout and painting the operation left behind count to its stall. Keeps the longest stall
// under the benchmark's name. before and after run outside the time and the watch; complete says
// whether the operation left what it should (the list whole, the pass run).
void RunWatched(benchmark::State& state, const std::string& name, const std::function<CQuillbrookDlg&()>& window,
                const std::function<void()>& op, const std::function<void()>& before = {},
                const std::function<bool()>& complete = {}, const std::function<void()>& after = {})
{
    double& worst = g_stalls[name];
    const CpuCounter cpu(state);
    for (auto _ : state) {
        if (before)
            before();
        QElapsedTimer clock;
        g_watchdog->Start();
        const qint64 ns = RunUntilIdle(window(), clock, op);
        RunFor(5);
        worst = std::max(worst, g_watchdog->Stop());
        if (ns < 0)
            state.SkipWithError("the operation did not end in time");
        else if (complete && !complete())
            state.SkipWithError("the operation did not complete");
        state.SetIterationTime(double(std::max<qint64>(ns, 0)) / 1e9);
        if (after)
            after();
    }
}

// The folders of a tree in list order, as the tree's own folder names them (not through a mount).
QStringList BackingFolders(const Fixture& f)
{
    QStringList folders;
    for (const std::string& folder : f.folders)
        folders.append(f.backing + QFile::decodeName(QByteArray::fromStdString(folder)).mid(f.tree.root.size()));
    return folders;
}

// How many of the folders' schedules are still due at now.
int StillDue(const QStringList& folders, qint64 now)
{
    int due = 0;
    for (const DueState state : CheckDueParallel(folders, now))
        due += state != DueState::NotDue;
    return due;
}

// A pass that fired more folders than it opens ends with one message naming them: the only
// message a run may show. True when exactly that one was shown; the record is emptied.
bool OnlyNotOpenedMessage()
{
    const QString pattern = QString(kMsgNotOpened).section(QStringLiteral("%d"), 1);
    const bool ok = g_messages->messages.size() == 1 && g_messages->messages.first().endsWith(pattern);
    g_messages->messages.clear();
    return ok;
}

// Every folder due, written again before each run (outside the time); the pass fires them all.
// Its floor: per schedule file, the read, the atomic rewrite and the read again of a firing, 16
// at once.
void RegisterDueFigures(bool share, int rows, int repetitions)
{
    const std::string n = SizeSuffix(rows);
    const std::string key = Key(share, rows, true);
    const std::string place = share ? "share." : "local.";
    benchmark::RegisterBenchmark((place + "duefloor" + n).c_str(), [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        for (auto _ : state)
            benchmark::DoNotOptimize(ParallelFireFloor(f.timerFiles, kReaders));
    })->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(repetitions);
    const std::string name = place + "duepass" + n;
    benchmark::RegisterBenchmark(name.c_str(), [key, name, share](benchmark::State& state) {
        Fixture& f = Prepare(key);
        const QStringList folders = BackingFolders(f);
        RunWatched(state, name, [&]() -> CQuillbrookDlg& { return *f.dlg; }, [&] {
            g_nLastMinute = -1; // so the tick runs a pass
            f.dlg->OnTimer();
            f.dlg->Timer().stop();
        }, [&] {
            if (!RewriteBenchSchedules(f.tree, f.backing))
                Fail("cannot write the schedules again");
            if (share)
                QThread::msleep(1100); // the mount's cached sizes and names expire after a second
            g_nAlertTicks = 0;
            g_messages->messages.clear();
        }, [&] {
            return g_nLastMinute >= 0 && StillDue(folders, g_tNow) == 0 && OnlyNotOpenedMessage();
        }, [&] { g_nAlertTicks = 0; });
    })->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(repetitions);
}

// The window's figures, on a local tree or on the share: each operation until complete, and the
// floors of reading the files it reads with 16 readers at once.
void RegisterWindowFigures(bool share, int rows, int repetitions)
{
    const std::string n = SizeSuffix(rows);
    const std::string key = Key(share, rows);
    const std::string place = share ? "share." : "local.";
    const auto add = [&](const std::string& name, auto fn, bool manual) {
        auto* b = benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond);
        if (manual)
            b->UseManualTime();
        else
            b->UseRealTime();
        if (share)
            b->Iterations(1)->Repetitions(repetitions);
    };
    add(place + "floor2" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const CpuCounter cpu(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(ParallelReadFloor(f.bothFiles, kReaders));
    }, false);
    if (!share && rows == 10000) {
        // The same reads with the status query and the lock each open of the program makes.
        add(place + "xfloor2" + n, [key](benchmark::State& state) {
            const Fixture& f = Prepare(key);
            const CpuCounter cpu(state);
            for (auto _ : state)
                benchmark::DoNotOptimize(ParallelReadFloor(f.bothFiles, kReaders, true));
        }, false);
    }
    add(place + "floor1" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const CpuCounter cpu(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(ParallelReadFloor(f.timerFiles, kReaders));
    }, false);
    // The file work alone, on worker threads: the load's scan and row texts, the pass's check.
    add(place + "workers.load" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const CpuCounter cpu(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(ReadRowsParallel(ScanRowsParallel(f.tree.root).folders).size());
    }, false);
    // Its two halves: the scan of the tree (enumerations and attribute queries), the rows' files.
    add(place + "workers.scan" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const CpuCounter cpu(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(ScanRowsParallel(f.tree.root).folders.size());
    }, false);
    add(place + "workers.rows" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const QStringList folders = ScanRowsParallel(f.tree.root).folders;
        const CpuCounter cpu(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(ReadRowsParallel(folders).size());
    }, false);
    add(place + "workers.check" + n, [key](benchmark::State& state) {
        const Fixture& f = Prepare(key);
        const CpuCounter cpu(state);
        QStringList folders;
        for (const std::string& folder : f.folders)
            folders.append(QFile::decodeName(QByteArray::fromStdString(folder)));
        for (auto _ : state)
            benchmark::DoNotOptimize(CheckDueParallel(folders, g_tNow).size());
    }, false);
    const std::string startup = place + "startup" + n;
    add(startup, [key, startup, rows](benchmark::State& state) {
        Fixture& f = Prepare(key);
        std::unique_ptr<CQuillbrookDlg> dlg;
        RunWatched(state, startup, [&]() -> CQuillbrookDlg& { return *dlg; }, [&] {
            // As the program starts: the window shown at once, the rows coming in.
            dlg->OnInitDialog(f.tree.root, true);
            dlg->Timer().stop();
        }, [&] { dlg = std::make_unique<CQuillbrookDlg>(); },
           [&] { return dlg->GetItemCount() == rows; },
           [&] { dlg.reset(); });
    }, true);
    const std::string reload = place + "reload" + n;
    add(reload, [key, reload, rows](benchmark::State& state) {
        Fixture& f = Prepare(key);
        RunWatched(state, reload, [&]() -> CQuillbrookDlg& { return *f.dlg; }, [&] { f.dlg->OnReload(); }, {},
                   [&] { return f.dlg->GetItemCount() == rows; });
    }, true);
    const std::string pass = place + "pass" + n;
    add(pass, [key, pass](benchmark::State& state) {
        Fixture& f = Prepare(key);
        RunWatched(state, pass, [&]() -> CQuillbrookDlg& { return *f.dlg; }, [&] {
            g_nLastMinute = -1; // so the tick runs a pass
            f.dlg->OnTimer();
            f.dlg->Timer().stop();
        }, {}, [] { return g_nLastMinute >= 0; });
        if (g_nAlertTicks != 0)
            state.SkipWithError("a reminder fired during the pass");
    }, true);
    const std::string search = place + "search" + n;
    add(search, [key, search](benchmark::State& state) {
        Fixture& f = Prepare(key);
        RunWatched(state, search, [&]() -> CQuillbrookDlg& { return *f.dlg; }, [&] { f.dlg->OnSearch(); });
    }, true);
}

// A folder on the share that stops answering (every call on a path in it waits until released),
// in a window on the tree whose every folder is due. One run: the pass, a reload to the end, a
// second reload and, while it is under way, the close.
struct StuckRun
{
    double pass = -1;       // the pass until complete, ms
    double lastOpened = -1; // the last folder opened, ms after the pass began
    int opened = 0;
    int stillDue = -1;      // folders whose schedule was not advanced (only the stuck one should be)
    bool message = false;   // the one message of a pass that opened only the first folders
    double reload1Call = -1, reload1 = -1; // the first reload's call, and until the list is complete
    int rows = -1;
    bool stuckPathOnly = false; // the stuck folder's row came with its path only
    double reload2Call = -1, closeCall = -1, destroy = -1;
    double stall = -1;      // the longest stall from the pass to the window's end
};

StuckRun RunStuck(Fixture& f, FaultFileSystem& fs)
{
    StuckRun run;
    if (!RewriteBenchSchedules(f.tree, f.backing))
        Fail("cannot write the schedules again");
    QThread::msleep(1100); // the mount's cached sizes and names expire after a second
    const int rows = f.tree.Rows();
    auto dlg = std::make_unique<CQuillbrookDlg>();
    QElapsedTimer clock;
    if (RunUntilIdle(*dlg, clock, [&] {
            dlg->OnInitDialog(f.tree.root, true);
            dlg->Timer().stop();
        }) < 0 || dlg->GetItemCount() != rows)
        Fail("the list did not load");
    // The third row: the first openings come after it, and nearly every row.
    const int stuckRow = 2;
    const QString stuckRelative = dlg->GetItemText(stuckRow, 0);
    fs.BlockUnder(dlg->RowFolder(stuckRow));
    g_nAlertTicks = 0;
    g_messages->messages.clear();
    g_shell->openedNs.clear();
    const auto ms = [](qint64 ns) { return double(ns) / 1e6; };

    g_watchdog->Start();
    const qint64 begin = g_clock.nsecsElapsed();
    run.pass = ms(RunUntilIdle(*dlg, clock, [&] {
        g_nLastMinute = -1;
        dlg->OnTimer();
        dlg->Timer().stop();
    }));
    run.opened = int(g_shell->openedNs.size());
    if (!g_shell->openedNs.empty())
        run.lastOpened = ms(g_shell->openedNs.back() - begin);
    run.stillDue = StillDue(BackingFolders(f), g_tNow);
    run.message = OnlyNotOpenedMessage();
    g_nAlertTicks = 0;

    QElapsedTimer call;
    run.reload1 = ms(RunUntilIdle(*dlg, clock, [&] {
        call.start();
        dlg->OnReload();
        run.reload1Call = ms(call.nsecsElapsed());
    }));
    run.rows = dlg->GetItemCount();
    const int row = dlg->Rows().Find(stuckRelative);
    run.stuckPathOnly = row >= 0 && dlg->GetItemText(row, 1).isEmpty() && dlg->GetItemText(row, 2).isEmpty();

    QTimer::singleShot(0, [&] {
        call.start();
        dlg->OnReload();
        run.reload2Call = ms(call.nsecsElapsed());
    });
    RunFor(500); // the second load under way, a worker on the stuck folder
    QTimer::singleShot(0, [&] {
        call.start();
        dlg->reject();
        run.closeCall = ms(call.nsecsElapsed());
        call.start();
        dlg.reset();
        run.destroy = ms(call.nsecsElapsed());
    });
    RunFor(50);
    run.stall = g_watchdog->Stop();
    fs.Release();
    RunFor(200); // the workers let go finish into their own state
    return run;
}

// Keeps the median of every benchmark (in ms) for the summary.
class MedianReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred
                && (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1))
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    const QList<QByteArray> parts = file.readAll().split(' ');
    return (parts.value(0) + ' ' + parts.value(1) + ' ' + parts.value(2)).toStdString();
}

long Median(std::vector<long> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A missed target is reported, not an error: figures from a busy machine would fail it spuriously.
int g_failures = 0;

void Verdict(bool ok)
{
    std::printf("  %s\n", ok ? "ok" : "MISSED");
}

} // namespace

// The offscreen platform says this each time a window is shown: not worth a line in the figures.
QtMessageHandler g_qtHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (g_qtHandler && !text.contains(QStringLiteral("propagateSizeHints")))
        g_qtHandler(type, context, text);
}

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    g_qtHandler = qInstallMessageHandler(QuietHandler);
    QString program = QStringLiteral(QB_PROGRAM_PATH);
    int memoryRuns = 5;
    QString shareBacking, shareRoot; // the share's own folder, and the mount that reads it slowly
    int shareRepetitions = 3;
    int stuckRepetitions = 3;
    int dueRepetitions = 3; // 0: no tree with every folder due (nor the stuck folder)
    bool large = true; // --small: the 1,000-row trees only
    bool shareOnly = false; // --share_only: the share's figures alone (a second share beside the first)
    std::string shareName = "share"; // --share_name: the share's name in the table
    std::vector<char*> args { argv[0] };
    std::string repetitions = "--benchmark_repetitions=5";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string color = "--benchmark_color=false";
    args.push_back(color.data());
    args.push_back(repetitions.data());
    args.push_back(interleave.data());
    args.push_back(aggregates.data());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--program=", 0) == 0)
            program = QString::fromLocal8Bit(arg.substr(10));
        else if (arg.rfind("--memory_runs=", 0) == 0)
            memoryRuns = std::atoi(arg.c_str() + 14);
        else if (arg.rfind("--share_backing=", 0) == 0)
            shareBacking = QString::fromLocal8Bit(arg.substr(16));
        else if (arg.rfind("--share_root=", 0) == 0)
            shareRoot = QString::fromLocal8Bit(arg.substr(13));
        else if (arg == "--small")
            large = false;
        else if (arg == "--share_only")
            shareOnly = true;
        else if (arg.rfind("--share_name=", 0) == 0)
            shareName = arg.substr(13);
        else if (arg.rfind("--due_repetitions=", 0) == 0)
            dueRepetitions = std::atoi(arg.c_str() + 18);
        else if (arg.rfind("--stuck_repetitions=", 0) == 0)
            stuckRepetitions = std::atoi(arg.c_str() + 20);
        else if (arg.rfind("--share_repetitions=", 0) == 0)
            shareRepetitions = std::max(1, std::atoi(arg.c_str() + 20));
        else
            args.push_back(argv[i]);
    }
    int benchArgc = int(args.size());
    QApplication app(argc, argv);
    benchmark::Initialize(&benchArgc, args.data());

    // No message may appear while the benchmarks run: every one is recorded and reported.
    RecordingMessagePort messages;
    QuietShellPort shell;
    SetShellPort(&shell);
    g_messages = &messages;
    g_shell = &shell;
    g_clock.start();

    QTemporaryDir base;
    if (!base.isValid())
        Fail("no temporary folder");
    const std::string loadBefore = LoadAverage();
    std::printf("building the trees in %s ...\n", qPrintable(base.path()));
    std::fflush(stdout);
    g_watchdog = std::make_unique<Watchdog>();
    std::vector<int> sizes { 1000 };
    if (large)
        sizes.push_back(10000);
    if (shareOnly)
        memoryRuns = 0;
    for (const int rows : sizes) {
        if (!shareOnly)
            SetUpFixture(base.path(), base.path(), false, rows / 50, 50);
    }
    // Every folder due: 20,000 on the local disk, 1,000 on the share.
    const int localDue = large ? 20000 : 1000;
    if (dueRepetitions > 0 && !shareOnly)
        SetUpFixture(base.path(), base.path(), false, localDue / 50, 50, true);
    const bool share = !shareBacking.isEmpty() && !shareRoot.isEmpty();
    if (share) {
        std::printf("building the trees on the share %s ...\n", qPrintable(shareRoot));
        std::fflush(stdout);
        for (const int rows : sizes)
            SetUpFixture(shareBacking, shareRoot, true, rows / 50, 50);
        if (dueRepetitions > 0)
            SetUpFixture(shareBacking, shareRoot, true, 20, 50, true);
    }
    for (const int rows : sizes) {
        if (!shareOnly) {
            RegisterAll(rows);
            RegisterWindowFigures(false, rows, 0);
        }
        if (share)
            RegisterWindowFigures(true, rows, shareRepetitions);
    }
    if (dueRepetitions > 0) {
        if (!shareOnly) // its tree is built only then
            RegisterDueFigures(false, localDue, dueRepetitions);
        if (share)
            RegisterDueFigures(true, 1000, std::min(dueRepetitions, shareRepetitions));
    }

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // A folder on the share that stops answering: on its own, after the rest, since the fault
    // layer stays the program's file system until the end (workers it held may still call it).
    std::vector<StuckRun> stuckRuns;
    std::unique_ptr<FaultFileSystem> faults;
    if (share && dueRepetitions > 0 && stuckRepetitions > 0) {
        faults = std::make_unique<FaultFileSystem>();
        for (int i = 0; i < stuckRepetitions; ++i)
            stuckRuns.push_back(RunStuck(g_fixtures.at(Key(true, 1000, true)), *faults));
    }

    // Peak memory of the real program: empty root, then the two trees.
    std::map<int, long> peak;
    if (memoryRuns > 0) {
        QTemporaryDir empty;
        for (const int rows : { 0, 1000, 10000 }) {
            if (rows > 0 && !g_fixtures.count(Key(false, rows)))
                continue;
            std::vector<long> runs;
            for (int i = 0; i < memoryRuns; ++i)
                runs.push_back(ProgramPeakKiB(program, rows == 0 ? empty.path() : g_fixtures.at(Key(false, rows)).tree.root));
            peak[rows] = Median(runs);
        }
    }
    const std::string loadAfter = LoadAverage();

    const auto& m = reporter.medians;
    const auto get = [&m](const std::string& name) {
        const auto it = m.find(name);
        return it == m.end() ? -1.0 : it->second;
    };
    std::printf("\nmedians of the runs, load average %s before and %s after\n", loadBefore.c_str(), loadAfter.c_str());
    std::printf("floor: plain open, read, close; xfloor: the same with the exclusive lock every open of the\n"
                "program takes (open without sharing)\n");
    std::printf("%-24s %6s %9s %9s %10s %6s %6s %7s\n", "figure", "rows", "floor ms", "xfloor ms", "program ms",
                "ratio", "xratio", "target");
    struct Figure { const char* label; const char* program; const char* floor; const char* xfloor; double target; };
    const Figure figures[] = {
        { "scan with texts", "scan.program", "scan.floor", "scan.xfloor", 1.5 },
        { "LoadDirList (widget)", "load.program", "scan.floor", "scan.xfloor", 2.0 },
        { "tick pass, nothing due", "tick.program", "tick.floor", "tick.xfloor", 1.5 },
        { "search, nine terms", "search.program", "search.floor", nullptr, 2.0 },
    };
    const bool complete = std::all_of(std::begin(figures), std::end(figures), [&](const Figure& fig) {
        return get(std::string(fig.program) + "/10000") > 0 && get(std::string(fig.floor) + "/10000") > 0;
    });
    for (const Figure& fig : shareOnly ? std::vector<Figure>() : std::vector<Figure>(std::begin(figures), std::end(figures))) {
        for (const int rows : { 1000, 10000 }) {
            const std::string n = SizeSuffix(rows);
            const double p = get(fig.program + n), f = get(fig.floor + n);
            const double x = fig.xfloor ? get(fig.xfloor + n) : f;
            if (p < 0 || f < 0 || x < 0)
                continue;
            std::printf("%-24s %6d %9.2f %9.2f %10.2f %6.2f %6.2f %7s", fig.label, rows, f, x, p, p / f, p / x,
                        rows == 10000 ? ("<= " + QByteArray::number(fig.target)).constData() : "");
            if (rows == 10000)
                Verdict(p / f <= fig.target);
            else
                std::printf("\n");
        }
    }
    std::printf("\ngrowth from 1,000 to 10,000 folders (target <= 12)\n");
    for (const Figure& fig : figures) {
        const double small = get(std::string(fig.program) + "/1000"), large = get(std::string(fig.program) + "/10000");
        if (small <= 0 || large <= 0)
            continue;
        std::printf("%-24s %7.2f", fig.label, large / small);
        Verdict(large / small <= 12);
    }
    for (const int rows : { 1000, 10000 }) {
        const std::string n = SizeSuffix(rows);
        const double broad = get("search.broad" + n), floor = get("search.broadfloor" + n);
        if (broad > 0 && floor > 0)
            std::printf("%-24s %6d %9.2f %9s %10.2f %6.2f  (nine terms that every row contains)\n",
                        "search, every row found", rows, floor, "", broad, broad / floor);
    }
    for (const int rows : { 1000, 10000 }) {
        const std::string n = SizeSuffix(rows);
        const double shown = get("load.shown" + n), floor = get("scan.floor" + n);
        if (shown > 0 && floor > 0)
            std::printf("%-24s %6d %9.2f %9s %10.2f %6.2f  (LoadDirList, then the view's layout and paint)\n",
                        "load and show", rows, floor, "", shown, shown / floor);
    }

    // The window: each operation until complete, against reading its files with 16 readers.
    std::printf("\nthe window, each operation until complete; floor16: its files read once by %d readers at\n"
                "once; stall: the longest the event loop answered nothing (target <= 100 ms)\n", kReaders);
    std::printf("%-6s %-24s %6s %10s %10s %6s %7s %9s\n", "place", "figure", "rows", "floor16 ms", "program ms",
                "ratio", "target", "stall ms");
    struct WindowFigure { const char* label; const char* program; const char* floor; };
    const WindowFigure windowFigures[] = {
        { "start-up list", "startup", "floor2" },
        { "reload", "reload", "floor2" },
        { "pass, nothing due", "pass", "floor1" },
        { "pass, every folder due", "duepass", "duefloor" },
        { "search, nine terms", "search", nullptr },
    };
    // The judged figures: the ratio's target (0: the stall only), the stall's always 100 ms.
    const auto windowTarget = [](bool onShare, const std::string& program, int rows) -> double {
        if (onShare && rows == 10000)
            return program == "startup" || program == "reload" ? 4.0 : program == "pass" ? 2.0 : -1;
        if (onShare && rows == 1000 && program == "duepass")
            return 2.0;
        if (!onShare && rows == 10000 && program == "startup")
            return 1.3;
        if (!onShare && rows == 20000 && program == "duepass")
            return 0;
        return -1;
    };
    for (const bool onShare : { false, true }) {
        const std::string place = onShare ? "share." : "local.";
        for (const WindowFigure& fig : windowFigures) {
            for (const int rows : { 1000, 10000, 20000 }) {
                const std::string n = SizeSuffix(rows);
                const std::string name = place + fig.program + n;
                const double p = get(name);
                if (p < 0)
                    continue;
                const double f = fig.floor ? get(place + fig.floor + n) : -1;
                const double stall = g_stalls.count(name) ? g_stalls[name] : -1;
                char ratio[16] = "", target[16] = "";
                if (f > 0)
                    std::snprintf(ratio, sizeof ratio, "%.2f", p / f);
                double goal0 = windowTarget(onShare, fig.program, rows);
                const double& goal = goal0;
                if (goal > 0 && f <= 0)
                    goal0 = -1; // its floor was filtered out: nothing to judge against
                if (goal > 0 && f > 0)
                    std::snprintf(target, sizeof target, "<= %g", goal);
                std::printf("%-6s %-24s %6d %10s %10.2f %6s %7s %9.1f", onShare ? shareName.c_str() : "local", fig.label,
                            rows, f > 0 ? QByteArray::number(f, 'f', 2).constData() : "", p, ratio, target, stall);
                if (goal >= 0)
                    Verdict((goal == 0 || f <= 0 || p / f <= goal) && stall <= 100);
                else
                    std::printf("\n");
            }
        }
    }
    std::printf("floor16 of a pass with every folder due: per schedule file the read, the rewrite (a new sibling\n"
                "written, synced and renamed over it) and the read again of a firing\n");
    if (const double x = get("local.xfloor2/10000"), p = get("local.startup/10000"); x > 0 && p > 0)
        std::printf("local start-up list, 10000 rows, against its files read by %d readers with the status query and\n"
                    "the lock of each of the program's opens (xfloor16 %.2f ms): ratio %.2f\n", kReaders, x, p / x);
    if (!stuckRuns.empty()) {
        std::printf("\na folder on the share stops answering (every call in it waits), 1,000 folders all due, %d runs;\n"
                    "ms, the stall over the whole run (targets: every other folder fired, each call <= 200 ms, stall <= 100)\n",
                    int(stuckRuns.size()));
        std::printf("%4s %8s %8s %6s %6s %4s %8s %8s %6s %5s %8s %7s %8s %7s\n", "run", "pass", "lastopen", "opened",
                    "notadv", "msg", "reload1", "r1 call", "rows", "path", "r2 call", "close", "destroy", "stall");
        int i = 0;
        for (const StuckRun& r : stuckRuns) {
            std::printf("%4d %8.1f %8.1f %6d %6d %4s %8.1f %8.2f %6d %5s %8.2f %7.2f %8.2f %7.1f", ++i, r.pass,
                        r.lastOpened, r.opened, r.stillDue, r.message ? "ok" : "no", r.reload1, r.reload1Call, r.rows,
                        r.stuckPathOnly ? "yes" : "no", r.reload2Call, r.closeCall, r.destroy, r.stall);
            Verdict(r.pass >= 0 && r.stillDue == 1 && r.message && r.rows == 1000 && r.stuckPathOnly
                    && r.reload1Call <= 200 && r.reload2Call <= 200 && r.closeCall <= 200 && r.destroy <= 200
                    && r.stall <= 100);
        }
    }
    if (!share)
        std::printf("slow share: not measured (no share given: --share_backing and --share_root)\n");
    if (!peak.empty()) {
        std::printf("\npeak memory of the program (VmHWM, median of %d runs)\n", memoryRuns);
        for (const auto& [rows, kib] : peak)
            std::printf("%-28s %6d %9.1f MiB\n", rows == 0 ? "empty root" : "rows shown", rows, kib / 1024.0);
        if (peak[0] > 0 && peak[10000] > 0 && peak[1000] > 0) {
            const double excess = (peak[10000] - peak[0]) / 1024.0;
            std::printf("%-28s %6d %9.1f MiB  <= 10", "above the empty root", 10000, excess);
            Verdict(excess <= 10);
            const double small = (peak[1000] - peak[0]) / 1024.0;
            std::printf("%-28s %6s %9.2f", "growth 1,000 -> 10,000", "", small > 0 ? excess / small : 0.0);
            Verdict(small <= 0 || excess / small <= 12);
        } else {
            std::printf("the program could not be measured\n");
            ++g_failures;
        }
    }
    if (!messages.messages.isEmpty()) {
        std::printf("\n%d messages were shown during the runs, the first: %s\n", int(messages.messages.size()),
                    qPrintable(messages.messages.first()));
        ++g_failures;
    }
    if (!complete && !shareOnly) {
        std::printf("\nsome figures are missing (filtered out or failed)\n");
    }
    SetShellPort(nullptr);
    g_fixtures.clear();
    g_watchdog.reset();
    benchmark::Shutdown();
    return g_failures == 0 ? 0 : 2;
}
