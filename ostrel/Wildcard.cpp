#include "Wildcard.h"

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

bool ostrel_wildcardmatch(const std::string& name, const std::string& pattern)
{
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
