#include "app/quillbrookdlg.h"

#include "app/desktopservices.h"
#include "app/dlgunits.h"
#include "app/filework.h"
#include "app/menus.h"
#include "app/resource.h"
#include "app/rowmodel.h"
#include "app/trayicon.h"
#include "platform/filenames.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "platform/notificationport.h"
#include "schedule/rowtexts.h"
#include "search/search.h"
#include "store/scan.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QWindow>

namespace {

// A row shows its description on one line; the text itself keeps its line breaks. Column 0 keeps
// the folder's exact name, which the commands turn back into its path; it is shown readable.
class OneLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override
    {
        QString text = QStyledItemDelegate::displayText(value, locale);
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QChar::LineSeparator, u' ');
        return text;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0)
            option->text = ReadableName(option->text);
    }
};

} // namespace

CQuillbrookDlg::CQuillbrookDlg(QWidget* parent)
    : QDialog(parent)
{
    InitProgramResources();
    m_hIcon = QIcon(QStringLiteral(":/res/quillbrook.png"));
    SetCaption(kMainCaption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    CreateControls();
    CreateKeys();
    m_trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    m_work = std::make_unique<FileWorkController>(*this, *m_model);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CQuillbrookDlg::OnTimer);
}

void CQuillbrookDlg::CreateControls()
{
    setFont(QApplication::font());
    const DialogUnits du(font());

    m_menu = new QMenuBar(this);
    m_menu->setNativeMenuBar(false);
    BuildMainMenu(m_menu);
    for (QAction* popup : m_menu->actions()) {
        QMenu* menu = popup->menu();
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { OnInitMenuPopup(menu); });
    }
    connect(m_menu, &QMenuBar::triggered, this, [this](QAction* action) { OnCommand(CommandOf(action)); });

    m_client = new QWidget(this);
    auto* label = new QLabel(QStringLiteral("文档列表："), m_client);
    label->setObjectName(QStringLiteral("listLabel"));
    label->setGeometry(du.Rect(18, 11, 39, 8).adjusted(0, -2, 0, 2));

    m_editSearch = new QLineEdit(m_client);
    m_editSearch->setObjectName(QStringLiteral("searchEdit"));
    m_editSearch->setGeometry(du.Rect(113, 7, 271, 16));
    m_editSearch->installEventFilter(this);

    auto* search = new QPushButton(QStringLiteral("搜索"), m_client);
    search->setObjectName(QStringLiteral("searchButton"));
    search->setGeometry(du.Rect(398, 8, 40, 14));
    connect(search, &QPushButton::clicked, this, &CQuillbrookDlg::OnSearch);

    auto* next = new QPushButton(QStringLiteral("下一条"), m_client);
    next->setObjectName(QStringLiteral("nextButton"));
    next->setGeometry(du.Rect(442, 8, 40, 14));
    connect(next, &QPushButton::clicked, this, &CQuillbrookDlg::OnSearchNext);

    auto* hint = new QLabel(QStringLiteral("多个搜索词用 | 分开"), m_client);
    hint->setObjectName(QStringLiteral("searchHint"));
    hint->setGeometry(du.Rect(501, 12, 94, 8).adjusted(0, -2, 0, 2));

    m_btnClearAlert = new QPushButton(QStringLiteral("清除触发警示"), m_client);
    m_btnClearAlert->setObjectName(QStringLiteral("clearAlertButton"));
    m_btnClearAlert->setGeometry(du.Rect(811, 8, 71, 14));
    m_btnClearAlert->hide();
    connect(m_btnClearAlert, &QPushButton::clicked, this, &CQuillbrookDlg::OnClearAlert);

    // No button is the default: Enter closes the window (except in the search box).
    for (QPushButton* button : { search, next, m_btnClearAlert })
        button->setAutoDefault(false);
    for (QWidget* control : std::initializer_list<QWidget*> { label, m_editSearch, search, next, hint, m_btnClearAlert })
        m_topRow.push_back({ control, control->geometry() });

    m_model = std::make_unique<RowModel>();
    m_list = new QTreeView(m_client);
    m_list->setObjectName(QStringLiteral("dirList"));
    m_list->setModel(m_model.get());
    m_list->setGeometry(du.Rect(7, 27, 888, 303));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setItemsExpandable(false);
    m_list->setSortingEnabled(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setItemDelegate(new OneLineDelegate(m_list));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CQuillbrookDlg::OnRClickDirList);
    // A double click opens the row's folder, as "定位到存储位置" does for that row.
    connect(m_list, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { OnRowCommand(ID_OPEN_DIR, RowRef::Of(Rows(), index.row())); });
    connect(m_list->header(), &QHeaderView::sectionResized, this, &CQuillbrookDlg::OnColumnResized);
    // The selection mark is the row last selected; keyboard focus alone does not move it.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList selected = m_list->selectionModel()->selectedRows();
        if (!selected.isEmpty())
            m_selectionMark = selected.first().row();
    });

    m_templateClient = QSize(du.X(902), du.Y(343));
    m_templateSize = QSize(m_templateClient.width(), m_templateClient.height() + m_menu->sizeHint().height());
    FitToScreen();
}

