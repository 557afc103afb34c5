#pragma once

#include <cstdint>
#include <string>

#include <quorvalin/sim/Instrument.h>

// The instrument's command line: one line in, one reply text out ("\r\n" between lines).
namespace varno::sim {

struct CommandContext {
    Instrument& instrument;
    int level;      // user level of the connection
    int64_t pcNow;  // PC clock the instrument sees
};

struct CommandResult {
    std::string reply;
    bool changed = false; // the instrument's state changed and must be stored
};

CommandResult runCommand(CommandContext& context, const std::string& line);

} // namespace varno::sim
