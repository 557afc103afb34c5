#include <kestal/instrument/InstrumentSession.h>

#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/WorkerCall.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

namespace varno::kestal {

namespace {

// Lock(-1) for the lifetime of the guard, on the window thread.
struct HeldLink {
    explicit HeldLink(CQuorvalin& l) : link(l) { link.Lock(-1); }
    ~HeldLink() { link.Unlock(); }
    HeldLink(const HeldLink&) = delete;
    HeldLink& operator=(const HeldLink&) = delete;
    CQuorvalin& link;
};

} // namespace

void ReportDroppedLine(CKestalDoc& doc)
{
    qtsupport::userInteraction().message(QStringLiteral("The connection has dropped!"), QStringLiteral("kestal"),
                                     qtsupport::UserInteraction::Icon::Warning);
    doc.Disconnect();
}

InstrumentSession::InstrumentSession(CKestalDoc& doc)
    : m_doc(doc)
    , m_longCall([](const QString&, const std::function<void()>& work) { RunOffThread(work); })
{
}

void InstrumentSession::Read(const std::function<void(CQuorvalin&)>& work)
{
    qtsupport::WaitCursor wait;
    HeldLink held(*m_doc.GetLink());
    work(held.link);
}

bool InstrumentSession::Change(const QString& waitText, const std::function<void(CQuorvalin&)>& work)
{
    bool connected = false;
    {
        qtsupport::WaitCursor wait;
        HeldLink held(*m_doc.GetLink());
        CQuorvalin& link = held.link;
        m_longCall(waitText, [&] {
            work(link);
            link.IdleTime(0);
            connected = link.IsConnected();
        });
    }
    if (!connected && m_doc.IsConnected()) {
        ReportDroppedLine(m_doc);
        return false;
    }
    return connected;
}

std::string KeptBytes(const QString& text, const std::string& stored)
{
    return qtsupport::textFromBytes(stored) == text ? stored : qtsupport::bytesFromText(text);
}

} // namespace varno::kestal