void CQuillbrookDlg::CreateKeys()
{
    // F5 shows beside "重新加载" and reaches it through the menu bar, as a click does.
    for (QAction* popup : m_menu->actions())
        for (QAction* action : popup->menu()->actions())
            if (CommandOf(action) == ID_RELOAD)
                action->setShortcut(QKeySequence(Qt::Key_F5));
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        m_editSearch->setFocus(Qt::ShortcutFocusReason);
        m_editSearch->selectAll();
    });
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, &CQuillbrookDlg::OnSearchNext);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &CQuillbrookDlg::Quit);
}

void CQuillbrookDlg::FitToScreen()
{
    // The window opens at the top left of the screen's available area, not centred, and never
    // larger than that area with the window manager's frame around it.
    const QRect area = screen()->availableGeometry();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize room(area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());
    setMinimumSize(QSize(1024, 768).boundedTo(room));
    resize(m_templateSize.boundedTo(room));
    move(area.topLeft());
}

void CQuillbrookDlg::FitOnceFrameIsKnown()
{
    // A window manager tells the frame only after the window is mapped; fit again if it sticks out.
    const QWindow* window = windowHandle();
    if (!m_fitPending || !window || window->frameMargins().isNull())
        return;
    m_fitPending = false;
    if (isMaximized() || screen()->availableGeometry().contains(frameGeometry()))
        return;
    if (m_placeStored)
        PlaceWindow(geometry()); // kept where it was, moved in only as far as the frame needs
    else
        FitToScreen();
}

void CQuillbrookDlg::LayoutTopRow()
{
    std::vector<QRect> rects;
    for (const RowControl& control : m_topRow)
        rects.push_back(control.rect);
    const int width = m_client->width();
    if (width < m_templateClient.width()) {
        // Narrower than the template: the alert button comes left as far as the hint, then the search
        // box gives up width, so every control stays inside and in order.
        const DialogUnits du(font());
        const int margin = 14; // the list's margin
        QRect& edit = rects[1];
        const QRect& hint = rects[4];
        QRect& alert = rects[5];
        alert.moveLeft(qMax(hint.right() + 1 + du.X(10), width - margin - alert.width()));
        const int overflow = alert.right() + 1 + margin - width;
        const int give = qBound(0, overflow, edit.width() - du.X(60));
        edit.setWidth(edit.width() - give);
        for (std::size_t i = 2; i < rects.size(); ++i)
            rects[i].translate(-give, 0);
    }
    for (std::size_t i = 0; i < rects.size(); ++i)
        m_topRow[i].widget->setGeometry(rects[i]);
}

void CQuillbrookDlg::SetupColumns()
{
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    m_fittingColumns = true;
    for (int column = 0; column < kRowColumns; ++column)
        m_list->setColumnWidth(column, m_wantedWidths[size_t(column)]);
    m_fittingColumns = false;
    // A list never shown has no room yet: it is fitted as it is laid out.
    if (m_list->isVisible())
        FitColumnsToList();
}

bool CQuillbrookDlg::OnInitDialog(const QString& rootDir, bool showWhileLoading)
{
    setWindowIcon(m_hIcon);
    g_strRootDir = rootDir.isEmpty() ? QCoreApplication::applicationDirPath() : rootDir;
    while (g_strRootDir.size() > 1 && g_strRootDir.endsWith(u'/'))
        g_strRootDir.chop(1);
    if (g_strRootDir == QStringLiteral("/"))
        g_strRootDir.clear(); // the root of the file system: paths then begin with the separator
    SetCaption(kMainCaption); // with the root, where it is shown
    m_btnClearAlert->hide();
    RestoreWindowState();
    SetupColumns();
    if (m_tray)
        m_tray->SetToolTip(RootCaption());
    SetNotificationActivation([window = QPointer<CQuillbrookDlg>(this)] {
        if (window)
            window->BringToFront();
    });
    SetNotificationClearAlert([window = QPointer<CQuillbrookDlg>(this)] {
        if (window)
            window->OnClearAlert();
    });
    g_tNow = CurrentTime();
    // A tree on a file server takes a while to read: the window is there meanwhile.
    if (showWhileLoading)
        show();
    LoadDirList();
    m_timer.start();
    return true;
}

