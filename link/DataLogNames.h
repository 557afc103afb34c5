#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varno::link {

// Data-log records and the file names under which the terminal and the transfer program
// store downloaded data logs. Texts are 8-bit (Latin-1 from instruments).

// One data log as the instrument link lists it, plus the instrument's serial number.
struct Record {
    uint32_t serial = 0;
    uint32_t start = 0;     // first position in the instrument's memory
    uint32_t length = 0;    // extent: start .. start + length
    uint32_t magic = 0;     // 0 in names made by the transfer program
    uint32_t startTime = 0; // seconds since 1970-01-01 00:00:00
    uint32_t stopTime = 0;  // 0: still recording
    std::string text;       // measurement title
};

// What a file name reads back to.
struct NameRecord {
    std::string fileName;  // the base name that was read
    uint32_t serial = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t magic = 0;
    std::string startText; // second bracketed text, as written
    std::string stopText;  // third bracketed text, as written
    std::string text;      // after the third "]", leading blanks removed, extension removed
    std::string extension; // lower case, without the dot; empty when the text has no "."
    uint32_t logLength = 0; // length for a "vrn" file, else 0
};

// Longest file name the file systems take (bytes).
constexpr size_t kMaxNameBytes = 255;

// "%04u-%08u-%05u" of serial, start and length.
std::string FileKey(uint32_t serial, uint32_t start, uint32_t length);

// "YYYY-MM-DD hh:mm:ss", or "YYYY-MM-DD" at midnight.
std::string TimeText(uint32_t seconds);
// As TimeText, but "(running)" for 0.
std::string StopTimeText(uint32_t seconds);

// Replaces every character that is not safe in a file name (Latin-1 input).
std::string ApplyCharacterRule(const std::string& text);

// The bracket part "[serial-start-length-magic] [start] [stop] " (before the character rule).
std::string BracketPart(const Record& record);

// Name as the transfer program makes it: bracket part, text, character rule, ".vrn".
// The text is shortened so that the name fits kMaxNameBytes.
std::string TransferFileName(const Record& record);

// Name as the terminal makes it: bracket part, blank, text, character rule, then "." and
// the extension, or when that is empty the one chosen by the instrument type ("csv" and
// "qrx731" give "csv", anything else "vrn"). Shortened like TransferFileName.
std::string TerminalFileName(const Record& record, const std::string& extension,
                             const std::string& instrumentType);

// The terminal's name of a download in progress: "[serial-start-length] [start] [stop] (tmp) "
// and the text, where start and stop are the listing's texts after the character rule, each
// without a trailing "00_00_00" when longer than 8 characters. Shortened like the others.
std::string TemporaryDownloadName(uint32_t serial, uint32_t start, uint32_t length,
                                  const std::string& startText, const std::string& stopText,
                                  const std::string& text);

// Extension chosen by an instrument type text (without the dot).
std::string ExtensionForInstrumentType(const std::string& instrumentType);

// Reads a name back (terminal form or transfer form); a path is reduced to its base name.
NameRecord ReadName(const std::string& nameOrPath);

// The four numbers of a name that begins with "[serial-start-length-magic]"; numbers from
// the first one that does not match stay 0 (the transfer program's reading).
void ReadLeadingNumbers(const std::string& name, uint32_t& serial, uint32_t& start,
                        uint32_t& length, uint32_t& magic);

// The transfer program's order of two names: negative, 0 or positive.
int CompareTransferNames(const std::string& first, const std::string& second);
// Sorts names by CompareTransferNames (stable: the order may be cyclic for mixed magics).
void SortTransferNames(std::vector<std::string>& names);

} // namespace varno::link
