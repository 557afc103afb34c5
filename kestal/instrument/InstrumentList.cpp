#include "InstrumentList.h"

#include "InstrumentSession.h"

#include <Quorvalin.h>

namespace kestal {

bool InstrumentList::CanEdit()
{
    bool can = false;
    m_session.Read([&](CQuorvalin& link) { can = link.GetUserLevel() >= 2; });
    return can;
}

} // namespace kestal
