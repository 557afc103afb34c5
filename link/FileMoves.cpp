#include <link/FileMoves.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostrel/Wildcard.h>

namespace varno::link {

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

// Whether two path texts name one file ("x.vrn" and "<folder>/x.vrn", or two hard links).
bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

} // namespace

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link refuses an existing target as well.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0) {
        const int saved = errno;
        ::unlink(to.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool BackupFile(const std::string& path, std::string* backupPath)
{
    for (int i = 0; i < 100; ++i) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".bak%02i", i);
        const std::string candidate = path + suffix;
        if (exists(candidate))
            continue;
        if (RenameNoReplace(path, candidate)) {
            if (backupPath)
                *backupPath = candidate;
            return true;
        }
        if (errno != EEXIST) // a name taken meanwhile: try the next one
            return false;
    }
    return false;
}

MoveResult MoveWithBackup(const std::string& source, const std::string& target)
{
    if (source == target || sameFile(source, target))
        return MoveResult::SameName;
    if (exists(target) && !BackupFile(target)) {
        // Tell "all 100 taken" from a failing file system.
        for (int i = 0; i < 100; ++i) {
            char suffix[8];
            std::snprintf(suffix, sizeof suffix, ".bak%02i", i);
            if (!exists(target + suffix))
                return MoveResult::BackupFailed;
        }
        return MoveResult::TooManyBackups;
    }
    return RenameNoReplace(source, target) ? MoveResult::Moved : MoveResult::RenameFailed;
}

std::string MoveResultMessage(MoveResult result, const std::string& source, const std::string& target)
{
    switch (result) {
    case MoveResult::Moved:
    case MoveResult::SameName:
        return {};
    case MoveResult::TooManyBackups:
        return "Too many Backup files exist for this file: " + target;
    case MoveResult::BackupFailed:
        return "Unable to back up " + target;
    case MoveResult::RenameFailed:
        break;
    }
    return "Unable to rename " + source + " to " + target;
}

bool WildcardMatch(const std::string& pattern, const std::string& name)
{
    return ostrel::WildcardMatch(pattern, name);
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names = ostrel::ListMatchingNames(folder, pattern);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace varno::link
