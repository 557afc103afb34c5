#pragma once

#include <qtsupport/UserInteraction.h>

namespace varno::testing {

// A scripted interaction that is the current one for its lifetime.
class InstalledInteraction : public ScriptedUserInteraction {
public:
    InstalledInteraction() { setUserInteraction(this); }
    ~InstalledInteraction() override { setUserInteraction(nullptr); }
    InstalledInteraction(const InstalledInteraction&) = delete;
    InstalledInteraction& operator=(const InstalledInteraction&) = delete;
};

} // namespace varno::testing
