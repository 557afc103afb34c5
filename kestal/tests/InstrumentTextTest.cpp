// The instrument dialogs' texts and rules as pure functions: the tidied function definition,
// the keypad, the statistics texts and check boxes, the setup's periods and mode word, the
// timer times, the set-clock choices and the command line.
#include <kestal/instrument/CommandLine.h>
#include <kestal/instrument/FunctionText.h>
#include <kestal/instrument/InstrumentCommands.h>
#include <kestal/instrument/MeasurementSetup.h>
#include <kestal/instrument/ModemTimers.h>

#include <qtsupport/UserInteraction.h>

#include <gtest/gtest.h>

#include <vector>

using namespace varno::kestal;

namespace {

// "␣" in the examples stands for one blank.
std::string blanks(std::string s)
{
    for (size_t i; (i = s.find("\xE2\x90\xA3")) != std::string::npos;)
        s.replace(i, 3, " ");
    return s;
}

} // namespace

TEST(KestalFunctionText, NormalisedDefinitions)
{
    const struct {
        std::string before, after;
    } cases[] = {
        {"a+b", "a␣+␣b␣"},
        {"2,5e-3*a", "2.5e-3␣*␣a␣"},
        {"(-1)", "(␣␣-1␣)␣␣"},
        {"a␣+␣b", "a␣+␣␣b␣"},
        {"x^2+1", "x␣^␣2␣+␣1␣"},
        {"a*-2", "a␣*␣␣-2␣"},
        {"\xC4rger", "Aerger␣"},
        // The other spelled-out letters, and a sign after a closing parenthesis.
        {"\xD6l\xDC\xE4\xF6\xFC\xDF", "OelUeaeoeuess␣"},
        {"(a)-2", "(␣a␣)␣␣-␣2␣"},
        // Runs of typed blanks shrink; tabs, control characters and other high bytes go.
        {"a␣␣␣b", "a␣b␣"},
        {"a\tb\x01\xE9", "ab␣"},
        {"ln(F1_x.2)", "ln␣(␣F1_x.2␣)␣␣"},
        {"", ""},
        {"␣␣", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormaliseDefinition(blanks(c.before)), blanks(c.after)) << c.before;
}

TEST(KestalFunctionText, TypedDefinitionsAreTidiedAsLatin1)
{
    EXPECT_EQ(NormaliseDefinitionText(QString::fromUtf8("\xC3\xA4rger+1")), "aerger + 1 ");
    // Characters outside Latin-1 never reach the instrument.
    EXPECT_EQ(NormaliseDefinitionText(QString::fromUtf8("a\xE2\x82\xAC+b")), "a + b ");
}

TEST(KestalFunctionText, KeypadPutsTokensBetweenBlanks)
{
    KeypadInsertion r = InsertKeypadToken("a", 1, 1, "+");
    EXPECT_EQ(r.text, "a + ");
    EXPECT_EQ(r.caret, 4);
    r = InsertKeypadToken("", 0, 0, "(");
    EXPECT_EQ(r.text, "( ");
    EXPECT_EQ(r.caret, 2);
    // A blank already there is not doubled; the selection is replaced.
    r = InsertKeypadToken("a  b", 2, 2, "*");
    EXPECT_EQ(r.text, "a * b");
    EXPECT_EQ(r.caret, 3);
    r = InsertKeypadToken("a+b", 1, 2, "Uext");
    EXPECT_EQ(r.text, "a Uext b");
    EXPECT_EQ(r.caret, 7);
    r = InsertKeypadToken("x", 0, 0, "ln");
    EXPECT_EQ(r.text, "ln x");
    EXPECT_EQ(r.caret, 3);
    // A selection beyond the text counts as its end.
    r = InsertKeypadToken("a", 5, 9, "-");
    EXPECT_EQ(r.text, "a - ");
    EXPECT_EQ(KeypadTokens().size(), 23);
}

TEST(KestalFunctionText, StatisticsTextsAndBoxes)
{
    EXPECT_EQ(StatisticsText(0x11), " mean mean360");
    EXPECT_EQ(StatisticsText(0), "");
    EXPECT_EQ(StatisticsText(0x07), " mean sigma max");
    EXPECT_EQ(StatisticsText(0x1F), " mean mean360 sigma max min");

    // mean checked clears mean360; mean360 checked clears mean, max and min, not sigma.
    EXPECT_EQ(StatisticsAfterClick(kStatMean | kStatMean360, kStatMean), kStatMean);
    EXPECT_EQ(StatisticsAfterClick(0x1F, kStatMean360), kStatMean360 | kStatSigma);
    // Unchecking changes nothing else, and max or min may join mean360 afterwards.
    EXPECT_EQ(StatisticsAfterClick(kStatMean360, kStatMean), kStatMean360);
    EXPECT_EQ(StatisticsAfterClick(kStatMean360 | kStatMax, kStatMax), kStatMean360 | kStatMax);
}

TEST(KestalMeasurementSetup, PeriodsPreheatAndModeWord)
{
    EXPECT_EQ(PeriodText(600), "10 min");
    EXPECT_EQ(PeriodText(3600), " 1 h");
    EXPECT_EQ(PreheatText(0), "OFF");
    EXPECT_EQ(PreheatText(10), "10 s");
    EXPECT_EQ(PeriodSeconds("OFF"), 0);
    EXPECT_EQ(PeriodSeconds(" 5 min"), 300);
    // Every choice reads back as its own seconds.
    for (const QStringList* choices : {&SamplePeriodChoices(), &StatisticPeriodChoices(), &TimestampChoices()})
        for (const QString& c : *choices)
            EXPECT_EQ(PeriodText(PeriodSeconds(c)), c);

    const uint32_t both = kFlagSampleLength | kFlagDataFormat;
    EXPECT_EQ(MeasurementMode(0x0C, both, 1, 1), 0x0Fu);
    EXPECT_EQ(MeasurementMode(0x0C, both, 0, 0), 0x0Cu);
    EXPECT_EQ(MeasurementMode(0x0F, both, 0, 0), 0x0Cu);
    // A choice the instrument does not offer never sets its bit.
    EXPECT_EQ(MeasurementMode(0x0C, kFlagDataFormat, 1, 1), 0x0Eu);
    EXPECT_EQ(MeasurementMode(0x0C, 0, 1, 1), 0x0Cu);

    EXPECT_EQ(SetupFailureMessage({"measure period", "timestamp"}),
              "Failed setting measurement parameters: measure period, timestamp");
}

TEST(KestalModemTimers, TimeTexts)
{
    EXPECT_EQ(TimerTimeText(3661), "01:01:01");
    EXPECT_EQ(TimerTimeText(0), "00:00:00");
    EXPECT_EQ(TimerTimeText(86399), "23:59:59");
    EXPECT_EQ(TimerTimeText(45 * 60), "00:45:00");
}

TEST(KestalClock, PreselectionRoundsToTheHour)
{
    EXPECT_EQ(ClockPreselection(3600 + 29 * 60 + 59), 1);
    EXPECT_EQ(ClockPreselection(3600 + 30 * 60), 2);
    EXPECT_EQ(ClockPreselection(-(3600 + 29 * 60 + 59)), -1);
    EXPECT_EQ(ClockPreselection(-(3600 + 30 * 60)), -2);
    EXPECT_EQ(ClockPreselection(1799), 0);
    EXPECT_EQ(ClockPreselection(0), 0);
    EXPECT_EQ(ClockPreselection(23 * 3600 + 1799), 23);
    EXPECT_EQ(ClockPreselection(23 * 3600 + 1800), 0); // a day off: local time
    EXPECT_EQ(ClockPreselection(25 * 3600), 0);
    EXPECT_EQ(ClockPreselection(-25 * 3600), 0);

    const QStringList& choices = ClockChoices();
    ASSERT_EQ(choices.size(), 47);
    EXPECT_EQ(choices.front(), " local time - 23h");
    EXPECT_EQ(choices[22], " local time - 1h");
    EXPECT_EQ(choices[23], " local time");
    EXPECT_EQ(choices[24], " local time + 1h");
    EXPECT_EQ(choices.back(), " local time + 23h");
}

namespace {

class KestalCommandLine : public ::testing::Test {
protected:
    void SetUp() override { varno::qtsupport::setUserInteraction(&ui); }
    void TearDown() override { varno::qtsupport::setUserInteraction(nullptr); }

    void type(CommandLine& line, const std::u32string& keys)
    {
        for (char32_t c : keys)
            line.Type(c);
    }

    CommandLine line{[this](const std::string& l) {
        sent.push_back(l);
        return std::string("reply to ") + l;
    }};
    std::vector<std::string> sent;
    varno::qtsupport::ScriptedUserInteraction ui;
};

} // namespace

TEST_F(KestalCommandLine, ExchangesLinesWithPrompts)
{
    EXPECT_EQ(line.Text(), "[ready] ");
    EXPECT_TRUE(line.AtPrompt());
    type(line, U"get info");
    EXPECT_FALSE(line.AtPrompt());
    const CommandLine::Edit edit = line.Type(U'\r');
    EXPECT_EQ(edit.append, "\r\nreply to get info\r\n\r\n[ready] ");
    EXPECT_EQ(sent, std::vector<std::string>{"get info"});
    EXPECT_TRUE(line.AtPrompt());
    EXPECT_TRUE(line.Line().empty());
    // Enter alone sends nothing; a line feed runs a line too.
    line.Type(U'\r');
    type(line, U"x\n");
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(line.Text(), "[ready] get info\r\nreply to get info\r\n\r\n[ready] \r\n\r\n\r\n[ready] x\r\n"
                           "reply to x\r\n\r\n[ready] ");
}

TEST_F(KestalCommandLine, RefusesTheTerminalsOwnCommands)
{
    for (const char32_t* l : {U"get logger", U"xset online", U"save log 3", U"get online"}) {
        type(line, l);
        const CommandLine::Edit edit = line.Type(U'\r');
        EXPECT_EQ(edit.append, "\r\nERROR command not allowed with kestal.\r\n\r\n[ready] ");
    }
    EXPECT_TRUE(sent.empty());
    type(line, U"GET LOG\r");
    EXPECT_EQ(sent, std::vector<std::string>{"GET LOG"});
}

TEST_F(KestalCommandLine, BackspaceControlCharactersAndTheLineLimit)
{
    // Backspace right after a prompt leaves the prompt alone.
    EXPECT_EQ(line.Type(8).erase, 0);
    EXPECT_EQ(line.Text(), "[ready] ");
    type(line, U"ab");
    EXPECT_EQ(line.Type(8).erase, 1);
    EXPECT_EQ(line.Type(8).erase, 1);
    EXPECT_EQ(line.Type(8).erase, 0);
    EXPECT_EQ(line.Text(), "[ready] ");

    // Ctrl+G beeps and is not taken; so does a tab.
    line.Type(7);
    line.Type(U'\t');
    EXPECT_EQ(ui.beeps(), 2);
    EXPECT_TRUE(line.Line().empty());

    // 255 characters; more are dropped without a sound.
    type(line, std::u32string(300, U'x'));
    EXPECT_EQ(line.Line().size(), 255u);
    EXPECT_EQ(ui.beeps(), 2);
    line.Type(U'\r');
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::string(255, 'x'));

    // A character outside the basic plane is one character of the line, two units of text.
    type(line, U"\U0001F600");
    EXPECT_EQ(line.Type(8).erase, 2);
    type(line, U"\u00E4\r");
    EXPECT_EQ(sent.back(), "\xC3\xA4"); // typed text goes as UTF-8
}
