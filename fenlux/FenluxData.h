#pragma once

#include <fenlux/FenluxGeometry.h>

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace varno::fenlux {

// One data column of a measurement: a quantity (group) and one of its statistics (kind).
struct FenluxColumn {
    QString name;
    QString suffix;
    int group = 0;
    int kind = 0;
    int index = 0; // position within its group
    std::vector<double> values;
};


// Statistic kind of a suffix ("mean" -> 0, "sigma" -> 1 ...), -1 when it is none.
int statisticKind(const QString& suffix);
// Heading of a kind: "value/mean", "sigma", "max", "min", "sum", "median"; else empty.
QString statisticName(int kind);

// The columns of one measurement and the texts read with them. Lines are fed in one by
// one; column 0 holds the row index, column 1 the time, the rest measured values.
class FenluxData {
public:
    FenluxData();
    ~FenluxData();
    FenluxData(const FenluxData&) = delete;
    FenluxData& operator=(const FenluxData&) = delete;

    // Parses one raw line (any line end) and adds what it holds.
    void appendLine(const char* line);
    void clear();
    // Room for this many rows in every column (a hint; columns grow beyond it as needed).
    void reserveRows(size_t rows);

    int columnCount() const { return int(m_columns.size()); }
    size_t rowCount() const { return m_columns.empty() ? 0 : m_columns[0]->values.size(); }
    FenluxColumn* column(int i) const
    {
        return i >= 0 && i < columnCount() ? m_columns[size_t(i)].get() : nullptr;
    }
    const double* values(int i) const;

    int highestGroup() const;
    int highestKind() const;

    // Time of the first / last row (column 1), 0 without rows.
    double firstTime() const;
    double lastTime() const;
    // First time minus one step (the difference of the first two times).
    double startBeforeFirst() const;

    // Appends the rows of other; only when the column counts and header lines agree.
    bool append(const FenluxData& other);

    // Block minima and maxima of a column, built on first use (nullptr for a bad index).
    const ColumnSummary* summary(int column) const;

    // Whether column 0 and column 1 never decrease (cached until the data change).
    bool isAscending(int column) const;

    const std::string& headerLine() const { return m_headerLine; }
    const QString& instrument() const { return m_instrument; }
    const QString& measurement() const { return m_measurement; }
    const QString& header() const { return m_header; }

    // Title after reading: the file name, "<instrument> - measurement <measurement>",
    // or the header text.
    QString titleFor(const QString& fileName) const;

    // Success rule of an open: more than 2 columns and at least one row.
    bool isUsable() const { return columnCount() > 2 && rowCount() > 0; }

private:
    // plain: the column line of an ordinary CSV file (unquoted names, the first for the time).
    void headerLine(const char* line, bool plain);
    void commentLine(const char* line);
    void dataLine(const char* line);
    FenluxColumn* addColumn(size_t rows, double fill);

    std::vector<std::unique_ptr<FenluxColumn>> m_columns;
    std::string m_headerLine;
    QString m_instrument;
    QString m_measurement;
    QString m_header;
    std::string m_normalised;
    size_t m_reserveRows = 0;
    void dataChanged();

    mutable int m_ascending[2] = {-1, -1};
    mutable std::vector<std::unique_ptr<ColumnSummary>> m_summaries;
};

} // namespace varno::fenlux
