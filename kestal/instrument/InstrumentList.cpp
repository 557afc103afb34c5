#include <kestal/instrument/InstrumentList.h>

#include <kestal/instrument/InstrumentSession.h>

#include <quorvalin/Quorvalin.h>

namespace varno::kestal {

bool InstrumentList::CanEdit()
{
    bool can = false;
    m_session.Read([&](CQuorvalin& link) { can = link.GetUserLevel() >= 2; });
    return can;
}

} // namespace varno::kestal
