// Reads arbitrary bytes as the transfer program reads "station.cfg", looks its keys up,
// prints it as protocol lines, and sorts and matches its values as lists of data logs.

#include <transfer/Dictionary.h>
#include <transfer/StationCall.h>

#include <testing/FuzzSupport.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace varno::transfer;

using varno::testing::fuzz::check;
using varno::testing::fuzz::lines;

namespace {

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

using Pair = std::pair<std::string, std::string>;

std::vector<Pair> pairsOf(const Dictionary& dictionary)
{
    std::vector<Pair> pairs;
    for (const DictionaryEntry& e : dictionary.entries())
        pairs.emplace_back(e.key ? "k" + *e.key : "-", e.value ? "v" + *e.value : "-");
    return pairs;
}

// One entry a line: a key without blanks, a value without blanks around it.
void checkEntries(const Dictionary& dictionary)
{
    for (const DictionaryEntry& e : dictionary.entries()) {
        if (e.key) {
            check(!e.key->empty() && std::none_of(e.key->begin(), e.key->end(), isBlank));
            dictionary.Lookup(*e.key);
        }
        if (e.value)
            check(!e.value->empty() && !isBlank(e.value->front()) && !isBlank(e.value->back()));
    }
    dictionary.Lookup("connection");
    dictionary.Lookup("password");
    dictionary.Lookup("*");
    dictionary.Lookup("");
}

// Every entry with a text is one protocol line, whatever its bytes.
void checkPrinted(const Dictionary& dictionary)
{
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    check(out != nullptr);
    dictionary.Print(out, "file: ");
    std::fclose(out);
    const std::string printed(text, size);
    std::free(text);
    size_t expected = 0;
    for (const DictionaryEntry& e : dictionary.entries())
        if ((e.key && !e.key->empty()) || (e.value && !e.value->empty()))
            ++expected;
    check(size_t(std::count(printed.begin(), printed.end(), '\n')) == expected);
    for (size_t i = 0; i < printed.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(printed[i]);
        check(c == '\n' || (c >= 0x20 && c != 0x7F));
    }
}

// Sorted as data-log names, the list keeps its entries; the new files are remote entries
// in their order.
void checkLists(const Dictionary& dictionary)
{
    Dictionary local = dictionary;
    local.SortByName();
    std::vector<Pair> before = pairsOf(dictionary);
    std::vector<Pair> after = pairsOf(local);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    check(before == after);

    const std::vector<Pair> remote = pairsOf(dictionary);
    const std::vector<Pair> fresh = pairsOf(SelectNewFiles(local, dictionary));
    size_t at = 0;
    for (const Pair& p : fresh) {
        while (at < remote.size() && remote[at] != p)
            ++at;
        check(at < remote.size());
        ++at;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
    if (!file)
        return 0;
    Dictionary dictionary;
    dictionary.Read(file);
    std::fclose(file);

    check(dictionary.size() == lines(data, size).size());
    checkEntries(dictionary);
    checkPrinted(dictionary);
    checkLists(dictionary);
    return 0;
}
