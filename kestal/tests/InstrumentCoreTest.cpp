// The instrument commands without windows, against simulated instruments: the measurement
// setup with its flags, user levels and refusals, the functions with the refusal loop, the
// modem timers, the clock, new measurements and comments, the command line, the lock
// convention and a line that drops under a change.
#include <kestal/instrument/CommandLine.h>
#include <kestal/instrument/FunctionList.h>
#include <kestal/instrument/FunctionText.h>
#include <kestal/instrument/MeasurementSetup.h>
#include <kestal/instrument/ModemTimers.h>

#include "InstrumentFixture.h"
#include "TestConfig.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

using namespace varno::kestal;

namespace {

class KestalInstrument : public varno::kestal::testing::InstrumentFixture {
protected:
    static void SetUpTestSuite() { varno::kestal::testing::coreTestApp(); }
};

// ------------------------------------------------------------------ measurement setup

TEST_F(KestalInstrument, SetupReadsAndWritesOnlyWhatDiffers)
{
    connect();
    MeasurementSetup setup(session());
    const MeasurementAccess access = setup.ReadAccess();
    EXPECT_EQ(access.flags, 0x3E0u);
    EXPECT_TRUE(access.editable);
    MeasurementValues v = setup.Read();
    EXPECT_EQ(v.samplePeriod, " 1 s");
    EXPECT_EQ(v.statisticPeriod, "10 min");
    EXPECT_EQ(v.timestamp, " 1 h");
    EXPECT_EQ(v.preheat, "OFF");
    EXPECT_EQ(v.mode, 0x0Cu);

    // The values the instrument has already: nothing is sent, nothing fails.
    const uint64_t generation = load("hill").generation;
    EXPECT_TRUE(setup.Write(v));
    EXPECT_EQ(load("hill").generation, generation);

    v.samplePeriod = " 2 s";
    v.statisticPeriod = " 5 min";
    v.timestamp = "12 h";
    v.preheat = "10 s";
    v.sampleLength = 1;
    v.dataFormat = 1;
    EXPECT_TRUE(setup.Write(v));
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
    const varno::sim::Instrument stored = load("hill");
    EXPECT_EQ(stored.samplePeriod, 2);
    EXPECT_EQ(stored.statPeriod, 300);
    EXPECT_EQ(stored.timestampPeriod, 43200);
    EXPECT_EQ(stored.preheat, 10);
    EXPECT_EQ(stored.mode, 0x0Fu);

    // "OFF" writes 0; "normal" and "long" clear the bits again.
    v = setup.Read();
    EXPECT_EQ(v.sampleLength, 1);
    v.preheat = "OFF";
    v.sampleLength = 0;
    v.dataFormat = 0;
    EXPECT_TRUE(setup.Write(v));
    EXPECT_EQ(load("hill").preheat, 0);
    EXPECT_EQ(load("hill").mode, 0x0Cu);
    EXPECT_EQ(ui.waitDepth(), 0);
}

TEST_F(KestalInstrument, SetupNamesWhatTheInstrumentDidNotTake)
{
    connect();
    modify("hill", [](varno::sim::Instrument& in) { in.faults.refuseSettings = true; });
    MeasurementSetup setup(session());
    MeasurementValues v = setup.Read();
    v.samplePeriod = "10 s";
    v.timestamp = "24 h";
    EXPECT_FALSE(setup.Write(v));
    EXPECT_EQ(messages(), QStringList{"Failed setting measurement parameters: measure period, timestamp"});
    EXPECT_EQ(setup.Read().samplePeriod, " 1 s");

    // All five, in their order.
    ui.clear();
    v.statisticPeriod = " 1 h";
    v.preheat = " 2 s";
    v.dataFormat = 1;
    EXPECT_FALSE(setup.Write(v));
    EXPECT_EQ(messages(), QStringList{"Failed setting measurement parameters: measure period, statistic period, "
                                      "timestamp, preheat, mode (data format or sample time)"});

    // A value that the instrument rounds fails as well; typed text it cannot read too.
    modify("hill", [](varno::sim::Instrument& in) { in.faults.refuseSettings = false; });
    ui.clear();
    v = setup.Read();
    v.samplePeriod = "7 s";
    v.timestamp = "soon";
    EXPECT_FALSE(setup.Write(v));
    EXPECT_EQ(messages(), QStringList{"Failed setting measurement parameters: measure period, timestamp"});
    EXPECT_EQ(setup.Read().samplePeriod, " 5 s");
}

TEST_F(KestalInstrument, SetupLeavesAloneWhatTheInstrumentDoesNotOffer)
{
    // Neither preheat nor the two mode choices.
    connect("varno", [](varno::sim::Instrument& in) {
        in.statusFlags = 0x300;
        in.preheat = 2;
    });
    MeasurementSetup setup(session());
    EXPECT_EQ(setup.ReadAccess().flags, 0x300u);
    MeasurementValues v = setup.Read();
    const uint64_t generation = load("hill").generation;
    v.preheat = "10 s";
    v.sampleLength = 1;
    v.dataFormat = 1;
    EXPECT_TRUE(setup.Write(v)); // never written, never reported
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
    EXPECT_EQ(load("hill").generation, generation);
    EXPECT_EQ(load("hill").preheat, 2);

    // Only the data format: its bit changes, the sample length's never.
    modify("hill", [](varno::sim::Instrument& in) { in.statusFlags = 0x380; });
    doc->GetLink()->Update();
    v = setup.Read();
    v.sampleLength = 1;
    v.dataFormat = 1;
    EXPECT_TRUE(setup.Write(v));
    EXPECT_EQ(load("hill").mode, 0x0Eu);
}

TEST_F(KestalInstrument, RestrictedUserSeesTheSetupButSendsNothing)
{
    connect("read");
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 1);
    MeasurementSetup setup(session());
    EXPECT_FALSE(setup.ReadAccess().editable);
    const uint64_t generation = load("hill").generation;
    EXPECT_TRUE(setup.Write(setup.Read()));
    EXPECT_EQ(load("hill").generation, generation);
    // Were the boxes not disabled, the instrument would refuse.
    MeasurementValues v = setup.Read();
    v.samplePeriod = " 5 s";
    EXPECT_FALSE(setup.Write(v));
    EXPECT_EQ(messages(), QStringList{"Failed setting measurement parameters: measure period"});
}

