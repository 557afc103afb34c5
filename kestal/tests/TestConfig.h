#pragma once

#include <QtTestApp.h>

#include <QTemporaryDir>

namespace kestal::testing {

// Every test process keeps its settings (and the launch library's registrations) in a
// folder of its own, so that parallel runs never share a settings file and the user's own
// settings stay untouched. Call before the first QSettings of the process.
inline void isolateSettings()
{
    static QTemporaryDir config;
    static const bool done = [] {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        return true;
    }();
    (void)done;
    varno::qttest::qtTestApp();
}

} // namespace kestal::testing
