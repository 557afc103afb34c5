#pragma once

#include <string>
#include <vector>

namespace varno::link {

// Moves that never overwrite, backups of existing files, and folder listings by the
// wildcard patterns of the data-log names.

// Renames from onto to on the same file system; fails when to exists.
bool RenameNoReplace(const std::string& from, const std::string& to);

// Moves an existing file to its first free backup name path + ".bak00" .. ".bak99".
// False (and nothing moved) when all 100 exist or the move fails; backupPath gets the name.
bool BackupFile(const std::string& path, std::string* backupPath = nullptr);

enum class MoveResult {
    Moved,          // source now lives under target (an earlier target was backed up)
    SameName,       // source and target are the same file, under the same or another path text: nothing moved
    TooManyBackups, // target exists and all 100 backup names are taken: nothing moved
    BackupFailed,   // target exists and could not be backed up: nothing moved
    RenameFailed,   // the rename itself failed (source stays; a backup may have been made)
};

// Moves source onto target, backing up an existing target first.
MoveResult MoveWithBackup(const std::string& source, const std::string& target);

// "Too many Backup files exist for this file: " + target, or the rename failure text.
std::string MoveResultMessage(MoveResult result, const std::string& source, const std::string& target);

// "*" and "?" against a whole name, without regard to case; every other character,
// including "[" and "]", stands for itself.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Names of the entries of folder that match pattern, sorted by byte value. A missing
// folder gives an empty list.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern);

} // namespace varno::link
