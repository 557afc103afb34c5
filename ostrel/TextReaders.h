#pragma once

#include <cstddef>

class CDataStore;

// Reads the converter's own table format back: value lines start with a date and time
// (or a number of seconds), every other line is kept as text and may name columns.
class CTextLogReader {
public:
    explicit CTextLogReader(CDataStore& store) : m_store(store) {}
    void Read(const char* data, size_t size);

private:
    int AnalyseTextLine(const char* line, const char* end);

    CDataStore& m_store;
};

// Reads number files: rows of numbers whose first two encode the time and whose last is
// the sum of all the others.
class CNumberLogReader {
public:
    explicit CNumberLogReader(CDataStore& store) : m_store(store) {}
    void Read(const char* data, size_t size);

    // Whether the first line of data (up to 2048 bytes are enough) is such a row.
    static bool FirstLineMatches(const char* data, size_t size);

private:
    CDataStore& m_store;
};
