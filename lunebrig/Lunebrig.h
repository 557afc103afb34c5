#pragma once

#include <functional>
#include <string>
#include <vector>

// Launch library: programs of the suite find and start each other by registered name.
// A program registers its own executable path under its name when it starts; another
// program later starts it by that name, with a default path to fall back on.

#define LUNEBRIG_API __attribute__((visibility("default")))

// Records that the program known as name lives at path (per-user configuration).
// False when name or path is empty, name holds "/" or "\", or the store cannot be written.
LUNEBRIG_API bool SetApplicationExePath(const std::string& name, const std::string& path);

// The path registered under name, "" when none.
LUNEBRIG_API std::string GetApplicationExePath(const std::string& name);

// Starts the program known as name with one argument (none when argument is empty),
// without a shell and without waiting. The program is the registered path when that is
// an executable file, else defaultPath when that is, else the file name of defaultPath
// looked up on the search path. workingDirectory "" keeps the caller's folder; a
// workingDirectory that is not an existing folder starts nothing.
// True when a program was started.
LUNEBRIG_API bool LaunchApplication(const std::string& name, const std::string& argument,
                                    const std::string& defaultPath,
                                    const std::string& workingDirectory = std::string());

// The same with an argument vector: argv[0] is the registered name (not passed on),
// argv[1..n] are the arguments, each passed as it is, and argv[n+1] is nullptr.
// A null argv passes no arguments.
LUNEBRIG_API bool LaunchApplicationArgv(const std::string& name, const char* const* argv,
                                        const std::string& defaultPath,
                                        const std::string& workingDirectory = std::string());

// The default path of a program of the suite: fileName in the folder of the running
// program (the programs install into one folder). "" when that folder is unknown.
LUNEBRIG_API std::string lunebrig_besideprogram(const std::string& fileName);

// The program a launch of name would start, "" when there is none.
LUNEBRIG_API std::string lunebrig_resolve(const std::string& name, const std::string& defaultPath);

// Starts a program detached; returns true when it was started. The default starts a real
// process; tests install a recorder. An empty function restores the default.
using LunebrigStarter = std::function<bool(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& workingDirectory)>;
LUNEBRIG_API void lunebrig_setstarter(LunebrigStarter starter);
