#pragma once

// What the tests and the fuzz target of the converter compare: a table written in process,
// and the rows of a conversion object as a table should show them.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ostrel-cli/Converter.h>
#include <ostrel/Ostrel.h>

namespace varno::testing {

// The table written in process, as the converter program writes it; messages gets the
// error stream.
inline std::string convertInProcess(const std::vector<std::string>& args, std::string& messages)
{
    char* out = nullptr;
    char* err = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE* outStream = open_memstream(&out, &outSize);
    FILE* errStream = open_memstream(&err, &errSize);
    converter::CConverter(outStream, errStream).Run("ostrel", args);
    std::fclose(outStream);
    std::fclose(errStream);
    messages.assign(err, errSize);
    std::string table(out, outSize);
    std::free(out);
    std::free(err);
    return table;
}

// One row of the original: its time, the names over its values and the values.
struct ConvertedRow {
    std::string time;
    std::vector<std::string> names;
    std::vector<double> values;
};

inline std::vector<std::string> splitNames(const std::string& joined)
{
    std::vector<std::string> names;
    for (size_t at = 0; !joined.empty(); ++at) {
        const size_t comma = joined.find(',', at);
        names.push_back(joined.substr(at, comma - at));
        if (comma == std::string::npos)
            break;
        at = comma;
    }
    return names;
}

// The value rows of data; with a selection, the values looked up by those names.
inline std::vector<ConvertedRow> rowsOf(COstrel& data, const std::vector<std::string>& selection)
{
    std::vector<ConvertedRow> rows;
    for (int i = 0; i < data.GetEntryCount(); ++i) {
        if (!(data.GetEntryFlags(i) & LOGF_DATA))
            continue;
        ConvertedRow row;
        char time[CUtcTime::PrintBufferSize];
        row.time = data.GetEntryTime(i).Print(time, false);
        if (selection.empty()) {
            row.names = splitNames(data.GetColumnNames(i));
            for (int j = 0; j < data.GetValueCount(i); ++j)
                row.values.push_back(data.GetValue(i, j));
        } else {
            row.names = selection;
            for (const std::string& name : selection)
                row.values.push_back(data.GetValueByName(i, name));
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace varno::testing
