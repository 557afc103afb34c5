#pragma once

#include <testing/QtCoreTestApp.h>

#include <QString>
#include <QTemporaryDir>

#include <ostream>

// Test failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace varno::kestal::testing {

// Every test process keeps its settings (and the launch library's registrations) in a
// folder of its own, so that parallel runs never share a settings file and the user's own
// settings stay untouched. Call before the first QSettings of the process, and before the
// application is created.
inline void isolateSettings()
{
    static QTemporaryDir config;
    static const bool done = [] {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        return true;
    }();
    (void)done;
}

// Isolated settings and the QCoreApplication of the tests without windows. (The window
// tests call isolateSettings() and then varno::testing::qtTestApp().)
inline void coreTestApp()
{
    isolateSettings();
    varno::testing::qtCoreTestApp();
}

} // namespace varno::kestal::testing
