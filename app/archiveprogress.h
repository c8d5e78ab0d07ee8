#pragma once
// The progress window of an archive copy: it appears only when the copy takes more than a moment,
// names the file being copied, and keeps the window answering while the copy runs.
#include "platform/filesystem.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

class QWidget;

class ArchiveProgress
{
public:
    explicit ArchiveProgress(QWidget* parent, int showAfterMs = 500);
    ~ArchiveProgress();
    ArchiveProgress(const ArchiveProgress&) = delete;
    ArchiveProgress& operator=(const ArchiveProgress&) = delete;

    // The copy's report of one piece; called on the window's thread, between pieces.
    void Report(const CopyProgress& progress);
    // The function to hand to the copy.
    CopyProgressFn Callback();

    // The window, once it is shown (nullptr before).
    QProgressDialog* Dialog() const { return m_dialog; }

private:
    QWidget* m_parent;
    int m_showAfterMs;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceEvents;
    QPointer<QProgressDialog> m_dialog;
};
