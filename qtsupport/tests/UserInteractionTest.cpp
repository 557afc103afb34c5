// The seam without windows: scripted answers, the installed instance, and the default of a
// process that has no window library.
#include <qtsupport/UserInteraction.h>

#include <gtest/gtest.h>

#include <testing/QtCoreTestApp.h>

using namespace varno::qtsupport;
using Answer = UserInteraction::Answer;
using Buttons = UserInteraction::Buttons;

TEST(ScriptedUserInteraction, RecordsTextsAndGivesQueuedAnswersThenSafeOnes)
{
    ScriptedUserInteraction ui;
    ui.message("unable to open file", "Error", UserInteraction::Icon::Critical);
    ui.queueAnswer(Answer::Yes);
    EXPECT_EQ(ui.question("Clear the data log?", "kestal", Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(ui.question("Again?", "kestal", Buttons::YesNo), Answer::No);
    EXPECT_EQ(ui.question("Go on?", "kestal", Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(ui.question("Go on?", "kestal", Buttons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(ui.texts(),
              (QStringList{"unable to open file", "Clear the data log?", "Again?", "Go on?",
                           "Go on?"}));
    ASSERT_EQ(ui.events().size(), 5u);
    EXPECT_EQ(ui.events()[0].caption, "Error");
    EXPECT_EQ(ui.events()[0].icon, UserInteraction::Icon::Critical);
    EXPECT_EQ(ui.events()[1].buttons, Buttons::YesNo);
    EXPECT_FALSE(ui.answersLeft());
}

TEST(ScriptedUserInteraction, ChoosersTakeQueuedPathsInOrderAndCancelWhenNoneLeft)
{
    ScriptedUserInteraction ui;
    ui.queueFileName("/data/a.vrn");
    ui.queueFileNames({"/data/b.vrn", "/data/c.vrn"});
    ui.queueFileName("/data");
    EXPECT_EQ(ui.openFileName("Open", "/data", kDataFileFilter), "/data/a.vrn");
    EXPECT_EQ(ui.openFileNames("Open", "/data", kDataFileFilter),
              (QStringList{"/data/b.vrn", "/data/c.vrn"}));
    EXPECT_EQ(ui.existingFolder("Choose the Main Data Folder", "/"), "/data");
    EXPECT_EQ(ui.openFileName("Open", "", ""), "");
    EXPECT_TRUE(ui.openFileNames("Open", "", "").isEmpty());
    EXPECT_EQ(ui.saveFileName("Save", "/x.csv", ""), "");
    EXPECT_EQ(ui.events()[0].filter, kDataFileFilter);
    EXPECT_EQ(ui.events()[2].kind, ScriptedUserInteraction::Kind::Folder);
    EXPECT_EQ(ui.events()[2].caption, "Choose the Main Data Folder");
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST(UserInteraction, WithoutWindowsTextsGoToStandardErrorAndNothingIsChosen)
{
    varno::testing::qtCoreTestApp();
    UserInteraction& ui = userInteraction();
    EXPECT_EQ(dynamic_cast<ScriptedUserInteraction*>(&ui), nullptr);
    ::testing::internal::CaptureStderr();
    ui.message("unable to open file\r\nHill Top.vrn", "Error", UserInteraction::Icon::Critical);
    EXPECT_EQ(ui.question("Clear the data log?", "kestal", Buttons::YesNo), Answer::No);
    EXPECT_EQ(ui.question("Go on?", "kestal", Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: unable to open file\nHill Top.vrn\nkestal: Clear the data log?\nkestal: Go on?\n");
    EXPECT_EQ(ui.openFileName("Open", "/data", kDataFileFilter), "");
    EXPECT_TRUE(ui.openFileNames("Open", "/data", kDataFileFilter).isEmpty());
    EXPECT_EQ(ui.existingFolder("Choose", "/data"), "");
    WaitCursor nothingToShow(ui);

    // An installed instance takes over, and the default comes back when it goes.
    ScriptedUserInteraction scripted;
    setUserInteraction(&scripted);
    userInteraction().message("hello", "caption");
    setUserInteraction(nullptr);
    EXPECT_EQ(scripted.texts(), QStringList{"hello"});
    EXPECT_EQ(&userInteraction(), &ui);
}