void CQuillbrookDlg::LoadDirList()
{
    m_work->RequestLoad();
}

bool CQuillbrookDlg::IsLoading() const
{
    return m_work->GetState() == FileWorkController::State::Loading;
}

bool CQuillbrookDlg::IsIdle() const
{
    return m_work->IsIdle();
}

void CQuillbrookDlg::UpdateData(bool save)
{
    if (save)
        m_strSearch = m_editSearch->text();
    else
        m_editSearch->setText(m_strSearch);
}

const RowList& CQuillbrookDlg::Rows() const
{
    return m_model->Rows();
}

int CQuillbrookDlg::GetItemCount() const
{
    return Rows().Count();
}

QString CQuillbrookDlg::GetItemText(int row, int column) const
{
    return Rows().Text(row, column);
}

void CQuillbrookDlg::SetItemText(int row, int column, const QString& text)
{
    m_model->SetText(row, column, text);
}

int CQuillbrookDlg::GetSelectionMark() const
{
    return m_selectionMark < GetItemCount() ? m_selectionMark : -1;
}

int CQuillbrookDlg::CommandRow() const
{
    if (!m_work->RowCommandsAvailable())
        return -1;
    return m_commandRow >= 0 ? m_commandRow : GetSelectionMark();
}

void CQuillbrookDlg::SelectRow(int row, Scroll scroll)
{
    if (row < 0 || row >= GetItemCount())
        return;
    const int horizontal = m_list->horizontalScrollBar()->value();
    const int vertical = m_list->verticalScrollBar()->value();
    const QModelIndex index = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (scroll == Scroll::IntoView) {
        // A result the user cannot see looks like no result: the row comes into view, its folder's
        // name at the left.
        m_list->scrollTo(index, QAbstractItemView::EnsureVisible);
        m_list->horizontalScrollBar()->setValue(m_list->horizontalScrollBar()->minimum());
    } else {
        m_list->horizontalScrollBar()->setValue(horizontal);
        m_list->verticalScrollBar()->setValue(vertical);
    }
    m_list->setFocus();
}

QString CQuillbrookDlg::RowFolder(int row) const
{
    return g_strRootDir + GetItemText(row, 0);
}

void CQuillbrookDlg::ClearSelection()
{
    m_list->selectionModel()->clear();
    m_selectionMark = -1;
}

void CQuillbrookDlg::OnCommand(int id)
{
    // While a copy runs the window takes no command but a reload, which waits for the copy; the
    // progress window soon covers the window.
    if (m_work->GetState() == FileWorkController::State::Archiving && id != ID_RELOAD)
        return;
    switch (id) {
    case ID_COPY_LIST: OnCopyListToClipboard(); break;
    case ID_SET_DESC_TIMER: OnSetDescAndTimer(); break;
    case ID_OPEN_DIR: OnOpenDirInExplorer(); break;
    case ID_ARCHIVE_PREV_YEAR: OnArchivePrevYear(); break;
    case ID_PAUSE_TIMER: OnPauseTimer(); break;
    case ID_RELOAD: OnReload(); break;
    case ID_LINK_EXTERNAL: OnLinkExternalDir(); break;
    case ID_CLEAR_MANAGE_INFO: OnClearManageInfo(); break;
    case ID_HELP: OnHelpPdf(); break;
    case ID_AUTOSTART: OnAutostart(); break;
    case ID_KEEP_IN_TRAY: OnKeepInTray(); break;
    default: break;
    }
}

void CQuillbrookDlg::OnSize(int sizeType)
{
    if (sizeType != SIZE_RESTORED && sizeType != SIZE_MAXIMIZED)
        return;
    const QRect client = m_client->rect();
    m_list->setGeometry(client.left() + 14, client.top() + 60, client.width() - 28, client.height() - 74);
}

QMenu* CQuillbrookDlg::CreateContextMenu(int row)
{
    auto* menu = new QMenu(this);
    BuildContextMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { OnInitMenuPopup(menu); });
    // The command acts on the row the menu was opened for, whatever is selected by then.
    const RowRef ref = RowRef::Of(Rows(), row);
    for (QAction* action : menu->actions())
        connect(action, &QAction::triggered, this, [this, action, ref] { OnRowCommand(CommandOf(action), ref); });
    return menu;
}

void CQuillbrookDlg::OnRowCommand(int id, const RowRef& ref)
{
    const int row = ref.Resolve(Rows());
    if (id == 0 || row < 0)
        return; // the row is gone (a reload came meanwhile): nothing to act on
    m_commandRow = row;
    OnCommand(id);
    m_commandRow = -1;
}