// ------------------------------------------------------------------ functions

class KestalFunctions : public KestalInstrument {
protected:
    // The editor as the user drives it: each answer changes what it is shown, or cancels.
    FunctionList list(std::deque<std::function<bool(FunctionEdit&)>>& answers)
    {
        return FunctionList(session(), [this, &answers](FunctionEdit& e) {
            shown.push_back(e);
            if (answers.empty())
                return false;
            auto answer = answers.front();
            answers.pop_front();
            return answer(e);
        });
    }
    std::vector<FunctionEdit> shown;
};

TEST_F(KestalFunctions, ListsAddsChangesAndDeletes)
{
    connect();
    std::deque<std::function<bool(FunctionEdit&)>> answers;
    FunctionList functions = list(answers);
    functions.Refresh();
    const size_t before = functions.Rows().size();
    ASSERT_GT(before, 0u);
    EXPECT_TRUE(functions.CanEdit());

    answers.push_back([](FunctionEdit& e) {
        e.name = "gust";
        e.definition = NormaliseDefinitionText("a*1,5");
        e.flags = kStatMax | kStatMean;
        return true;
    });
    functions.Add();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].name.isEmpty());
    EXPECT_EQ(shown[0].flags, kStatMean); // a new function: mean only
    ASSERT_EQ(functions.Rows().size(), before + 1);
    const InstrumentFunction& added = functions.Rows().back();
    EXPECT_EQ(added.name, "gust");
    EXPECT_EQ(added.definition, "a * 1.5 ");
    EXPECT_EQ(added.flags, 0x05);
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();

    // Change: the editor is filled from the instrument.
    answers.push_back([](FunctionEdit& e) {
        e.flags = kStatMean360 | kStatSigma;
        return true;
    });
    functions.Change(int(before));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].name, "gust");
    EXPECT_EQ(shown[1].definition, "a * 1.5 ");
    EXPECT_EQ(shown[1].flags, 0x05);
    EXPECT_EQ(functions.Rows().back().flags, 0x12);
    EXPECT_EQ(load("hill").functions.back().flags, 0x12);

    // Delete asks with the exact name; No keeps it.
    functions.Delete(int(before));
    EXPECT_EQ(messages(), QStringList{"Do you want to delete the function \"gust\" ?"});
    EXPECT_EQ(functions.Rows().size(), before + 1);
    ui.queueAnswer(varno::qtsupport::UserInteraction::Answer::Yes);
    functions.Delete(int(before));
    EXPECT_EQ(functions.Rows().size(), before);
    EXPECT_EQ(load("hill").functions.size(), before);

    // Nothing selected.
    ui.clear();
    functions.Change(-1);
    functions.Delete(-1);
    EXPECT_EQ(messages(), QStringList({"No function is selected in the list", "No function is selected in the list"}));
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(KestalFunctions, RefusedDefinitionGoesBackToTheEditor)
{
    connect();
    std::deque<std::function<bool(FunctionEdit&)>> answers;
    FunctionList functions = list(answers);
    functions.Refresh();
    const size_t before = functions.Rows().size();
    const auto badDefinition = [](FunctionEdit& e) {
        e.name = "bad";
        e.definition = "a + + ";
        return true;
    };
    // Refused twice; the second editor is cancelled.
    answers = {badDefinition, [](FunctionEdit&) { return true; }};
    functions.Add();
    EXPECT_EQ(messages(), QStringList({"invalid function definition", "invalid function definition"}));
    ASSERT_EQ(shown.size(), 3u);
    // The user's text comes back as it was, with the name now fixed.
    EXPECT_EQ(shown[1].name, "bad");
    EXPECT_EQ(shown[2].definition, "a + + ");
    EXPECT_EQ(functions.Rows().size(), before);
    EXPECT_EQ(load("hill").functions.size(), before);

    // Refused once, then mended.
    ui.clear();
    shown.clear();
    answers = {badDefinition, [](FunctionEdit& e) {
                   e.definition = "a + b ";
                   return true;
               }};
    functions.Add();
    EXPECT_EQ(messages(), QStringList{"invalid function definition"});
    ASSERT_EQ(functions.Rows().size(), before + 1);
    EXPECT_EQ(functions.Rows().back().definition, "a + b ");
}

