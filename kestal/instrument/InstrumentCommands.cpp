#include <kestal/instrument/InstrumentCommands.h>

#include <kestal/instrument/CommandLine.h>
#include <kestal/stations/Commands.h>
#include <kestal/stations/KestalDoc.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <cstdlib>

namespace varno::kestal {

int ClockPreselection(int64_t x)
{
    const int64_t hours = (x > 0 ? x + 1800 : x - 1800) / 3600;
    return std::llabs(hours) <= kMaxClockHours ? int(hours) : 0;
}

const QStringList& ClockChoices()
{
    static const QStringList choices = [] {
        QStringList list;
        for (int h = -kMaxClockHours; h <= kMaxClockHours; ++h)
            list << (h == 0 ? QStringLiteral(" local time")
                            : QStringLiteral(" local time %1 %2h").arg(h < 0 ? '-' : '+').arg(std::abs(h)));
        return list;
    }();
    return choices;
}

InstrumentCommands::InstrumentCommands(CKestalDoc& doc)
    : m_session(doc)
{
}

bool InstrumentCommands::Execute(int id)
{
    switch (id) {
    case ID_SETUP: OnSetup(); return true;
    case ID_NEW_MEASUREMENT: OnStartNewMeasurement(); return true;
    case ID_INSERT_COMMENT: OnInsertComment(); return true;
    case ID_SET_CLOCK: OnSetClock(); return true;
    case ID_COMMAND_INTERFACE: OnCommandInterface(); return true;
    default: return false;
    }
}

void InstrumentCommands::OnSetup()
{
    bool withTimers = false;
    if (!m_session.Change(QStringLiteral("Reading the instrument setup"), [&](CQuorvalin& link) {
            link.Update();
            int32_t on = 0, off = 0;
            withTimers = link.GetModemTimer(0, on, off);
        }))
        return;
    if (m_setupSheet)
        m_setupSheet(withTimers);
}

namespace {

// Runs a measurement-log operation (new title or comment); a refusal is told with the link's
// reason. False when the line dropped.
bool writeToLog(InstrumentSession& session, const QString& waitText, const QString& refusal,
                const std::function<bool(CQuorvalin&)>& operation)
{
    bool done = false;
    std::string reason;
    if (!session.Change(waitText, [&](CQuorvalin& link) {
            (void)link.GetLastErrorText(); // nothing older than this operation
            done = operation(link);
            reason = link.GetLastErrorText();
            link.Update();
        }))
        return false;
    if (!done)
        qtsupport::userInteraction().message(
            reason.empty() ? refusal : refusal + QStringLiteral(" (%1).").arg(qtsupport::textFromBytes(reason)),
            QStringLiteral("kestal"), qtsupport::UserInteraction::Icon::Warning);
    session.Doc().UpdateAllViews();
    return true;
}

} // namespace

void InstrumentCommands::OnStartNewMeasurement()
{
    std::string stored;
    if (!m_session.Change(QStringLiteral("Reading the measurement title"),
                          [&](CQuorvalin& link) { stored = link.GetMeasurementTitle(); }))
        return;
    QString title = qtsupport::textFromBytes(stored);
    if (!m_titleDialog || !m_titleDialog(title))
        return;
    const std::string bytes = KeptBytes(title, stored);
    writeToLog(m_session, QStringLiteral("Starting a new measurement"),
               QStringLiteral("The instrument did not start a new measurement"),
               [&](CQuorvalin& link) { return link.StartNewMeasurement(bytes); });
}

void InstrumentCommands::OnInsertComment()
{
    QString text;
    if (!m_commentDialog || !m_commentDialog(text))
        return;
    const std::string bytes = qtsupport::bytesFromText(text);
    writeToLog(m_session, QStringLiteral("Inserting the comment"),
               QStringLiteral("The instrument did not take the comment"),
               [&](CQuorvalin& link) { return link.InsertComment(bytes); });
}

void InstrumentCommands::OnSetClock()
{
    double offset = 0;
    if (!m_session.Change(QStringLiteral("Reading the instrument clock"),
                          [&](CQuorvalin& link) { offset = link.GetClockOffset(); }))
        return;
    int hours = ClockPreselection(int64_t(offset));
    if (!m_clockDialog || !m_clockDialog(hours))
        return;
    const std::function<QDateTime()> now = Doc().Timing().now;
    m_session.Change(QStringLiteral("Setting the instrument clock"), [&](CQuorvalin& link) {
        link.Update();
        // Whole seconds of the PC's local time, shifted by whole hours.
        const QDateTime t = now().addSecs(int64_t(hours) * 3600);
        const QDate d = t.date();
        const QTime h = t.time();
        link.SetClock(d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second());
        link.Update();
    });
}

void InstrumentCommands::OnCommandInterface()
{
    if (!m_commandDialog)
        return;
    CommandLine line([this](const std::string& command) {
        std::string reply;
        m_session.Change(QStringLiteral("Sending the command"),
                         [&](CQuorvalin& link) { reply = link.SendCommand(command, -1, -1); });
        return reply;
    });
    m_commandDialog(line);
}

} // namespace varno::kestal
