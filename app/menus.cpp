#include "app/menus.h"

#include "app/resource.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

struct Item
{
    int id; // 0: separator
    const char16_t* text;
};

void AddItems(QMenu* menu, std::initializer_list<Item> items)
{
    for (const Item& item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf16(item.text));
        action->setData(item.id);
        action->setStatusTip(CommandPrompt(item.id));
    }
}

} // namespace

QString CommandPrompt(int id)
{
    switch (id) {
    case ID_ARCHIVE_PREV_YEAR: return QStringLiteral("将目录下文档移动到年份名称的目录下");
    case ID_COPY_LIST: return QStringLiteral("复制列表信息到剪贴板，便于自由处理");
    case ID_SET_DESC_TIMER: return QStringLiteral("修改描述信息，调整定时设置");
    case ID_OPEN_DIR: return QStringLiteral("用资源管理器打开文档目录");
    case ID_RELOAD: return QStringLiteral("重新加载，刷新列表");
    case ID_LINK_EXTERNAL: return QStringLiteral("用软链接方式将不是根目录下的外部目录纳入管理");
    case ID_CLEAR_MANAGE_INFO: return QStringLiteral("删除描述及定时设置");
    case ID_AUTOSTART: return QStringLiteral("登录桌面时自动启动本程序，打开当前根目录");
    case ID_KEEP_IN_TRAY: return QStringLiteral("关闭窗口时隐藏到托盘，定时照常提醒；从托盘菜单退出程序");
    default: return {};
    }
}

int CommandOf(const QAction* action)
{
    return action ? action->data().toInt() : 0;
}

void BuildMainMenu(QMenuBar* menuBar)
{
    AddItems(menuBar->addMenu(QStringLiteral("视图")),
             { { ID_COPY_LIST, u"复制所有列表内容" }, { 0, nullptr }, { ID_RELOAD, u"重新加载" }, { 0, nullptr },
               { ID_LINK_EXTERNAL, u"软链接引入外部目录..." } });
    AddItems(menuBar->addMenu(QStringLiteral("目录")),
             { { ID_SET_DESC_TIMER, u"设置描述及定时..." }, { 0, nullptr }, { ID_OPEN_DIR, u"定位到存储位置" },
               { 0, nullptr }, { ID_PAUSE_TIMER, u"暂停定时" }, { 0, nullptr },
               { ID_ARCHIVE_PREV_YEAR, u"归档到上年度" }, { 0, nullptr },
               { ID_CLEAR_MANAGE_INFO, u"清除描述及定时" } });
    AddItems(menuBar->addMenu(QStringLiteral("帮助")), { { ID_HELP, u"说明" } });
}

QAction* AddAutostartItem(QMenuBar* menuBar)
{
    QMenu* view = menuBar->actions().constFirst()->menu();
    AddItems(view, { { 0, nullptr }, { ID_AUTOSTART, u"登录时自动启动" } });
    QAction* item = view->actions().constLast();
    item->setCheckable(true);
    return item;
}

QAction* AddKeepInTrayItem(QMenuBar* menuBar)
{
    QMenu* view = menuBar->actions().constFirst()->menu();
    AddItems(view, { { 0, nullptr }, { ID_KEEP_IN_TRAY, u"关闭窗口后在托盘中继续运行" } });
    QAction* item = view->actions().constLast();
    item->setCheckable(true);
    return item;
}

void BuildContextMenu(QMenu* menu)
{
    menu->setTitle(QStringLiteral("右键"));
    AddItems(menu, { { ID_SET_DESC_TIMER, u"设置描述及定时..." }, { 0, nullptr }, { ID_OPEN_DIR, u"定位到存储位置" },
                     { 0, nullptr }, { ID_PAUSE_TIMER, u"暂停定时" }, { 0, nullptr },
                     { ID_ARCHIVE_PREV_YEAR, u"归档到上年度" }, { 0, nullptr },
                     { ID_CLEAR_MANAGE_INFO, u"删除管理信息" } });
}
