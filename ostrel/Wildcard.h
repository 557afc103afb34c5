#pragma once

// File-name patterns as the stations' file systems knew them: "*" and "?" only, ASCII
// case ignored, every other character (brackets too) literal. Header-only, so that the
// data-log name library shares it without linking this library.

#include <dirent.h>
#include <string>
#include <vector>

namespace varno::ostrel {

inline bool WildcardMatch(const std::string& pattern, const std::string& name)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    // Greedy match with one back-tracking point: the last "*" seen.
    size_t n = 0, p = 0, starAt = std::string::npos, matchedByStar = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            matchedByStar = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++n;
            ++p;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++matchedByStar;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Names of the entries of folder ("." when empty) that match pattern, in the order the
// folder lists them; "." and ".." are left out.
inline std::vector<std::string> ListMatchingNames(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && WildcardMatch(pattern, name))
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

} // namespace varno::ostrel
