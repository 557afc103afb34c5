#include <python/LogColumns.h>

#include <algorithm>
#include <map>
#include <strings.h>
#include <utility>

#include <ostrel/OstrelUi.h>

namespace varno::python {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// There is nobody to show a message box to: what the library reports while a file loads
// is kept for the error that follows, per thread, since loads run without the interpreter
// lock. There is no file dialog either, so an empty path fails.
class CollectingUi final : public COstrelUi {
public:
    void ShowMessage(const std::string& text, const std::string&) override
    {
        std::string& messages = Messages();
        messages += (messages.empty() ? "" : "; ") + text;
    }
    std::string ChooseFileToOpen(const std::string&, const std::string&, const std::string&) override
    {
        return std::string();
    }
    static std::string& Messages()
    {
        thread_local std::string messages;
        return messages;
    }
};

void installCollectingUi()
{
    static CollectingUi ui;
    static const bool installed = (ostrel_setui(&ui), true);
    (void)installed;
}

bool isSearchPattern(const std::string& path)
{
    return path.size() > 6 && strncasecmp(path.c_str(), "search=", 7) == 0;
}

bool hasValueEntriesFrom(const ostrel::CEntryTable& table, size_t first)
{
    for (size_t i = first; i < table.Count(); ++i)
        if (table.Flags(i) & LOGF_DATA)
            return true;
    return false;
}

} // namespace

std::unique_ptr<CDataStore> LoadAll(const std::vector<std::string>& paths, std::vector<size_t>& emptyPaths)
{
    installCollectingUi();
    auto data = std::make_unique<CDataStore>();
    emptyPaths.clear();
    for (size_t k = 0; k < paths.size(); ++k) {
        CollectingUi::Messages().clear();
        const size_t before = data->Table().Count();
        if (!data->Load(paths[k])) {
            const std::string& message = CollectingUi::Messages();
            throw LoadFailure{k, message.empty() ? "FAILED reading file" : message};
        }
        if (!isSearchPattern(paths[k]) && !hasValueEntriesFrom(data->Table(), before))
            emptyPaths.push_back(k);
    }
    return data;
}

int64_t TimeValue(CUtcTime time, int64_t unitsPerSecond)
{
    return time.bValid() ? int64_t(time.GetSeconds()) * unitsPerSecond : kNoTime;
}

CValueColumns::CValueColumns(CDataStore& data) : m_data(data)
{
    FindStretches();
    NameColumns();
}

CValueColumns::CValueColumns(CDataStore& data, const std::vector<std::string>& selection)
    : m_data(data), m_names(selection)
{
    FindStretches();
    for (Stretch& stretch : m_stretches) {
        for (const std::string& name : selection)
            stretch.picks.push_back(m_data.ValueIndexByName(stretch.firstEntry, name));
        NoteOrder(stretch);
    }
}

// Whether value j goes to column j for every column, and no row has more values than columns.
void CValueColumns::NoteOrder(Stretch& stretch)
{
    stretch.inOrder = stretch.widest <= stretch.picks.size();
    for (size_t column = 0; column < stretch.picks.size() && stretch.inOrder; ++column)
        stretch.inOrder = stretch.picks[column] == int(column);
}

// The value entries under one column set, stretch by stretch.
void CValueColumns::FindStretches()
{
    const ostrel::CEntryTable& table = m_data.Table();
    for (size_t i = 0; i < table.Count(); ++i) {
        if (!(table.Flags(i) & LOGF_DATA))
            continue;
        const ostrel::CColumnSet* columnSet = table.ColumnSetOf(i);
        if (m_stretches.empty() || m_stretches.back().columnSet != columnSet)
            m_stretches.push_back(Stretch{m_rows, int(i), columnSet, 0, {}, false});
        m_stretches.back().widest = std::max(m_stretches.back().widest, table.ValueCount(i));
        ++m_rows;
    }
}

void CValueColumns::NameColumns()
{
    const std::vector<ostrel::CColumnSet>& sets = m_data.Table().ColumnSets();
    // An entry before the first column set has the names of that set (GetColumnNames).
    const ostrel::CColumnSet* firstSet = sets.empty() ? nullptr : &sets[0];
    // A column is a name and which repetition of it within its set.
    std::map<std::pair<std::string, int>, int> columnOf;
    std::vector<std::vector<int>> columnsOfValues;
    for (const Stretch& stretch : m_stretches) {
        const ostrel::CColumnSet* named = stretch.columnSet ? stretch.columnSet : firstSet;
        static const std::vector<std::string> noNames;
        const std::vector<std::string>& names = named ? named->Names() : noNames;
        std::map<std::string, int> repetitions;
        std::vector<int> columns;
        for (size_t j = 0; j < std::max(names.size(), stretch.widest); ++j) {
            const std::string name = j < names.size() ? names[j] : "col_" + std::to_string(j);
            const auto found = columnOf.try_emplace({name, repetitions[name]++}, int(m_names.size()));
            if (found.second)
                m_names.push_back(name);
            columns.push_back(found.first->second);
        }
        columnsOfValues.push_back(std::move(columns));
    }
    for (size_t k = 0; k < m_stretches.size(); ++k) {
        std::vector<int>& picks = m_stretches[k].picks;
        picks.assign(m_names.size(), -1);
        for (size_t j = 0; j < columnsOfValues[k].size(); ++j)
            picks[size_t(columnsOfValues[k][j])] = int(j);
        NoteOrder(m_stretches[k]);
    }
}

void CValueColumns::Fill(int64_t unitsPerSecond, int64_t* times, float* values) const
{
    const ostrel::CEntryTable& table = m_data.Table();
    size_t widest = 0;
    for (const Stretch& stretch : m_stretches)
        widest = std::max(widest, stretch.widest);
    std::vector<float> row(widest);
    size_t stretch = 0;
    size_t rowNumber = 0;
    for (size_t i = 0; i < table.Count() && rowNumber < m_rows; ++i) {
        if (!(table.Flags(i) & LOGF_DATA))
            continue;
        while (stretch + 1 < m_stretches.size() && m_stretches[stretch + 1].firstRow <= rowNumber)
            ++stretch;
        times[rowNumber] = TimeValue(table.EffectiveTime(i), unitsPerSecond);
        const size_t count = table.ValueCount(i);
        const std::vector<int>& picks = m_stretches[stretch].picks;
        float* cell = values + rowNumber;
        if (m_stretches[stretch].inOrder) {
            // The common case: value j is column j; straight into place.
            table.CopyValues(i, cell, m_rows);
            for (size_t column = count; column < picks.size(); ++column)
                cell[column * m_rows] = kNaN;
        } else {
            table.CopyValues(i, row.data(), 1);
            for (size_t column = 0; column < picks.size(); ++column) {
                const int j = picks[column];
                cell[column * m_rows] = j >= 0 && size_t(j) < count ? row[size_t(j)] : kNaN;
            }
        }
        ++rowNumber;
    }
}

TextEntries ReadTexts(CDataStore& data, int64_t unitsPerSecond)
{
    TextEntries entries;
    const int count = data.GetEntryCount();
    for (int i = 0; i < count; ++i) {
        const int flags = data.GetEntryFlags(i);
        if (flags & LOGF_DATA)
            continue;
        entries.times.push_back(TimeValue(data.GetEntryTime(i), unitsPerSecond));
        entries.flags.push_back(flags);
        entries.texts.push_back(data.GetEntryText(i));
    }
    return entries;
}

} // namespace varno::python
