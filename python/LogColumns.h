#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/DataStore.h>

namespace varno::python {

using ostrel::CDataStore;

// A file that did not load: which of the paths, and what the library said.
struct LoadFailure {
    size_t index;
    std::string message;
};

// Loads the paths in order into one conversion object, as the converter loads its file
// arguments; the first failure ends it (throws LoadFailure). emptyPaths gets the indexes of
// the files that gave no value entry (search patterns aside), of which the converter warns.
std::unique_ptr<CDataStore> LoadAll(const std::vector<std::string>& paths, std::vector<size_t>& emptyPaths);

// A time as the frames hold it: seconds (or nanoseconds) since 1970, kNoTime when invalid.
constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
int64_t TimeValue(CUtcTime time, int64_t unitsPerSecond);

// The value entries of a conversion object as columns of the values the converter writes.
//
// Every column: a row's values carry the names of its entry's column set
// (GetColumnNames(i)), the converter's column line. When the set changes between rows the
// columns are the union, in order of first appearance; a name that repeats within a set is
// a column of its own for each repetition, and a value beyond its set's names is named
// "col_<j>", as GetValueByName knows it.
//
// Selected columns: the given names, each looked up as the converter's -d option looks it
// up (GetValueByName).
//
// A cell that a row has no value for is NaN.
class CValueColumns {
public:
    explicit CValueColumns(CDataStore& data);
    CValueColumns(CDataStore& data, const std::vector<std::string>& selection);

    const std::vector<std::string>& Names() const { return m_names; }
    size_t Rows() const { return m_rows; }

    // times[Rows()]; values[Names().size() * Rows()], column after column. The values are
    // the library's own, 32-bit floats.
    void Fill(int64_t unitsPerSecond, int64_t* times, float* values) const;

private:
    // The rows from firstRow on, up to the next stretch, share a column set. picks[c] is the
    // index of the value that goes to column c, or -1.
    struct Stretch {
        size_t firstRow;
        int firstEntry;
        const ostrel::CColumnSet* columnSet;
        size_t widest; // the most values of a row
        std::vector<int> picks;
        bool inOrder; // picks[c] == c for every column, and no row has more values
    };
    void FindStretches();
    static void NoteOrder(Stretch& stretch);
    void NameColumns();

    CDataStore& m_data;
    std::vector<std::string> m_names;
    std::vector<Stretch> m_stretches;
    size_t m_rows = 0;
};

// The text entries (those without values): time, flags and the library's entry text.
struct TextEntries {
    std::vector<int64_t> times;
    std::vector<int> flags;
    std::vector<std::string> texts;
};
TextEntries ReadTexts(CDataStore& data, int64_t unitsPerSecond);

} // namespace varno::python