void CQuillbrookDlg::OnRClickDirList(const QPoint&)
{
    if (m_list->selectionModel()->selectedRows().isEmpty())
        return;
    TrackContextMenu(QCursor::pos());
}

void CQuillbrookDlg::OnContextMenuKey()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    // The menu opens below the left end of the row it is for, which is brought into view first.
    m_list->scrollTo(selected.first());
    const QRect row = m_list->visualRect(selected.first());
    TrackContextMenu(m_list->viewport()->mapToGlobal(QPoint(qMax(row.left(), 0), row.bottom() + 1)));
}

void CQuillbrookDlg::TrackContextMenu(const QPoint& globalPos)
{
    // Opened without a loop of its own: the window goes on ticking, and the menu's command is
    // taken when it is chosen.
    QMenu* menu = CreateContextMenu(GetSelectionMark());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void CQuillbrookDlg::OnInitMenuPopup(QMenu* popup)
{
    const QList<QAction*> actions = popup->actions();
    if (actions.isEmpty() || CommandOf(actions.first()) != ID_SET_DESC_TIMER)
        return;
    const bool enabled = CommandRow() != -1;
    for (QAction* action : actions) {
        switch (CommandOf(action)) {
        case ID_SET_DESC_TIMER:
        case ID_OPEN_DIR:
        case ID_PAUSE_TIMER:
        case ID_ARCHIVE_PREV_YEAR:
        case ID_CLEAR_MANAGE_INFO: action->setEnabled(enabled); break;
        default: break;
        }
    }
}

void CQuillbrookDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // With no default button Enter acts as OK, which closes the window (in the search box
            // it searches instead: see eventFilter).
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

bool CQuillbrookDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editSearch && event->type() == QEvent::KeyPress) {
        // Enter in the search box searches, as "搜索" does, instead of closing the window and with
        // it every reminder.
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier)) {
            OnSearch();
            return true;
        }
    }
    if ((watched == m_list || watched == m_list->viewport()) && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The Menu key: at the selected row, not at the mouse pointer wherever that is.
        OnContextMenuKey();
        return true;
    }
    // The list got wider or narrower (not taller: a horizontal scroll bar that comes with a
    // description dragged wide must not take the drag back).
    if (watched == m_list->viewport() && event->type() == QEvent::Resize
        && static_cast<QResizeEvent*>(event)->oldSize().width() != static_cast<QResizeEvent*>(event)->size().width())
        FitColumnsToList();
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_list->indexAt(mouse->position().toPoint()).isValid()) {
            // A click below the rows leaves no row selected and no selection mark.
            ClearSelection();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CQuillbrookDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int menuHeight = m_menu->sizeHint().height();
    m_menu->setGeometry(0, 0, width(), menuHeight);
    m_client->setGeometry(0, menuHeight, width(), height() - menuHeight);
    LayoutTopRow();
    // The list keeps its template rectangle until the first resize, unless that rectangle does not
    // fit: then it fills the rest of a window smaller than the template.
    const bool smaller = m_client->width() < m_templateClient.width() || m_client->height() < m_templateClient.height();
    if (m_laidOut || smaller)
        OnSize(isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED);
    FitOnceFrameIsKnown();
    StoreGeometry();
}

void CQuillbrookDlg::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    FitOnceFrameIsKnown();
    StoreGeometry();
}

void CQuillbrookDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_laidOut = true;
    FitOnceFrameIsKnown();
}

void CQuillbrookDlg::done(int result)
{
    StoreGeometry();
    if (ClosingHides()) {
        // Kept in the tray: the window goes, the timer and every job go on.
        hide();
        return;
    }
    // Closed however it is (the close box, Esc, Enter): every job is dropped at once.
    m_work->Close();
    m_timer.stop();
    if (m_tray)
        m_tray->Hide();
    QDialog::done(result);
}

void CQuillbrookDlg::BringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CQuillbrookDlg::BeforeLoad()
{
    // The rows go: so does every mark of one, and the folder commands wait for the rows to return.
    m_selectionMark = -1;
    m_commandRow = -1;
}

void CQuillbrookDlg::AfterLoad()
{
    // As after every load, no row is selected and the search starts afresh.
    ClearSelection();
    m_list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    ClearSearchResults();
}

CQuillbrookDlg::~CQuillbrookDlg()
{
    // The jobs go first, letting their workers go; then the view lets go of the rows.
    m_work.reset();
    m_list->setModel(nullptr);
}
