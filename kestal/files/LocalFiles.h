#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varno::kestal {

// The data-log files of a station's data folder: reading the names back, the terminal's
// order, the reduction of overlapping copies, the rename pass of "~" files, the merge into
// months and the paths handed to the other programs.

struct LocalFile {
    std::string fileName;  // base name (file-name bytes)
    std::string text;      // the name's text
    std::string startText; // as written in the name
    std::string stopText;
    std::string extension;
    uint32_t serial = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t magic = 0;
    uint64_t size = 0;     // bytes on disk (sum for a merged month)
    QStringList names;     // every file of a merged row; just fileName otherwise
};

// Reads a file name back into a record (size 0).
LocalFile LocalFileFromName(const std::string& fileName);

// "*.vrn" then "*.csv" of folder (any case), unsorted, with their sizes. An empty folder
// path gives nothing.
std::vector<LocalFile> ScanLocalFiles(const QString& folder);

// The terminal's order: serial (unsigned), start, magic unless MagicEqual, length (signed),
// then the file name without regard to case.
bool LocalFileLess(const LocalFile& a, const LocalFile& b);
void SortLocalFiles(std::vector<LocalFile>& files);
// Drops the shorter of neighbours with the same start and serial (or, when the second serial
// is 0, equal magics), after the leading all-zero records.
void ReduceLocalFiles(std::vector<LocalFile>& files);

// Scan, sort and reduce.
std::vector<LocalFile> LocalScan(const QString& folder);

// Identifies a file from its contents: start and length as identified and the final name;
// false when the file cannot be identified.
struct Identity {
    uint32_t start = 0;
    uint32_t length = 0;
    std::string finalName;
};
using Identifier = std::function<bool(const QString& path, Identity& identity)>;

// Moves every "~" file whose identified range equals its name's range to its final name
// (with backup). Returns the number of files that really moved; messages of failed moves
// go to failures.
int RenamePass(const QString& folder, const std::vector<LocalFile>& files,
               const Identifier& identify, QStringList* failures = nullptr);

// "YYYY-MM-DD[ hh:mm:ss]" (or "hh_mm_ss", as names hold it) into its fields; false unless
// at least the date was read.
bool ParseTimeText(const std::string& text, unsigned& year, unsigned& month, unsigned& day,
                   unsigned& hour, unsigned& minute, unsigned& second);

// Merges neighbours of one month into one record (monthly listing).
void MergeMonths(std::vector<LocalFile>& files);

// Paths of one row's file names (the PC file text, names separated by "\n"). With several
// names and combine, the "search=" form that the conversion library opens as one data log.
QString LocalFilePaths(const QString& dataFolder, const QString& pcFile, bool combine);

} // namespace varno::kestal
