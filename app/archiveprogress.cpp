#include "app/archiveprogress.h"

#include "platform/messageport.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr int kSteps = 1000;       // the bar's range for one file
constexpr int kEventsEveryMs = 50; // how often the copy lets the window answer

} // namespace

ArchiveProgress::ArchiveProgress(QWidget* parent, int showAfterMs)
    : m_parent(parent)
    , m_showAfterMs(showAfterMs)
{
    m_started.start();
    m_sinceEvents.start();
}

ArchiveProgress::~ArchiveProgress()
{
    delete m_dialog;
}

CopyProgressFn ArchiveProgress::Callback()
{
    return [this](const CopyProgress& progress) { Report(progress); };
}

void ArchiveProgress::Report(const CopyProgress& progress)
{
    if (!m_dialog && m_started.elapsed() >= m_showAfterMs) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(QStringLiteral("归档到上一年"));
        // A file's name is shown as it is, never read as markup.
        auto* label = new QLabel(m_dialog);
        label->setTextFormat(Qt::PlainText);
        m_dialog->setLabel(label);
        m_dialog->setCancelButton(nullptr); // a copy, once begun, runs to its end or its first failure
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoReset(false); // one bar per file; the window goes with the command
        m_dialog->setAutoClose(false);
        m_dialog->setRange(0, kSteps);
        m_dialog->setMinimumWidth(480);
        m_dialog->show();
    }
    if (m_dialog) {
        m_dialog->setLabelText(FormatMessage(QStringLiteral("正在拷贝%s..."), { progress.file }));
        const qint64 total = qMax<qint64>(progress.total, 1);
        m_dialog->setValue(int(qMin<qint64>(progress.done, total) * kSteps / total));
    }
    if (m_sinceEvents.elapsed() >= kEventsEveryMs) {
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }
}
