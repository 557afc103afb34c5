#pragma once

#include <QCoreApplication>

namespace varno::testing {

// The one application of a test program, made on first use.
template <typename App>
App& onlyTestApp()
{
    static int argc = 1;
    static char name[] = "varno-test";
    static char* argv[] = {name, nullptr};
    static App app(argc, argv);
    return app;
}

// One QCoreApplication for a whole test program of code without windows (event loops,
// timers, settings). A program that already has an application keeps it.
inline QCoreApplication& qtCoreTestApp()
{
    if (QCoreApplication* existing = QCoreApplication::instance())
        return *existing;
    return onlyTestApp<QCoreApplication>();
}

} // namespace varno::testing
