#include <fenlux/FenluxData.h>

#include <fenlux/FenluxParse.h>
#include <ostrel/NumberText.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace varno::fenlux {

namespace {

struct SuffixEntry {
    const char* text;
    int kind;
};

const SuffixEntry kSuffixes[] = {
    {"value/mean", 0}, {"mean", 0}, {"mean360", 0}, {"sigma", 1},
    {"max", 2},        {"min", 3},  {"sum", 4},     {"median", 5},
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Texts of lines are 8-bit: UTF-8 when valid, Latin-1 otherwise.
QString decodeText(const char* text, size_t size)
{
    const QByteArray bytes(text, int(size));
    const QString utf8 = QString::fromUtf8(bytes);
    if (!utf8.contains(QChar::ReplacementCharacter))
        return utf8;
    return QString::fromLatin1(bytes);
}

bool startsWithNoCase(const Field& f, const char* word)
{
    const size_t n = std::strlen(word);
    return f.size >= n && strncasecmp(f.begin, word, n) == 0;
}

bool equalsNoCase(const Field& f, const char* word)
{
    return f.size == std::strlen(word) && strncasecmp(f.begin, word, f.size) == 0;
}

bool isNumber(const Field& f)
{
    double value;
    const char* end = f.begin + f.size;
    return f.size > 0 && ostrel::numbertext::Read(f.begin, end, value) == end;
}

// The column line of an ordinary CSV file: names only, no number and no time (a line
// that began with a time was normalised to begin with a number).
bool isPlainColumnLine(const char* line)
{
    bool named = false;
    for (const char* p = line; *p != '\0';) {
        Field f;
        p = csv_readfield(p, &f, true);
        if (isNumber(f))
            return false;
        named = named || f.size > 0;
    }
    return named;
}

// Date and time in two columns "date,time": the data lines hold them as one time.
const char* skipSeparateDate(const char* line)
{
    Field date, time;
    const char* second = csv_readfield(line, &date, true);
    csv_readfield(second, &time, true);
    return equalsNoCase(date, "date") && equalsNoCase(time, "time") ? second : line;
}

} // namespace

int statisticKind(const QString& suffix)
{
    for (const SuffixEntry& e : kSuffixes)
        if (suffix == QLatin1String(e.text))
            return e.kind;
    return -1;
}

QString statisticName(int kind)
{
    for (const SuffixEntry& e : kSuffixes)
        if (e.kind == kind)
            return QString::fromLatin1(e.text);
    return QString();
}

FenluxData::FenluxData() = default;
FenluxData::~FenluxData() = default;

void FenluxData::clear()
{
    m_columns.clear();
    m_reserveRows = 0;
    dataChanged();
}

void FenluxData::dataChanged()
{
    m_ascending[0] = m_ascending[1] = -1;
    if (!m_summaries.empty())
        m_summaries.clear();
}

const ColumnSummary* FenluxData::summary(int i) const
{
    const FenluxColumn* c = column(i);
    if (!c)
        return nullptr;
    if (m_summaries.size() != m_columns.size())
        m_summaries.resize(m_columns.size());
    if (!m_summaries[size_t(i)]) {
        auto s = std::make_unique<ColumnSummary>();
        s->build(c->values.data(), c->values.size());
        m_summaries[size_t(i)] = std::move(s);
    }
    return m_summaries[size_t(i)].get();
}

const double* FenluxData::values(int i) const
{
    const FenluxColumn* c = column(i);
    return c ? c->values.data() : nullptr;
}

int FenluxData::highestGroup() const
{
    int g = 0;
    for (const auto& c : m_columns)
        g = std::max(g, c->group);
    return g;
}

int FenluxData::highestKind() const
{
    int k = 0;
    for (const auto& c : m_columns)
        k = std::max(k, c->kind);
    return k;
}

FenluxColumn* FenluxData::addColumn(size_t rows, double fill)
{
    m_columns.push_back(std::make_unique<FenluxColumn>());
    FenluxColumn* c = m_columns.back().get();
    if (m_reserveRows > rows)
        c->values.reserve(m_reserveRows);
    c->values.assign(rows, fill);
    return c;
}

void FenluxData::reserveRows(size_t rows)
{
    m_reserveRows = rows;
    for (auto& c : m_columns)
        if (c->values.capacity() < rows)
            c->values.reserve(rows);
}

void FenluxData::appendLine(const char* line)
{
    normaliseLine(line, &m_normalised);
    const char* p = m_normalised.c_str();
    switch (*p) {
    case '\0':
        return;
    case '"':
        headerLine(p, false);
        break;
    case '#':
        commentLine(p);
        break;
    default:
        if (m_columns.empty() && isPlainColumnLine(p))
            headerLine(skipSeparateDate(p), true);
        else
            dataLine(p);
        break;
    }
    dataChanged();
}

void FenluxData::commentLine(const char* line)
{
    const char* p = csv_skipfield(line);
    Field key;
    const char* rest = csv_readfield(p, &key, false);
    QString* target = nullptr;
    if (startsWithNoCase(key, "instrument"))
        target = &m_instrument;
    else if (startsWithNoCase(key, "measurement"))
        target = &m_measurement;
    else if (startsWithNoCase(key, "header"))
        target = &m_header;
    if (target)
        *target = decodeText(rest, std::strlen(rest));
}

void FenluxData::headerLine(const char* line, bool plain)
{
    if (m_columns.empty())
        addColumn(0, 0.0);
    const size_t rows = rowCount();
    m_columns[0]->name = QStringLiteral("index");
    QString previousBase = QStringLiteral("time");
    int group = 0;
    int inGroup = 0;
    const char* p = line;
    for (int j = 1; *p != '\0'; ++j) {
        Field f;
        p = csv_readfield(p, &f, true);
        // The first column of an ordinary CSV file holds the time, whatever its heading.
        QString text = plain && j == 1 ? QStringLiteral("time") : decodeText(f.begin, f.size).left(31);
        if (j >= columnCount())
            addColumn(rows, 0.0);
        FenluxColumn* c = m_columns[size_t(j)].get();

        QString base = text;
        QString suffix;
        int kind = 0;
        const int underscore = text.lastIndexOf(QLatin1Char('_'));
        const QString tail = underscore >= 0 ? text.mid(underscore + 1) : text;
        const int k = statisticKind(tail);
        if (k >= 0) {
            kind = k;
            suffix = tail;
            base = underscore >= 0 ? text.left(underscore) : QString();
        }

        bool newGroup = false;
        for (int back = j - 1; back >= 1 && m_columns[size_t(back)]->group == group; --back) {
            if (m_columns[size_t(back)]->kind == kind) {
                newGroup = true;
                break;
            }
        }
        if (!newGroup && base != previousBase)
            newGroup = true;
        if (newGroup) {
            ++group;
            inGroup = 0;
            previousBase = base;
        } else {
            ++inGroup;
        }
        c->name = base;
        c->suffix = suffix;
        c->group = group;
        c->kind = kind;
        c->index = inGroup;
    }
    m_headerLine = line;
}

void FenluxData::dataLine(const char* line)
{
    if (m_columns.empty()) {
        addColumn(0, 0.0)->name = QStringLiteral("index");
    }
    const size_t row = rowCount();
    m_columns[0]->values.push_back(double(row));
    const char* p = line;
    int j = 1;
    for (; *p != '\0'; ++j) {
        FenluxColumn* c;
        if (j < columnCount()) {
            c = m_columns[size_t(j)].get();
            c->values.push_back(kNaN);
        } else {
            c = addColumn(row + 1, kNaN);
            c->name = QStringLiteral("column %1").arg(j);
            c->group = j;
        }
        double value;
        if (j == 1) {
            const char* next = p;
            value = csv_fieldempty(p) ? kNaN : csv_gettime(p, &next);
            if (std::isinf(value))
                value = kNaN;
            else if (value < 0)
                value = 0;
            // Nothing readable: the field still counts.
            p = next != p ? next : csv_skipfield(p);
            if (row == 0 || c->name != QLatin1String("time"))
                c->name = QStringLiteral("time");
        } else {
            p = csv_readvalue(p, &value);
        }
        c->values[row] = value;
    }
    for (; j < columnCount(); ++j)
        m_columns[size_t(j)]->values.push_back(kNaN);
}

double FenluxData::firstTime() const
{
    const FenluxColumn* c = column(1);
    return c && !c->values.empty() ? c->values.front() : 0.0;
}

double FenluxData::lastTime() const
{
    const FenluxColumn* c = column(1);
    return c && !c->values.empty() ? c->values.back() : 0.0;
}

double FenluxData::startBeforeFirst() const
{
    const FenluxColumn* c = column(1);
    if (!c || c->values.empty())
        return 0.0;
    if (c->values.size() == 1)
        return c->values[0];
    return c->values[0] - (c->values[1] - c->values[0]);
}

bool FenluxData::append(const FenluxData& other)
{
    if (columnCount() != other.columnCount() || m_headerLine != other.m_headerLine)
        return false;
    if (m_columns.empty())
        return true;
    for (int i = 0; i < columnCount(); ++i) {
        std::vector<double>& mine = m_columns[size_t(i)]->values;
        const std::vector<double>& theirs = other.m_columns[size_t(i)]->values;
        mine.insert(mine.end(), theirs.begin(), theirs.end());
    }
    std::vector<double>& index = m_columns[0]->values;
    for (size_t r = 0; r < index.size(); ++r)
        index[r] = double(r);
    dataChanged();
    return true;
}

bool FenluxData::isAscending(int i) const
{
    if (i < 0 || i > 1)
        return false;
    if (m_ascending[i] < 0) {
        const FenluxColumn* c = column(i);
        bool ok = c != nullptr;
        if (ok) {
            const std::vector<double>& v = c->values;
            for (size_t r = 1; r < v.size() && ok; ++r)
                ok = v[r] >= v[r - 1];
        }
        m_ascending[i] = ok ? 1 : 0;
    }
    return m_ascending[i] == 1;
}

QString FenluxData::titleFor(const QString& fileName) const
{
    QString title = fileName;
    if (!m_instrument.isEmpty() && !m_measurement.isEmpty())
        title = m_instrument + QStringLiteral(" - measurement ") + m_measurement;
    if (!m_header.isEmpty())
        title = m_header;
    return title;
}

} // namespace varno::fenlux
