#pragma once

#include <cstdint>
#include <vector>

namespace varno::kestal {

// The terminal's commands: ids, labels, prompts, accelerators and enabling rules in one table.

enum CommandId : int {
    ID_APP_EXIT = 57665,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_EDIT_COPY = 57634,
    ID_APP_ABOUT = 57664,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_SETUP = 32771,
    ID_LOGIN = 32772,
    ID_TRANSFER = 32773,
    ID_VIEW = 32774,
    ID_FOLDER_EXPORT = 32775,
    ID_PREFERENCES = 32776,
    ID_NEW_MEASUREMENT = 32779,
    ID_INSERT_COMMENT = 32780,
    ID_COPY_CLIPBOARD = 32785,
    ID_ADD_STATION = 32788,
    ID_EDIT_STATION = 32789,
    ID_DELETE_STATION = 32790,
    ID_CONNECT = 32791,
    ID_DISCONNECT = 32792,
    ID_TRANSFER_NEW = 32796,
    ID_SET_CLOCK = 32797,
    ID_CONVERT = 32801,
    ID_FOLDER_DOCUMENTS = 32803,
    ID_MANUAL = 32804,
    ID_IMPORT = 32805,
    ID_COMMAND_INTERFACE = 32806,
    ID_MONTHLY_REPORTS = 32820,
    ID_DAILY_REPORTS = 32821,
    ID_VIEW_GRAPHICS = 32822,
};

// What enabling depends on.
struct CommandState {
    bool connected = false;
    bool stationSelected = false;
    uint32_t statusFlags = 0;
    bool fileListView = false; // the data-file list exists (report option)
};

bool IsCommandEnabled(int id, const CommandState& state);

struct CommandInfo {
    int id;
    const char* label;   // menu text with "&"; "" for commands without a menu item
    const char* prompt;  // status-bar prompt; "" for none
    const char* tooltip; // "" for none
    const char* shortcut; // key sequence as text ("Ctrl+G"); "" for none
};

// Every command, in menu order; commands without a menu item at the end.
const std::vector<CommandInfo>& Commands();
const CommandInfo* FindCommand(int id);

// The menu bar: each menu's title and its items (0 is a separator).
struct MenuInfo {
    const char* title;
    std::vector<int> items;
};
const std::vector<MenuInfo>& Menus();

// Toolbar buttons in order (0 is a separator).
const std::vector<int>& ToolbarButtons();

} // namespace varno::kestal
