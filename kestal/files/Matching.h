#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <kestal/files/LocalFiles.h>

namespace varno::kestal {

// How the data logs of a connected instrument compare with the files of the station's data
// folder: which local files take part, the range the instrument is asked to list, and the
// walk that gives every listed data log its local copy.

// What the data folder holds of one listed data log.
enum class MatchKind {
    NotLooked, // the walk ended before this row (no local data after the last file)
    Empty,     // nothing, although later files exist: a gap
    Partial,   // a file that starts with it or runs into it, but ends before it does
    Merged,    // a longer file that covers it
    Exact,     // a file of the same start and length
};

struct RowMatch {
    MatchKind kind = MatchKind::NotLooked;
    std::string fileName; // the matching local file; "" for NotLooked and Empty
};

// A listed data log as far as matching looks at it.
struct ListedRange {
    uint32_t start = 0;
    uint32_t length = 0;
};

// The files that may hold this instrument's data: its serial, a length that is not negative
// and, when magic is not 0, a magic that MagicEqual accepts; sorted and reduced.
std::vector<LocalFile> MatchCandidates(std::vector<LocalFile> files, uint32_t serial, uint32_t magic);

// The files of this instrument (any magic), sorted and reduced: the base of the listing range.
std::vector<LocalFile> InstrumentFiles(std::vector<LocalFile> files, uint32_t serial);

// The range the instrument lists: nothing when no file is there; from firmware 3.1 on from the
// first file's start to the last file's end, before that the last file's range.
ListedRange ListingRange(const std::vector<LocalFile>& instrumentFiles, double firmware);

// Walks the rows (ascending start) against the candidates (ascending start) and gives each
// row its match. Once a row's scan has run through to the last file, the rows after it are
// NotLooked.
std::vector<RowMatch> MatchRows(const std::vector<ListedRange>& rows, const std::vector<LocalFile>& candidates);

// Status word and icon of a match ("" and 0 for NotLooked).
const char* MatchStatus(MatchKind kind);
int MatchIcon(MatchKind kind);

} // namespace varno::kestal
