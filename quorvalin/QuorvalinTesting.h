#pragma once

#include <cstdint>

#include "Quorvalin.h"

// Hooks for tests and demos. The bench folder is normally taken from QUORVALIN_BENCH
// (default: $XDG_DATA_HOME/varno/quorvalin-bench or ~/.local/share/varno/quorvalin-bench).

// Replaces the PC clock of this process (seconds since 1970-01-01 00:00:00, local wall
// time) for the link's idle count and the simulated instruments; nullptr restores the real
// clock. A bench whose "bench.txt" holds a "clock" line gives the instruments that frozen
// time instead; the idle count always follows this clock.
using QuorvalinClock = int64_t (*)();
QUORVALIN_API void quorvalin_settestclock(QuorvalinClock clock);
