#pragma once

#include <testing/QtCoreTestApp.h>

#include <QApplication>

namespace varno::testing {

// One QApplication for a whole test program (widgets need it; tests run offscreen).
inline QApplication& qtTestApp()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    // Tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return onlyTestApp<QApplication>();
}

} // namespace varno::testing
