#pragma once
// The main window: the folder list, the search controls, the alert button, the menus and the
// one-second timer. Each subsystem defines its own handlers in its folder.
#include "app/columnfit.h"

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QSettings;
class FileWorkController;
class ProgramTray;
class RowList;
class RowModel;
struct RowOutcome;
struct RowRef;

class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeView;
class QWidget;

inline const QString kMainCaption = QStringLiteral("Quillbrook2.0.5");

// Column 0 of the row whose settings dialog is open, else empty: the pass does not read it.
extern QString g_strEditingDir;

class CQuillbrookDlg : public QDialog
{
    Q_OBJECT

public:
    enum SizeType { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

    explicit CQuillbrookDlg(QWidget* parent = nullptr);
    ~CQuillbrookDlg() override;

    // Fixes the root (rootDir, or the program's folder when empty), begins loading the list, starts
    // the timer. With showWhileLoading the window is shown at once.
    bool OnInitDialog(const QString& rootDir = QString(), bool showWhileLoading = false);
    // Empties the list and begins reading the folder tree again on worker threads; the rows come
    // in as they are read, and the call returns at once.
    void LoadDirList();
    // True while a load is under way (the window shows the busy cursor).
    bool IsLoading() const;
    // No file work is under way or waiting.
    bool IsIdle() const;
    FileWorkController& Work() const { return *m_work; }
    // The rows as the view sees them (tests put rows in through it).
    RowModel& Model() const { return *m_model; }
    // Moves the search text between edit 1004 and m_strSearch (save: from the control).
    void UpdateData(bool save);

    // The list as the handlers see it: rows of four texts and a selection mark (-1 for none).
    const RowList& Rows() const;
    int GetItemCount() const;
    QString GetItemText(int row, int column) const;
    void SetItemText(int row, int column, const QString& text);
    int GetSelectionMark() const;
    // Selects and focuses the row and gives the list the focus; the list scrolls only when asked to
    // bring the row into view (a match found, the last row fired), at its folder's name.
    enum class Scroll { Keep, IntoView };
    void SelectRow(int row, Scroll scroll = Scroll::Keep);
    // The full path of a row's folder: the root followed by its column-0 text.
    QString RowFolder(int row) const;
    // The row a folder command acts on: the context menu's row while its command runs, otherwise
    // the selection mark; -1 for none, or while the rows may still change.
    int CommandRow() const;
    // No row selected and no selection mark.
    void ClearSelection();

    // What the file work hands the window (filework.cpp).
    void BeforeLoad();
    void AfterLoad();
    void ShowFiring(const RowOutcome& outcome, bool opened);
    void AfterPass();

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
    // The installed program remembers the window's size and place, the column widths the user
    // drags and the tray item in settings; without (a portable copy) nothing is remembered. Given
    // before OnInitDialog.
    void RememberIn(QSettings* settings) { m_settings = settings; }
    // The tray icon, and "关闭窗口后在托盘中继续运行" at the end of "视图": ticked, and with a tray
    // on the desktop, closing the window hides it and the reminders go on.
    void ShowTray();
    void OnKeepInTray();
    QAction* KeepInTrayItem() const { return m_keepInTrayItem; }
    ProgramTray* Tray() const { return m_tray.get(); }
    // Whether the desktop has a tray now (tests answer for it).
    void SetTrayAvailable(std::function<bool()> available) { m_trayAvailable = std::move(available); }
    // Closing the window now hides it instead of ending the program.
    bool ClosingHides() const;
    // Ends the program whatever the tray item says ("退出" in the tray, Ctrl+Q).
    void Quit();
    // The columns' widths for the list's room: the template's, or the user's, the description
    // giving up width first when they do not fit.
    void FitColumnsToList();
    // Where the help document is installed, looked in when it is not beside the root or the program.
    void SetInstalledDocDir(const QString& dir) { m_strInstalledDocDir = dir; }

    // The default action of a reminder's notification: restores, raises and activates the window.
    void BringToFront();
    // Sizes the window to the template, within the screen's available area, at its top left.
    void FitToScreen();

    QTreeView* ListControl() const { return m_list; }
    QPushButton* ClearAlertButton() const { return m_btnClearAlert; }
    QMenuBar* MenuBarControl() const { return m_menu; }
    QTimer& Timer() { return m_timer; }
    // A new context menu as the right click shows it (caller owns it); its commands act on row.
    QMenu* CreateContextMenu(int row = -1);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;
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

    void OnRowCommand(int id, const RowRef& ref);
    void CreateKeys();
    void OnColumnResized(int column, int oldWidth, int newWidth);
    void RestoreWindowState();
    void StoreGeometry();
    void PlaceWindow(const QRect& wanted);
    QString RootCaption() const;
    void ShowAlertInTray(bool standing);

    std::unique_ptr<RowModel> m_model;
    std::unique_ptr<FileWorkController> m_work;
    int m_commandRow = -1; // the context menu's row while its command runs

    QIcon m_hIcon;
    QTreeView* m_list = nullptr;
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
    QAction* m_keepInTrayItem = nullptr;
    std::unique_ptr<ProgramTray> m_tray;
    std::function<bool()> m_trayAvailable;
    bool m_quitting = false;
    QSettings* m_settings = nullptr;
    ColumnWidths m_wantedWidths = kTemplateColumnWidths; // the template's, or as the user dragged them
    bool m_fittingColumns = false;
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
    bool m_placeStored = false; // the window is where the installed program last had it
};