TEST_F(KestalFunctions, RestrictedUserAndLockedInstrument)
{
    connect("read");
    std::deque<std::function<bool(FunctionEdit&)>> answers;
    FunctionList functions = list(answers);
    functions.Refresh();
    EXPECT_FALSE(functions.CanEdit());
    EXPECT_FALSE(functions.Rows().empty()); // still listed
    doc->Disconnect();
    ui.clear();

    // Full access, but the instrument refuses every change.
    doc->SelectStation(0);
    modify("hill", [](varno::sim::Instrument& in) { in.faults.refuseSettings = true; });
    station("Hill Top", "COM2", "varno");
    doc->OnConnect();
    ui.clear();
    answers = {[](FunctionEdit& e) {
        e.name = "f9";
        e.definition = "a ";
        return true;
    }};
    functions.Add();
    EXPECT_EQ(messages(), QStringList{"invalid function definition"});
    EXPECT_EQ(load("hill").functions.size(), functions.Rows().size());
}

// ------------------------------------------------------------------ modem timers

TEST_F(KestalInstrument, ModemTimersAddChangeAndDelete)
{
    connect("varno", [](varno::sim::Instrument& in) {
        in.timerSlots = 3;
        in.timers[0] = {6 * 3600, 6 * 3600 + 1800};
    });
    std::deque<TimerEdit> answers;
    std::vector<TimerEdit> shown;
    ModemTimerList timers(session(), [&](TimerEdit& e) {
        shown.push_back(e);
        if (answers.empty())
            return false;
        e = answers.front();
        answers.pop_front();
        return true;
    });
    timers.Refresh();
    ASSERT_EQ(timers.Rows().size(), 1u);
    EXPECT_TRUE(timers.CanEdit());

    answers = {{12 * 3600, 12 * 3600 + 900}, {18 * 3600, 19 * 3600}};
    timers.Add();
    timers.Add();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].on, 0);
    EXPECT_EQ(shown[0].off, 3600);
    ASSERT_EQ(timers.Rows().size(), 3u);
    EXPECT_EQ(timers.Rows()[1].slot, 1);
    EXPECT_EQ(load("hill").timers[2].on, 18 * 3600);

    // Every slot in use.
    timers.Add();
    EXPECT_EQ(messages(), QStringList{"Number of timers exceeded"});
    EXPECT_EQ(shown.size(), 2u);

    // Change starts from the row's times; cancelling sends nothing.
    timers.Change(1);
    EXPECT_EQ(shown.back().on, 12 * 3600);
    EXPECT_EQ(shown.back().off, 12 * 3600 + 900);
    answers = {{7 * 3600, 8 * 3600}};
    timers.Change(0);
    EXPECT_EQ(load("hill").timers[0].on, 7 * 3600);

    // Set to 0 and 0, a timer is a free slot and no longer listed.
    answers = {{0, 0}};
    timers.Change(2);
    EXPECT_EQ(timers.Rows().size(), 2u);

    ui.clear();
    timers.Delete(0);
    EXPECT_EQ(messages(), QStringList{"Do you want to delete this timer?"});
    EXPECT_EQ(timers.Rows().size(), 2u);
    ui.queueAnswer(varno::qtsupport::UserInteraction::Answer::Yes);
    timers.Delete(0);
    ASSERT_EQ(timers.Rows().size(), 1u);
    EXPECT_EQ(timers.Rows()[0].slot, 1);
    EXPECT_EQ(load("hill").timers[0].on, 0);

    ui.clear();
    timers.Change(-1);
    timers.Delete(-1);
    EXPECT_EQ(messages(), QStringList({"No timer selected", "No timer is selected in the list"}));
}

