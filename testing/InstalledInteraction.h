#pragma once

#include <qtsupport/UserInteraction.h>

namespace varno::testing {

// A scripted interaction that is the current one for its lifetime.
class InstalledInteraction : public qtsupport::ScriptedUserInteraction {
public:
    InstalledInteraction() { qtsupport::setUserInteraction(this); }
    ~InstalledInteraction() override { qtsupport::setUserInteraction(nullptr); }
    InstalledInteraction(const InstalledInteraction&) = delete;
    InstalledInteraction& operator=(const InstalledInteraction&) = delete;
};

} // namespace varno::testing
