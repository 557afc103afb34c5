#include <kestal/stations/Commands.h>

namespace varno::kestal {

bool IsCommandEnabled(int id, const CommandState& s)
{
    switch (id) {
    case ID_ADD_STATION:
    case ID_PREFERENCES:
        return !s.connected;
    case ID_EDIT_STATION:
    case ID_CONNECT:
        return !s.connected && s.stationSelected;
    case ID_DELETE_STATION:
        return false;
    case ID_IMPORT:
    case ID_CONVERT:
        // Never work on a folder made from no station.
        return !s.connected && s.stationSelected;
    case ID_DISCONNECT:
    case ID_SETUP:
    case ID_NEW_MEASUREMENT:
    case ID_INSERT_COMMENT:
    case ID_SET_CLOCK:
    case ID_COMMAND_INTERFACE:
    case ID_TRANSFER:
    case ID_TRANSFER_NEW:
        return s.connected;
    case ID_LOGIN:
        return s.connected && (s.statusFlags & 0x200) != 0;
    case ID_FOLDER_EXPORT:
    case ID_FOLDER_DOCUMENTS:
        return s.stationSelected;
    case ID_MONTHLY_REPORTS:
    case ID_DAILY_REPORTS:
        return !s.connected && s.fileListView;
    default:
        return true;
    }
}

const std::vector<CommandInfo>& Commands()
{
    static const std::vector<CommandInfo> table = {
        {ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "", ""},
        {ID_ADD_STATION, "&Add Station...", "Adds a new station to the list", "Add Station", ""},
        {ID_EDIT_STATION, "&Edit Station...", "Edits connection and name for the selected station", "Edit Station", ""},
        {ID_PREFERENCES, "&Preferences...", "Edits program preferences", "Preferences", ""},
        {ID_VIEW_TOOLBAR, "&Toolbar", "Shows or hides the toolbar", "Toggle ToolBar", ""},
        {ID_VIEW_STATUS_BAR, "&Status Bar", "Shows or hides the status bar", "Toggle StatusBar", ""},
        {ID_CONNECT, "&Connect", "Connects to the selected instrument", "Connect", ""},
        {ID_DISCONNECT, "&Disconnect", "Disconnects from the instrument", "Disconnect", ""},
        {ID_LOGIN, "&Login...", "Changes userlevel", "Login", ""},
        {ID_NEW_MEASUREMENT, "Start &new Measurement...", "Edits the measurement title and starts a new measurement", "Start new Measurement", ""},
        {ID_INSERT_COMMENT, "&Insert Comment...", "Inserts a comment into the data log", "Insert Comment", ""},
        {ID_SETUP, "&Setup...", "Edits the instrument setup", "Edit Setup", ""},
        {ID_SET_CLOCK, "Set Cl&ock...", "Sets the instrument clock", "Set Clock", ""},
        {ID_COMMAND_INTERFACE, "Co&mmand Interface...", "Opens a direct command interface to the instrument", "", ""},
        {ID_TRANSFER_NEW, "Transfer &new Files", "Transfers all new data files to the PC", "Transfer all new Files", ""},
        {ID_VIEW, "&View", "Shows the selected files in a separate window", "View", ""},
        {ID_CONVERT, "Con&vert ...", "", "", ""},
        {ID_COPY_CLIPBOARD, "&Copy to Clipboard", "Copies the selected files to the clipboard", "Copy to Clipboard", ""},
        {ID_IMPORT, "&Import Files ...", "", "", ""},
        {ID_FOLDER_EXPORT, "E&xported Data", "Opens the folder containing exported data", "", ""},
        {ID_FOLDER_DOCUMENTS, "&Documents", "Opens the folder for your station related documents", "", ""},
        {ID_MANUAL, "&Manual", "Opens the user manual", "", ""},
        {ID_APP_ABOUT, "&About kestal...", "Display program information, version number and copyright", "About", ""},
        // Without a menu item.
        {ID_TRANSFER, "&Transfer marked file(s)", "Transfers the selected data files to the PC", "Transfer to PC", ""},
        {ID_DELETE_STATION, "Delete station", "Deletes the selected station from the list", "", ""},
        {ID_MONTHLY_REPORTS, "Monthly Reports", "Show monthly reports", "Monthly Reports", ""},
        {ID_DAILY_REPORTS, "Daily Reports", "Show daily reports", "Daily Reports", ""},
        {ID_VIEW_GRAPHICS, "&View (Graphics)", "", "", "Ctrl+G"},
        {ID_EDIT_COPY, "&Copy", "Copy the selection and put it on the Clipboard", "Copy", "Ctrl+C"},
        {ID_FILE_NEW, "&New", "Create a new document", "New", "Ctrl+N"},
        {ID_FILE_OPEN, "&Open...", "Open an existing document", "Open", "Ctrl+O"},
        {ID_FILE_SAVE, "&Save", "Save the active document", "Save", "Ctrl+S"},
    };
    return table;
}

const CommandInfo* FindCommand(int id)
{
    for (const CommandInfo& c : Commands())
        if (c.id == id)
            return &c;
    return nullptr;
}

const std::vector<MenuInfo>& Menus()
{
    static const std::vector<MenuInfo> menus = {
        {"&File", {ID_APP_EXIT}},
        {"&Edit", {ID_ADD_STATION, ID_EDIT_STATION, 0, ID_PREFERENCES}},
        {"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}},
        {"&Instrument", {ID_CONNECT, ID_DISCONNECT, ID_LOGIN, 0, ID_NEW_MEASUREMENT, ID_INSERT_COMMENT, 0,
                         ID_SETUP, ID_SET_CLOCK, ID_COMMAND_INTERFACE}},
        {"&Data", {ID_TRANSFER_NEW, 0, ID_VIEW, ID_CONVERT, 0, ID_COPY_CLIPBOARD, 0, ID_IMPORT}},
        {"F&olders", {ID_FOLDER_EXPORT, ID_FOLDER_DOCUMENTS}},
        {"&Help", {ID_MANUAL, ID_APP_ABOUT}},
    };
    return menus;
}

const std::vector<int>& ToolbarButtons()
{
    static const std::vector<int> buttons = {ID_CONNECT, ID_DISCONNECT, 0, ID_LOGIN, ID_SETUP, 0,
                                             ID_EDIT_COPY, 0, ID_MONTHLY_REPORTS, ID_DAILY_REPORTS, 0,
                                             ID_APP_ABOUT};
    return buttons;
}

} // namespace varno::kestal
