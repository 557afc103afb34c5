#pragma once

#include <QDateTime>

#include <functional>

namespace varno::kestal {

// Intervals, countdowns and the clock of the terminal in one place, so that tests run the
// one-second ticks, the idle hang-up and the countdown dialogs in milliseconds and read a
// fixed clock.
struct KestalTiming {
    int panelTickMs = 1000;             // instrument panel
    int fileListTickMs = 1000;          // data-file list
    int idleHangUpSeconds = 60;         // modem connection without user activity
    int hangUpCountdownSeconds = 30;    // the countdown before hanging up
    int hangUpTickMs = 1000;            // one step of that countdown
    int downloadPollMs = 10;            // transfer progress
    int waitDialogTickMs = 100;         // "Please Wait" dots
    int connectStartMs = 100;           // the connecting dialog starts the call after this
    int dotMs = 1000;                   // one more dot in the connecting and refresh dialogs
    // The PC's local date and time.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

} // namespace varno::kestal
