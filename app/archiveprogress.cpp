#include "app/archiveprogress.h"

#include "platform/messageport.h"

#include <QLabel>
#include <QProgressBar>

namespace {

constexpr int kSteps = 1000; // the bar's range for one file

} // namespace

ArchiveProgress::ArchiveProgress(QWidget* parent, int showAfterMs)
    : m_parent(parent)
{
    m_showTimer.setSingleShot(true);
    QObject::connect(&m_showTimer, &QTimer::timeout, [this] { ShowWindow(); });
    m_showTimer.start(showAfterMs);
}

ArchiveProgress::~ArchiveProgress()
{
    delete m_dialog;
}

void ArchiveProgress::Report(const CopyProgress& progress)
{
    m_last = progress;
    m_reported = true;
    Update();
}

void ArchiveProgress::ShowWindow()
{
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
    Update();
}

void ArchiveProgress::Update()
{
    if (!m_dialog || !m_reported)
        return;
    m_dialog->setLabelText(FormatMessage(QStringLiteral("正在拷贝%s..."), { m_last.file }));
    const qint64 total = qMax<qint64>(m_last.total, 1);
    // The bar itself: the dialog's own setValue runs the event loop when the dialog is modal.
    if (auto* bar = m_dialog->findChild<QProgressBar*>())
        bar->setValue(int(qMin<qint64>(m_last.done, total) * kSteps / total));
}
