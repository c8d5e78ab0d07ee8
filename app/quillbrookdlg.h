#pragma once
// The main window: the folder list, the search controls, the alert button, the menus and the
// one-second timer. Each subsystem defines its own handlers in its folder.
#include <QDialog>
#include <QIcon>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class ReminderPass;
struct CheckedRows;

class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeWidget;
class QWidget;

inline const QString kMainCaption = QStringLiteral("Quillbrook2.0.5");

class CQuillbrookDlg : public QDialog
{
    Q_OBJECT

public:
    enum SizeType { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

    explicit CQuillbrookDlg(QWidget* parent = nullptr);
    ~CQuillbrookDlg() override;

    // Fixes the root (rootDir, or the program's folder when empty), loads the list, starts the timer.
    // With showWhileLoading the window is shown before the list loads.
    bool OnInitDialog(const QString& rootDir = QString(), bool showWhileLoading = false);
    // Empties and refills the list from the folder tree. The folders are read on worker threads;
    // the event loop runs meanwhile, and the call returns with the list complete.
    void LoadDirList();
    // True while a load is under way (the window shows the busy cursor).
    bool IsLoading() const;
    // Moves the search text between edit 1004 and m_strSearch (save: from the control).
    void UpdateData(bool save);

    // The list as the handlers see it: rows of four texts and a selection mark (-1 for none).
    int GetItemCount() const;
    QString GetItemText(int row, int column) const;
    void SetItemText(int row, int column, const QString& text);
    int GetSelectionMark() const;
    // Selects and focuses the row and gives the list the focus, without scrolling.
    void SelectRow(int row);
    // The full path of a row's folder: the root followed by its column-0 text.
    QString RowFolder(int row) const;

    // The message map: runs the handler of a menu command.
    void OnCommand(int id);

    // Handlers.
    void OnSize(int sizeType);
    void OnTimer();
    void OnClearAlert();
    void OnRClickDirList(const QPoint& pos);
    // The keyboard's Menu key: the context menu at the selected row, none without one.
    void OnContextMenuKey();
    void OnInitMenuPopup(QMenu* popup);
    void OnCopyListToClipboard();
    void OnOpenDirInExplorer();
    void OnReload();
    void OnHelpPdf();
    void OnSetDescAndTimer();
    void OnClearManageInfo();
    void OnPauseTimer();
    void OnArchivePrevYear();
    void OnLinkExternalDir();
    void OnSearch();
    void OnSearchNext();

    // The caption flash of an alert: inverted on odd ticks, restored on even ones.
    void FlashWindow(bool invert);
    // Every caption goes through here, so the root stays in the title bar when it is shown.
    void SetCaption(const QString& caption);
    void ShowRootInCaption(bool show);

    // The installed program: the "登录时自动启动" item, which starts program on the root at login.
    void ShowAutostartItem(const QString& program);
    void OnAutostart();
    QAction* AutostartItem() const { return m_autostartItem; }
    // Where the help document is installed, looked in when it is not beside the root or the program.
    void SetInstalledDocDir(const QString& dir) { m_strInstalledDocDir = dir; }

    // The default action of a reminder's notification: restores, raises and activates the window.
    void BringToFront();
    // Sizes the window to the template, within the screen's available area, at its top left.
    void FitToScreen();

    QTreeWidget* ListControl() const { return m_list; }
    QPushButton* ClearAlertButton() const { return m_btnClearAlert; }
    QMenuBar* MenuBarControl() const { return m_menu; }
    QTimer& Timer() { return m_timer; }
    // A new context menu as the right click shows it (caller owns it).
    QMenu* CreateContextMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void TrackContextMenu(const QPoint& globalPos);
    void SetupColumns();
    void LayoutTopRow();
    void FitOnceFrameIsKnown();

    // The pass proper, once the schedule files are checked: the rows in list order, each that may
    // be due handed to PassRow, which fires it if it is.
    void RunPass(const CheckedRows& checked);
    void PassRow(int row, ReminderPass& pass);

    // File work on worker threads (filework.cpp).
    struct FileWork;
    struct FileWorkDeleter
    {
        void operator()(FileWork* work) const;
    };
    FileWork& Work(); // made on first use
    void CheckRowsThenPass();
    void TakeLoadedRows();
    void ContinueFileWork();
    void WaitForFileWork(const std::function<bool()>& busy);
    std::unique_ptr<FileWork, FileWorkDeleter> m_work;

    QIcon m_hIcon;
    QTreeWidget* m_list = nullptr;
    QMenuBar* m_menu = nullptr;
    QPushButton* m_btnClearAlert = nullptr;
    QString m_strSearch;

    QWidget* m_client = nullptr;
    QLineEdit* m_editSearch = nullptr;
    QTimer m_timer;
    int m_selectionMark = -1;
    bool m_laidOut = false; // the list keeps its template rectangle until the first resize
    bool m_showRootInCaption = false;
    QAction* m_autostartItem = nullptr;
    QString m_strProgram;
    QString m_strInstalledDocDir;

    // The top row in its order, each control with its template rectangle.
    struct RowControl
    {
        QWidget* widget;
        QRect rect;
    };
    std::vector<RowControl> m_topRow;
    QSize m_templateClient; // the template's client area, in pixels
    QSize m_templateSize;   // the template's window size: the client area and the menu bar
    bool m_fitPending = false; // the window manager's frame is not known yet
};
