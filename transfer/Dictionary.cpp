#include <transfer/Dictionary.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <link/DataLogNames.h>
#include <transfer/Protocol.h>

namespace varno::transfer {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (fold(x) != fold(y))
            return false;
    }
    return true;
}

} // namespace

bool Dictionary::Append(std::optional<std::string> key, std::optional<std::string> value)
{
    return InsertAfter(long(m_entries.size()) - 1, std::move(key), std::move(value));
}

bool Dictionary::InsertAfter(long index, std::optional<std::string> key, std::optional<std::string> value)
{
    try {
        const size_t at = index < 0 ? 0 : std::min(m_entries.size(), size_t(index) + 1);
        m_entries.insert(m_entries.begin() + long(at), DictionaryEntry{std::move(key), std::move(value)});
        return true;
    } catch (const std::bad_alloc&) {
        std::fputs("Failed to malloc new dictionary node\n", stderr);
        return false;
    }
}

void Dictionary::AddLine(const std::string& raw)
{
    size_t begin = 0, end = raw.size();
    while (begin < end && isBlank(raw[begin]))
        ++begin;
    while (end > begin && isBlank(raw[end - 1]))
        --end;
    const std::string line = raw.substr(begin, end - begin);
    if (line.empty()) {
        Append(std::nullopt, std::nullopt);
        return;
    }
    if (line[0] == '#') {
        Append(std::nullopt, line);
        return;
    }
    size_t keyEnd = 0;
    while (keyEnd < line.size() && !isBlank(line[keyEnd]))
        ++keyEnd;
    size_t valueStart = keyEnd;
    while (valueStart < line.size() && isBlank(line[valueStart]))
        ++valueStart;
    std::optional<std::string> value;
    if (valueStart < line.size())
        value = line.substr(valueStart);
    Append(line.substr(0, keyEnd), std::move(value));
}

bool Dictionary::ReadFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return false;
    Read(file);
    std::fclose(file);
    return true;
}

void Dictionary::Read(std::FILE* file)
{
    // Whole lines, however long: a long value is never split into a bogus second entry.
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t n;
    while ((n = ::getline(&buffer, &capacity, file)) >= 0)
        AddLine(std::string(buffer, size_t(n)));
    std::free(buffer);
}

std::optional<std::string> Dictionary::Lookup(const std::string& name) const
{
    for (const DictionaryEntry& entry : m_entries) {
        if (!entry.key || entry.key->empty())
            continue;
        if (name == "*" || equalNoCase(*entry.key, name))
            return entry.value;
    }
    return std::nullopt;
}

void Dictionary::Print(std::FILE* out, const std::string& prefix, const std::string& lineEnd) const
{
    for (const DictionaryEntry& entry : m_entries) {
        const bool hasKey = entry.key && !entry.key->empty();
        const bool hasValue = entry.value && !entry.value->empty();
        if (!hasKey && !hasValue)
            continue;
        std::string line = prefix;
        if (hasKey)
            line += *entry.key;
        if (hasKey && hasValue)
            line += ' ';
        if (hasValue)
            line += *entry.value;
        protocol::Write(out, protocol::OneLine(line) + lineEnd);
    }
}

void Dictionary::SortByName()
{
    // Stable merge sort: the order of names may be cyclic when names with and without a
    // magic share a folder, which an introsort must not be given.
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const DictionaryEntry& a, const DictionaryEntry& b) {
        return link::CompareTransferNames(a.value.value_or(std::string()), b.value.value_or(std::string())) < 0;
    });
}

} // namespace varno::transfer
