// Feeds arbitrary bytes to the plotter as a file of lines: the line cutter, the field
// splitter, the time reader and writer, the normalisation and the document built from the
// lines, checking what the views and the joining of documents rely on.

#include <fenlux/FenluxData.h>
#include <fenlux/FenluxParse.h>
#include <fenlux/LineFeeder.h>

#include <testing/FuzzSupport.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace varno::fenlux;

using varno::testing::fuzz::check;

namespace {

// A time written as text, in either mode, reads back as the same time (to the written
// milliseconds and to what a double holds).
void checkTimeTexts(double t)
{
    if (!std::isfinite(t))
        return;
    const double tolerance = 0.001 + std::fabs(t) * 1e-15;
    const std::string number = timeText(t, false);
    check(std::fabs(csv_gettime(number.c_str(), nullptr) - t) <= tolerance);
    const std::string calendar = timeText(t, true);
    if (t >= 1 && t < 9e15)
        check(std::fabs(csv_gettime(calendar.c_str(), nullptr) - t) <= tolerance);
}

// Every field of a line: the splitter moves on and stays inside the text.
void checkFields(const char* line)
{
    const char* end = line + std::strlen(line);
    for (const char* p = line; *p != '\0';) {
        Field field;
        const char* next = csv_readfield(p, &field, true);
        check(next > p && next <= end);
        check(field.begin >= p && field.begin + field.size <= next);
        double value;
        check(csv_readvalue(p, &value) == csv_skipfield(p));
        p = next;
    }
    const char* after = nullptr;
    const double t = csv_gettime(line, &after);
    check(after >= line && after <= end);
    checkTimeTexts(t);
}

void checkLine(const char* line)
{
    checkFields(line);
    std::string normalised;
    if (normaliseLine(line, &normalised))
        check(normalised.size() < kLineBufferSize);
}

// What the views and the table rely on: one row count for every column, the index column
// counting the rows, no negative or infinite time.
void checkDocument(const FenluxData& data)
{
    const size_t rows = data.rowCount();
    for (int i = 0; i < data.columnCount(); ++i) {
        const FenluxColumn* column = data.column(i);
        check(column != nullptr && column->values.size() == rows);
        check(data.summary(i) != nullptr);
        statisticName(column->kind);
    }
    if (const FenluxColumn* index = data.column(0))
        for (size_t r = 0; r < rows; ++r)
            check(index->values[r] == double(r));
    if (const FenluxColumn* time = data.column(1))
        for (double t : time->values)
            check(std::isnan(t) || (t >= 0 && std::isfinite(t)));
    check(data.column(-1) == nullptr && data.column(data.columnCount()) == nullptr);
    data.isAscending(0);
    data.isAscending(1);
    data.firstTime();
    data.lastTime();
    data.startBeforeFirst();
    data.highestGroup();
    data.highestKind();
    data.titleFor(QStringLiteral("file.csv"));
}

// Reads the bytes as a file, handed over in pieces of the given size.
void read(const uint8_t* data, size_t size, size_t piece, FenluxData& document,
          std::vector<std::string>* lines)
{
    LineFeeder feeder;
    auto onLine = [&](const char* line) {
        if (lines)
            lines->push_back(line);
        document.appendLine(line);
        return true;
    };
    for (size_t at = 0; at < size; at += piece)
        feeder.feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at), onLine);
    feeder.finish(onLine);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Whole, as the file reader gets it.
    FenluxData document;
    std::vector<std::string> lines;
    read(data, size, size == 0 ? 1 : size, document, &lines);
    checkDocument(document);
    for (const std::string& line : lines)
        checkLine(line.c_str());

    // In small pieces, as from the reader process: the same lines, the same document.
    FenluxData again;
    std::vector<std::string> linesAgain;
    read(data, size, 7, again, &linesAgain);
    check(linesAgain == lines);
    check(again.columnCount() == document.columnCount() && again.rowCount() == document.rowCount());

    // A measurement joined to itself: twice the rows, still whole.
    const size_t rows = document.rowCount();
    check(document.append(again));
    check(document.rowCount() == 2 * rows);
    checkDocument(document);
    return 0;
}
