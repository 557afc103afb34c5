#include <kestal/files/Matching.h>

#include <quorvalin/Quorvalin.h>

#include <algorithm>

namespace varno::kestal {

namespace {

void sortAndReduce(std::vector<LocalFile>& files)
{
    SortLocalFiles(files);
    ReduceLocalFiles(files);
}

} // namespace

std::vector<LocalFile> InstrumentFiles(std::vector<LocalFile> files, uint32_t serial)
{
    // Filtered before reducing: a file of another serial never pushes out one of this
    // instrument.
    files.erase(std::remove_if(files.begin(), files.end(),
                               [serial](const LocalFile& f) { return f.serial != serial; }),
                files.end());
    sortAndReduce(files);
    return files;
}

std::vector<LocalFile> MatchCandidates(std::vector<LocalFile> files, uint32_t serial, uint32_t magic)
{
    files.erase(std::remove_if(files.begin(), files.end(),
                               [serial, magic](const LocalFile& f) {
                                   return f.serial != serial || int32_t(f.length) < 0 ||
                                       (magic != 0 && !MagicEqual(f.magic, magic));
                               }),
                files.end());
    sortAndReduce(files);
    return files;
}

ListedRange ListingRange(const std::vector<LocalFile>& files, double firmware)
{
    if (files.empty())
        return {};
    if (firmware >= 3.1) {
        const uint32_t first = files.front().start;
        return {first, files.back().start + files.back().length - first};
    }
    return {files.back().start, files.back().length};
}

std::vector<RowMatch> MatchRows(const std::vector<ListedRange>& rows, const std::vector<LocalFile>& candidates)
{
    std::vector<RowMatch> matches(rows.size());
    // The first file that ended at or after an earlier row; 0 also stands for "none yet".
    size_t remembered = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        const int64_t S = rows[r].start;
        const int64_t L = rows[r].length;
        const LocalFile* exact = nullptr;
        const LocalFile* merged = nullptr;
        const LocalFile* partial = nullptr;
        bool ranToEnd = true;
        for (size_t k = remembered; k < candidates.size(); ++k) {
            const LocalFile& f = candidates[k];
            const int64_t s = f.start;
            const int64_t l = f.length;
            const int64_t e = s + l;
            if (e < S)
                continue; // ends before the row
            if (remembered == 0)
                remembered = k;
            if (s > S) {
                ranToEnd = false; // later files start after this row
                break;
            }
            if (s == S && l == L)
                exact = &f;
            else if (s == S || S < e)
                (e >= S + L ? merged : partial) = &f;
        }
        RowMatch& m = matches[r];
        if (exact)
            m = {MatchKind::Exact, exact->fileName};
        else if (merged)
            m = {MatchKind::Merged, merged->fileName};
        else if (partial)
            m = {MatchKind::Partial, partial->fileName};
        else
            m = {MatchKind::Empty, std::string()};
        if (ranToEnd)
            break; // no local data beyond the last file: the rest stay NotLooked
    }
    return matches;
}

const char* MatchStatus(MatchKind kind)
{
    switch (kind) {
    case MatchKind::Exact: return "ok exact";
    case MatchKind::Merged: return "ok merged";
    case MatchKind::Partial: return "warning partially";
    case MatchKind::Empty: return "warning empty";
    case MatchKind::NotLooked: break;
    }
    return "";
}

int MatchIcon(MatchKind kind)
{
    switch (kind) {
    case MatchKind::Exact:
    case MatchKind::Merged: return 4;
    case MatchKind::Partial: return 3;
    case MatchKind::Empty:
    case MatchKind::NotLooked: break;
    }
    return 0;
}

} // namespace varno::kestal
