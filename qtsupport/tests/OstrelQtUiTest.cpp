#include <qtsupport/OstrelQtUi.h>

#include <gtest/gtest.h>

#include <testing/QtTestApp.h>
#include <qtsupport/UserInteraction.h>

using namespace varno::qtsupport;

TEST(OstrelQtUi, LibraryDialogsGoThroughTheCurrentInteraction)
{
    varno::testing::qtTestApp();
    ScriptedUserInteraction ui;
    setUserInteraction(&ui);
    installOstrelQtUi();

    ostrel_ui().ShowMessage("unable to open file", "Error");
    ui.queueFileName("/data/x [1].vrn");
    EXPECT_EQ(ostrel_ui().ChooseFileToOpen(
                  "vrn", "*.vrn", "Varno Data Files (*.vrn)|*.vrn|All Files (*.*)|*.*||"),
              "/data/x [1].vrn");
    EXPECT_EQ(ostrel_ui().ChooseFileToOpen("vrn", "*.vrn", ""), "");
    ostrel_ui().BeginWaitCursor();
    EXPECT_EQ(ui.waitDepth(), 1);
    ostrel_ui().EndWaitCursor();
    EXPECT_EQ(ui.waitDepth(), 0);

    ASSERT_EQ(ui.events().size(), 3u);
    EXPECT_EQ(ui.events()[0].text, "unable to open file");
    EXPECT_EQ(ui.events()[0].caption, "Error");
    EXPECT_EQ(ui.events()[0].icon, UserInteraction::Icon::Critical);
    EXPECT_EQ(ui.events()[1].filter, "Varno Data Files (*.vrn);;All Files (*)");
    EXPECT_EQ(ui.events()[2].filter, kDataFileFilter);

    ostrel_setui(nullptr);
    setUserInteraction(nullptr);
}
