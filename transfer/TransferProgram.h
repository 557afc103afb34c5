#pragma once

#include <string>
#include <vector>

#include <transfer/StationCall.h>

namespace varno::transfer {

// The command line of the transfer program.

// Parses the options (arguments after the program name). False when an argument is no
// option: the caller then prints the usage text.
bool ParseArguments(const std::vector<std::string>& arguments, TransferOptions& options);

// The usage text with the program's invocation name.
std::string UsageText(const std::string& program);

// Parses, chooses the mode and runs it: list mode (--test=), station mode (--station=),
// manual mode (--connection=) or the usage text. args[0] is the invocation name.
// Returns the exit status (0, or -1 which the process reports as 255).
int RunTransfer(const std::vector<std::string>& args, CallEnvironment environment);

} // namespace varno::transfer
