#pragma once
// Command numbers of the menus; every menu item carries its number as its action's data.

constexpr int ID_ARCHIVE_PREV_YEAR = 32785; // 归档到上年度
constexpr int ID_PAUSE_TIMER = 32786;       // 暂停定时
constexpr int ID_COPY_LIST = 32788;         // 复制所有列表内容
constexpr int ID_SET_DESC_TIMER = 32789;    // 设置描述及定时...
constexpr int ID_OPEN_DIR = 32790;          // 定位到存储位置
constexpr int ID_RELOAD = 32792;            // 重新加载
constexpr int ID_LINK_EXTERNAL = 32794;     // 软链接引入外部目录...
constexpr int ID_CLEAR_MANAGE_INFO = 32797; // 清除描述及定时 / 删除管理信息
constexpr int ID_AUTOSTART = 32798;         // 登录时自动启动 (installed program only)
constexpr int ID_KEEP_IN_TRAY = 32799;      // 关闭窗口后在托盘中继续运行
constexpr int ID_HELP = 57670;              // 说明

// Control numbers, also the controls' object names' suffixes.
constexpr int IDC_SEARCH_EDIT = 1004;
constexpr int IDC_SEARCH = 1007;
constexpr int IDC_SEARCH_NEXT = 1009;
constexpr int IDC_DIR_LIST = 1010;
constexpr int IDC_CLEAR_ALERT = 1026;
