#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace varno::transfer {

// An ordered list of optional key and value texts: the station configuration read from
// "station.cfg" and the lists of local and remote data logs of one call.
struct DictionaryEntry {
    std::optional<std::string> key;
    std::optional<std::string> value;
};

class Dictionary {
public:
    using Entries = std::vector<DictionaryEntry>;

    // Appends an entry after the last one. When no memory is left, the message
    // "Failed to malloc new dictionary node" goes to standard error and nothing is added.
    bool Append(std::optional<std::string> key, std::optional<std::string> value);
    // Inserts an entry directly after the entry at index (at the front for index -1).
    bool InsertAfter(long index, std::optional<std::string> key, std::optional<std::string> value);

    // Reads a text file: one entry per line (see AddLine). False when the file cannot be
    // opened; a file without lines gives an empty list.
    bool ReadFile(const std::string& path);
    // The same from an open stream, up to its end.
    void Read(std::FILE* file);
    // Adds the entry of one line: blank lines give an entry with neither key nor value,
    // "#" lines a value only, other lines the key up to the first white space and the
    // rest after the white space that follows it as value (none when nothing follows).
    void AddLine(const std::string& line);

    // Value of the first entry whose non-empty key equals name without regard to case;
    // "*" matches the first entry with a non-empty key. None when there is no such entry.
    std::optional<std::string> Lookup(const std::string& name) const;

    // Writes prefix, key, a blank when both are present, value and lineEnd for every
    // entry that has a non-empty key or value. Each line is one write.
    void Print(std::FILE* out, const std::string& prefix, const std::string& lineEnd = "\n") const;

    // Sorts by the values (data-log names) in the transfer program's order of names.
    void SortByName();

    const Entries& entries() const { return m_entries; }
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

private:
    Entries m_entries;
};

} // namespace varno::transfer
