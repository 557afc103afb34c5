#include <kestal/instrument/ModemTimers.h>

#include <kestal/instrument/InstrumentSession.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/UserInteraction.h>

namespace varno::kestal {

namespace {

void tell(const QString& text)
{
    qtsupport::userInteraction().message(text, QStringLiteral("kestal"), qtsupport::UserInteraction::Icon::Warning);
}

} // namespace

QString TimerTimeText(int32_t seconds)
{
    const int32_t hours = seconds / 3600;
    const int32_t minutes = (seconds - hours * 3600) / 60;
    const int32_t rest = seconds - hours * 3600 - minutes * 60;
    return QString::asprintf("%02d:%02d:%02d", int(hours), int(minutes), int(rest));
}

ModemTimerList::ModemTimerList(InstrumentSession& session, Editor editor)
    : InstrumentList(session)
    , m_editor(std::move(editor))
{
}

void ModemTimerList::Refresh()
{
    m_rows.clear();
    m_session.Read([this](CQuorvalin& link) {
        int32_t on = 0, off = 0;
        for (int i = 0; i < kMaxModemTimers && link.GetModemTimer(i, on, off); ++i)
            if (on != 0 || off != 0)
                m_rows.push_back({i, on, off});
    });
}

std::vector<QStringList> ModemTimerList::Texts() const
{
    std::vector<QStringList> texts;
    for (const ModemTimer& t : m_rows)
        texts.push_back({TimerTimeText(t.on), TimerTimeText(t.off)});
    return texts;
}

void ModemTimerList::Add()
{
    int slot = -1;
    m_session.Read([&](CQuorvalin& link) {
        int32_t on = 0, off = 0;
        for (int i = 0; i < kMaxModemTimers && link.GetModemTimer(i, on, off); ++i)
            if (on == 0 && off == 0) {
                slot = i;
                break;
            }
        if (slot < 0)
            tell(QStringLiteral("Number of timers exceeded"));
    });
    if (slot >= 0)
        edit(slot, TimerEdit{0, 3600});
}

void ModemTimerList::Change(int row)
{
    if (row < 0 || row >= int(m_rows.size())) {
        tell(QStringLiteral("No timer selected"));
        return;
    }
    const ModemTimer& r = m_rows[size_t(row)];
    edit(r.slot, TimerEdit{r.on, r.off});
}

void ModemTimerList::edit(int slot, TimerEdit values)
{
    if (!m_editor || !m_editor(values))
        return;
    m_session.Change(QStringLiteral("Setting the modem timer"), [&](CQuorvalin& link) {
        link.SetModemTimer(slot, values.on, values.off);
        link.Update();
    });
    Refresh();
}

void ModemTimerList::Delete(int row)
{
    if (row < 0 || row >= int(m_rows.size())) {
        tell(QStringLiteral("No timer is selected in the list"));
        return;
    }
    if (qtsupport::userInteraction().question(QStringLiteral("Do you want to delete this timer?"), QStringLiteral("kestal"),
                                          qtsupport::UserInteraction::Buttons::YesNo) != qtsupport::UserInteraction::Answer::Yes)
        return;
    const int slot = m_rows[size_t(row)].slot;
    m_session.Change(QStringLiteral("Deleting the modem timer"), [&](CQuorvalin& link) {
        link.SetModemTimer(slot, 0, 0);
        link.Update();
    });
    Refresh();
}

} // namespace varno::kestal
