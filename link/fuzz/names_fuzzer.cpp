// Reads every line of the input back as a data-log name, writes each again in the
// transfer program's, the terminal's and the temporary form and sorts them all in the
// transfer program's order.

#include <link/DataLogNames.h>

#include <testing/FuzzSupport.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace varno::link;

using varno::testing::fuzz::check;
using varno::testing::fuzz::lines;

namespace {

bool sameNumbers(const NameRecord& a, const NameRecord& b)
{
    return a.serial == b.serial && a.start == b.start && a.length == b.length && a.magic == b.magic;
}

bool sameRecord(const NameRecord& a, const NameRecord& b)
{
    return a.fileName == b.fileName && sameNumbers(a, b) && a.startText == b.startText
        && a.stopText == b.stopText && a.text == b.text && a.extension == b.extension
        && a.logLength == b.logLength;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A name written from what was read gives the same numbers, the text after the character
// rule (shortened only to fit) and its extension.
NameRecord checkWritten(const std::string& written, const NameRecord& read, uint32_t magic,
                        const std::string& extension)
{
    const NameRecord back = ReadName(written);
    check(back.serial == read.serial && back.start == read.start && back.length == read.length);
    check(back.magic == magic);
    check(back.extension == extension);
    check(startsWith(ApplyCharacterRule(read.text), back.text));
    if (extension.size() < 100)
        check(written.size() <= kMaxNameBytes);
    return back;
}

void checkOrder(std::vector<std::string> names)
{
    std::vector<std::string> sorted = names;
    SortTransferNames(sorted);
    // Whatever the magics, the sorted list holds the same names.
    std::sort(names.begin(), names.end());
    std::vector<std::string> again = sorted;
    std::sort(again.begin(), again.end());
    check(again == names);
    for (size_t i = 0; i + 1 < sorted.size(); ++i) {
        const int forward = CompareTransferNames(sorted[i], sorted[i + 1]);
        const int backward = CompareTransferNames(sorted[i + 1], sorted[i]);
        check((forward < 0) == (backward > 0) && (forward == 0) == (backward == 0));
        check(CompareTransferNames(sorted[i], sorted[i]) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> names;
    for (const std::string& name : lines(data, size)) {
        names.push_back(name);

        const NameRecord read = ReadName(name);
        uint32_t serial, start, length, magic;
        ReadLeadingNumbers(name, serial, start, length, magic);
        if (name.find('/') == std::string::npos) {
            // Folders of the path, even bracketed or dotted ones, play no part.
            check(read.fileName == name);
            check(sameRecord(ReadName("stations/[1-2-3-4] a.b/" + name), read));
        }

        Record record;
        record.serial = read.serial;
        record.start = read.start;
        record.length = read.length;
        record.magic = read.magic;
        record.startTime = read.start;
        record.stopTime = read.length;
        record.text = read.text;

        record.magic = 0;
        const std::string transfer = TransferFileName(record);
        const NameRecord fromTransfer = checkWritten(transfer, read, 0, "vrn");
        check(fromTransfer.logLength == read.length);
        ReadLeadingNumbers(transfer, serial, start, length, magic);
        check(serial == read.serial && start == read.start && length == read.length && magic == 0);

        record.magic = read.magic;
        const std::string terminal = TerminalFileName(record, read.extension, "varno310");
        checkWritten(terminal, read, read.magic, read.extension.empty() ? "vrn" : read.extension);
        ReadLeadingNumbers(terminal, serial, start, length, magic);
        check(serial == read.serial && start == read.start && length == read.length && magic == read.magic);

        const std::string temporary = TemporaryDownloadName(
            read.serial, read.start, read.length, read.startText, read.stopText, read.text);
        const NameRecord fromTemporary = ReadName(temporary);
        check(fromTemporary.serial == read.serial && fromTemporary.start == read.start
              && fromTemporary.length == read.length && fromTemporary.magic == 0);

        names.push_back(transfer);
        names.push_back(terminal);
    }
    checkOrder(names);
    return 0;
}
