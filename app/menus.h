#pragma once
// The menu bar and the context menu: texts, command numbers and prompts (shown as status tips).
#include <QString>

class QMenu;
class QMenuBar;
class QObject;
class QWidget;

// The prompt of a command, empty for commands that have none.
QString CommandPrompt(int id);

// Builds the menu bar's three popups into menuBar.
void BuildMainMenu(QMenuBar* menuBar);
// Appends a separator and the checkable item "登录时自动启动" to the "视图" popup; returns the item.
class QAction* AddAutostartItem(QMenuBar* menuBar);
// Appends a separator and the checkable item "关闭窗口后在托盘中继续运行" to the end of "视图".
class QAction* AddKeepInTrayItem(QMenuBar* menuBar);
// Builds the context menu's items into menu.
void BuildContextMenu(QMenu* menu);
// The command number an action carries, 0 for separators.
int CommandOf(const class QAction* action);
