#pragma once

#include <QString>

namespace varno::kestal {

enum class ImportResult { Imported, SameFile, Failed };

// Copies source into dataFolder under its final name. An existing file of that name is
// backed up first; a source that already is the target is left alone. An empty dataFolder
// fails. On failure message gets the text for the user.
ImportResult ImportDataLog(const QString& source, const QString& dataFolder, QString* message);

} // namespace varno::kestal
