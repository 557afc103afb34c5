#pragma once

#include <link/DataLogNames.h>
#include <quorvalin/sim/Instrument.h>

// The record a simulated instrument lists for its data log i, as the transfer program names it.
inline varno::link::Record BenchRecord(const varno::sim::Instrument& in, size_t i)
{
    varno::link::Record r;
    r.serial = in.serial;
    r.start = in.logs[i].start;
    r.length = in.logLength(i);
    r.startTime = in.logs[i].startTime;
    r.stopTime = in.logs[i].stopTime;
    r.text = in.logs[i].text;
    return r;
}
