// Command enabling from the document's state.
#include <kestal/stations/Commands.h>

#include <gtest/gtest.h>

#include <set>

using namespace varno::kestal;

TEST(KestalCommandEnabling, BeforeAnyConnection)
{
    CommandState none;
    none.fileListView = true;
    CommandState selected = none;
    selected.stationSelected = true;

    EXPECT_FALSE(IsCommandEnabled(ID_CONNECT, none));
    EXPECT_TRUE(IsCommandEnabled(ID_CONNECT, selected));
    for (int id : {ID_DISCONNECT, ID_LOGIN, ID_SETUP, ID_SET_CLOCK, ID_COMMAND_INTERFACE,
                   ID_NEW_MEASUREMENT, ID_INSERT_COMMENT, ID_TRANSFER, ID_TRANSFER_NEW})
        EXPECT_FALSE(IsCommandEnabled(id, selected)) << id;
    for (int id : {ID_ADD_STATION, ID_PREFERENCES, ID_CONVERT, ID_IMPORT, ID_EDIT_STATION,
                   ID_FOLDER_EXPORT, ID_FOLDER_DOCUMENTS, ID_MONTHLY_REPORTS, ID_DAILY_REPORTS,
                   ID_VIEW, ID_VIEW_GRAPHICS, ID_COPY_CLIPBOARD, ID_EDIT_COPY, ID_MANUAL, ID_APP_ABOUT})
        EXPECT_TRUE(IsCommandEnabled(id, selected)) << id;
    // Nothing may work on a folder made from no station.
    for (int id : {ID_IMPORT, ID_CONVERT, ID_FOLDER_EXPORT, ID_FOLDER_DOCUMENTS, ID_EDIT_STATION})
        EXPECT_FALSE(IsCommandEnabled(id, none)) << id;
    EXPECT_TRUE(IsCommandEnabled(ID_ADD_STATION, none));
    CommandState noList = selected;
    noList.fileListView = false;
    EXPECT_FALSE(IsCommandEnabled(ID_MONTHLY_REPORTS, noList));
}

TEST(KestalCommandEnabling, WhileConnected)
{
    CommandState s;
    s.connected = true;
    s.stationSelected = true;
    s.fileListView = true;
    EXPECT_FALSE(IsCommandEnabled(ID_LOGIN, s));
    s.statusFlags = 0x200;
    EXPECT_TRUE(IsCommandEnabled(ID_LOGIN, s));
    for (int id : {ID_ADD_STATION, ID_EDIT_STATION, ID_PREFERENCES, ID_IMPORT, ID_CONVERT,
                   ID_CONNECT, ID_MONTHLY_REPORTS, ID_DAILY_REPORTS})
        EXPECT_FALSE(IsCommandEnabled(id, s)) << id;
    for (int id : {ID_DISCONNECT, ID_SETUP, ID_TRANSFER_NEW, ID_VIEW, ID_FOLDER_EXPORT})
        EXPECT_TRUE(IsCommandEnabled(id, s)) << id;
}

TEST(KestalCommandEnabling, DeleteStationNeverAndTableComplete)
{
    CommandState s;
    s.stationSelected = true;
    EXPECT_FALSE(IsCommandEnabled(ID_DELETE_STATION, s));
    std::set<int> ids;
    for (const CommandInfo& c : Commands())
        EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    for (const MenuInfo& m : Menus())
        for (int id : m.items)
            EXPECT_TRUE(id == 0 || FindCommand(id)) << id;
    for (int id : ToolbarButtons())
        EXPECT_TRUE(id == 0 || FindCommand(id)) << id;
}
