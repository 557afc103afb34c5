#pragma once

#include <QStringList>

namespace varno::fenlux {

// The plotter without a window: draws files into a picture (or a CSV file) and ends, for
// scheduled jobs. Needs an application object; no display.

// Runs "--export=<file> ... <files...>" (the arguments after the program name). Returns
// the exit status: 0 when the file was written, 1 with a message on the error stream when
// an argument is wrong, a file cannot be read, a column is not found or the file cannot
// be written. For the distribution one line "weibull k=... A=... n=... mean=..." goes to
// standard output.
int runExport(const QStringList& arguments);

} // namespace varno::fenlux
