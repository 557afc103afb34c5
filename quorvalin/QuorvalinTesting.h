#pragma once

#include <cstdint>

#include <quorvalin/Quorvalin.h>

// Hooks for tests and demos. The bench folder is normally taken from QUORVALIN_BENCH
// (default: $XDG_DATA_HOME/varno/quorvalin-bench or ~/.local/share/varno/quorvalin-bench).

// Replaces the PC clock of this process (UTC seconds since 1970-01-01 00:00:00) for the
// simulated instruments and the link's idle count; nullptr restores the real clocks (UTC
// for the instruments, a monotonic clock for the idle count). A bench whose "bench.txt"
// holds a "clock" line gives the instruments that frozen time instead; the idle count
// always follows this clock.
using QuorvalinClock = int64_t (*)();
QUORVALIN_API void quorvalin_settestclock(QuorvalinClock clock);
