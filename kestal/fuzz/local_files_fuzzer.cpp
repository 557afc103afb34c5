// Reads every line of the input back as the name of a file in a station's data folder and
// runs the terminal's listing on them: its order, the reduction of copies of one data log,
// the monthly merge and the paths handed to the other programs.

#include <kestal/files/LocalFiles.h>

#include <testing/FuzzSupport.h>

#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace varno::kestal;

using varno::testing::fuzz::check;
using varno::testing::fuzz::lines;

namespace {

std::vector<std::string> fileNames(const std::vector<LocalFile>& files)
{
    std::vector<std::string> names;
    for (const LocalFile& f : files)
        names.push_back(f.fileName);
    return names;
}

bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole)
{
    size_t at = 0;
    for (const std::string& name : part) {
        while (at < whole.size() && whole[at] != name)
            ++at;
        if (at == whole.size())
            return false;
        ++at;
    }
    return true;
}

void checkTimeText(const std::string& text)
{
    unsigned year, month, day, hour, minute, second;
    if (ParseTimeText(text, year, month, day, hour, minute, second))
        check(month >= 1 && month <= 12);
}

// The merged rows hold every file once, in the listing's order, with their sizes.
void checkMerged(const std::vector<LocalFile>& listed)
{
    std::vector<LocalFile> merged = listed;
    MergeMonths(merged);
    QStringList before, after;
    uint64_t sizeBefore = 0, sizeAfter = 0;
    for (const LocalFile& f : listed) {
        before += f.names;
        sizeBefore += f.size;
    }
    for (const LocalFile& f : merged) {
        after += f.names;
        sizeAfter += f.size;
    }
    check(after == before && sizeAfter == sizeBefore);
}

// One path a name; combined, the "search=" line first.
void checkPaths(const std::vector<LocalFile>& files)
{
    QStringList names;
    for (const LocalFile& f : files)
        names += f.names;
    if (names.isEmpty())
        return;
    const QString pcFile = names.join('\n');
    const QString folder = QStringLiteral("/stations/[1-2-3-4] a.b/vrn");
    const int single = LocalFilePaths(folder, pcFile, false).count('\n') + 1;
    check(single == names.size());
    const QString combined = LocalFilePaths(folder, pcFile, true);
    check(combined.count('\n') + 1 == names.size() + (names.size() > 1 ? 1 : 0));
    check(names.size() == 1 || combined.startsWith(QStringLiteral("search=")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<LocalFile> files;
    for (const std::string& name : lines(data, size)) {
        LocalFile f = LocalFileFromName(name);
        f.size = files.size() + 1;
        checkTimeText(f.startText);
        checkTimeText(f.stopText);
        check(!LocalFileLess(f, f));
        files.push_back(f);
    }

    // Whatever the magics, the sorted list holds the same files.
    std::vector<LocalFile> sorted = files;
    SortLocalFiles(sorted);
    std::vector<std::string> before = fileNames(files);
    std::vector<std::string> after = fileNames(sorted);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    check(before == after);

    std::vector<LocalFile> reduced = sorted;
    ReduceLocalFiles(reduced);
    check(isSubsequence(fileNames(reduced), fileNames(sorted)));

    checkMerged(reduced);
    checkPaths(files);
    return 0;
}
