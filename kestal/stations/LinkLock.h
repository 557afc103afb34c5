#pragma once

#include <quorvalin/Quorvalin.h>

namespace varno::kestal {

// Holds the link's lock for a scope: Lock(-1) ... Unlock on the window thread. The lock is
// re-entrant, so code that holds it may call code that takes it again.
class LinkLock {
public:
    explicit LinkLock(CQuorvalin& link) : m_link(link) { m_link.Lock(-1); }
    ~LinkLock() { m_link.Unlock(); }
    LinkLock(const LinkLock&) = delete;
    LinkLock& operator=(const LinkLock&) = delete;

private:
    CQuorvalin& m_link;
};

} // namespace varno::kestal
