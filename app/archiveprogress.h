#pragma once
// The progress window of an archive copy: it appears only when the copy takes more than a moment
// and names the file being copied. The copy runs on a worker; the controller hands its reports on.
#include "platform/filesystem.h"

#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

class QWidget;

class ArchiveProgress
{
public:
    explicit ArchiveProgress(QWidget* parent, int showAfterMs = 500);
    ~ArchiveProgress();
    ArchiveProgress(const ArchiveProgress&) = delete;
    ArchiveProgress& operator=(const ArchiveProgress&) = delete;

    // The copy's latest report (window's thread).
    void Report(const CopyProgress& progress);

    // The window, once it is shown (nullptr before).
    QProgressDialog* Dialog() const { return m_dialog; }

private:
    void ShowWindow();
    void Update();

    QWidget* m_parent;
    QTimer m_showTimer;
    CopyProgress m_last;
    bool m_reported = false;
    QPointer<QProgressDialog> m_dialog;
};