TEST_F(KestalInstrument, SetupSheetHasATimerPageOnlyWithTimers)
{
    connect("read", [](varno::sim::Instrument& in) { in.timerSlots = 0; });
    std::vector<bool> sheets;
    commands->SetSetupSheet([&](bool withTimers) { sheets.push_back(withTimers); });
    commands->OnSetup();
    modify("hill", [](varno::sim::Instrument& in) { in.timerSlots = 2; });
    commands->OnSetup();
    EXPECT_EQ(sheets, std::vector<bool>({false, true}));
    ModemTimerList timers(session(), {});
    EXPECT_FALSE(timers.CanEdit()); // restricted: seen, not changed
}

// ------------------------------------------------------------------ clock, title, comment

TEST_F(KestalInstrument, ClockIsSetToLocalTimeShiftedByWholeHours)
{
    // The instrument runs 1 h 30 min ahead of the PC (as the last status job saw it).
    connect();
    modify("hill", [](varno::sim::Instrument& in) { in.anchorInstrument += 5400; });
    doc->GetLink()->Update();
    doc->Timing().now = [] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0, 7)); };
    std::vector<int> preselected;
    int answer = -3;
    commands->SetClockDialog([&](int& hours) {
        preselected.push_back(hours);
        hours = answer;
        return true;
    });
    commands->OnSetClock();
    EXPECT_EQ(preselected, std::vector<int>{2});
    const varno::sim::Instrument stored = load("hill");
    EXPECT_EQ(stored.clock(now()), varno::sim::fromCivil(2026, 3, 15, 9, 0, 7));
    EXPECT_NEAR(doc->GetLink()->GetClockOffset(), -3 * 3600 + 7, 1);

    // Cancel sends nothing.
    const uint64_t generation = load("hill").generation;
    commands->SetClockDialog([](int&) { return false; });
    commands->OnSetClock();
    EXPECT_EQ(load("hill").generation, generation);
}

