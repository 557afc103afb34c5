#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

#include <kestal/instrument/InstrumentSession.h>

namespace varno::kestal {

class CKestalDoc;


class CommandLine;

// The instrument clock's offset from the PC's local time, rounded to whole hours (halves
// away from zero); 0 when it is a day or more.
int ClockPreselection(int64_t offsetSeconds);
// The 47 entries of the set-clock list: " local time - 23h" ... " local time" ...
// " local time + 23h"; entry offset + 23 stands for an offset of so many hours.
const QStringList& ClockChoices();
constexpr int kMaxClockHours = 23;

// The document's commands that read or change the connected instrument: the setup sheet,
// a new measurement, a comment, the clock and the direct command interface. Each asks the
// user through an injected dialog; without one the command does nothing.
class InstrumentCommands {
public:
    // Runs the "Instrument Setup" sheet; withTimerPage: the instrument has modem timers.
    using SetupSheet = std::function<void(bool withTimerPage)>;
    // Runs a one-line text dialog on text; true on "OK" (text then holds the result).
    using TextDialog = std::function<bool(QString& text)>;
    // Runs the set-clock dialog on hours; true on "OK" (hours then holds the choice).
    using ClockDialog = std::function<bool(int& hours)>;
    // Runs the command interface on line.
    using CommandDialog = std::function<void(CommandLine& line)>;

    explicit InstrumentCommands(CKestalDoc& doc);

    InstrumentSession& Session() { return m_session; }
    CKestalDoc& Doc() const { return m_session.Doc(); }

    void SetSetupSheet(SetupSheet sheet) { m_setupSheet = std::move(sheet); }
    void SetTitleDialog(TextDialog dialog) { m_titleDialog = std::move(dialog); }
    void SetCommentDialog(TextDialog dialog) { m_commentDialog = std::move(dialog); }
    void SetClockDialog(ClockDialog dialog) { m_clockDialog = std::move(dialog); }
    void SetCommandDialog(CommandDialog dialog) { m_commandDialog = std::move(dialog); }

    void OnSetup();
    void OnStartNewMeasurement();
    void OnInsertComment();
    void OnSetClock();
    void OnCommandInterface();
    // Runs the command of that id; false when it is none of the above.
    bool Execute(int id);

private:
    InstrumentSession m_session;
    SetupSheet m_setupSheet;
    TextDialog m_titleDialog;
    TextDialog m_commentDialog;
    ClockDialog m_clockDialog;
    CommandDialog m_commandDialog;
};

} // namespace varno::kestal
