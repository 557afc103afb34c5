#pragma once

#include <QStringList>

#include <string>
#include <vector>

class COstrel;

namespace varno::trelis {

// The file names of a viewer command line (the program name first, Qt's own options
// already taken out): every argument that does not start with "-" is a file, in order;
// after "--" every argument is. Paths starting with "/" are always files.
std::vector<std::string> ViewerFileArguments(const QStringList& arguments);

// Registers this program for the others under "varno-viewer"; the result is ignored.
void RegisterViewer(const QString& executablePath);

// Loads every file into data in order, or asks for one when there are none. Failures are
// reported by the library itself.
void LoadViewerFiles(COstrel& data, const std::vector<std::string>& files);

// The whole program after QApplication was made: returns the exit status.
int RunViewer(const QStringList& arguments);

} // namespace varno::trelis