TEST_F(KestalInstrument, NewMeasurementAndComment)
{
    connect();
    QStringList titles;
    commands->SetTitleDialog([&](QString& title) {
        titles << title;
        title = "Tower B";
        return true;
    });
    commands->SetCommentDialog([](QString& text) {
        text = "mast painted";
        return true;
    });
    int updates = 0;
    QObject::connect(doc.get(), &CKestalDoc::changed, [&] { ++updates; });
    commands->OnStartNewMeasurement();
    commands->OnInsertComment();
    EXPECT_EQ(titles, QStringList{"Tower A"});
    EXPECT_EQ(updates, 2);
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
    const varno::sim::Instrument stored = load("hill");
    EXPECT_EQ(stored.title, "Tower B");
    EXPECT_EQ(stored.logs.back().text, "Tower B");
    const std::string memory(stored.memory.begin(), stored.memory.end());
    EXPECT_NE(memory.find("mast painted"), std::string::npos);
}

TEST_F(KestalInstrument, RestrictedUserIsToldThatNoMeasurementStarted)
{
    connect("read");
    commands->SetTitleDialog([](QString&) { return true; });
    commands->OnStartNewMeasurement();
    EXPECT_EQ(messages(), QStringList{"The instrument did not start a new measurement "
                                      "(access denied: the user level is too low)."});
    EXPECT_EQ(load("hill").logs.size(), last.logs.size());
}

// ------------------------------------------------------------------ command line, lock, drop

TEST_F(KestalInstrument, CommandLineTalksToTheInstrument)
{
    connect();
    QString text;
    commands->SetCommandDialog([&](CommandLine& line) {
        for (char32_t c : std::u32string(U"set sample period 5\rget log\r"))
            line.Type(c);
        text = line.Text();
    });
    commands->OnCommandInterface();
    EXPECT_EQ(text, "[ready] set sample period 5\r\nOK 5\r\n\r\n[ready] get log\r\n"
                    "ERROR command not allowed with kestal.\r\n\r\n[ready] ");
    EXPECT_EQ(load("hill").samplePeriod, 5);
}

TEST_F(KestalInstrument, ChangesRunOffTheWindowThreadWithTheLinkHeld)
{
    connect();
    std::thread::id worker;
    bool freeDuringWork = true;
    doc->GetLink()->IdleTime(0);
    varno::kestal::testing::g_pcClock += 30; // half a minute without the user
    ASSERT_GE(doc->GetLink()->IdleTime(1), 30);
    EXPECT_TRUE(session().Change("testing", [&](CQuorvalin& link) {
        worker = std::this_thread::get_id();
        std::thread([&] {
            freeDuringWork = link.TryLock();
            if (freeDuringWork)
                link.Unlock();
        }).join();
    }));
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_FALSE(freeDuringWork);
    EXPECT_EQ(doc->GetLink()->IdleTime(1), 0); // the user did something
    EXPECT_TRUE(doc->GetLink()->TryLock());
    doc->GetLink()->Unlock();
    EXPECT_EQ(ui.waitDepth(), 0);
}

TEST_F(KestalInstrument, DroppedLineIsReportedInsteadOfTheSettings)
{
    connect();
    MeasurementSetup setup(session());
    MeasurementValues v = setup.Read();
    v.samplePeriod = " 5 s";
    hangUp();
    EXPECT_FALSE(setup.Write(v));
    EXPECT_EQ(messages(), QStringList{"The connection has dropped!"});
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(load("hill").samplePeriod, 1);
}

} // namespace
