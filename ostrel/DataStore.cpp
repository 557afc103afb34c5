#include "DataStore.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <unistd.h>

#include "FileBuffer.h"
#include "FileIdentity.h"
#include "LogDecoder.h"
#include "NumberText.h"
#include "OstrelUi.h"
#include "RecordScanner.h"
#include "TextReaders.h"
#include "TextScan.h"
#include "Wildcard.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

OstrelViewFactory g_viewFactory = nullptr;

std::string joinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (size_t k = 0; k < names.size(); ++k) {
        if (k)
            joined += ',';
        joined += names[k];
    }
    return joined;
}

// Restores the cursor however Load leaves.
class WaitCursor {
public:
    WaitCursor() { ostrel_ui().BeginWaitCursor(); }
    ~WaitCursor() { ostrel_ui().EndWaitCursor(); }
};

// Closes the file however Load leaves.
struct FileDescriptor {
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    const int fd;
};

// The result of operation, or fallback when it throws (out of memory).
template <typename Result, typename Operation>
Result guarded(Result fallback, Operation operation) noexcept
{
    try {
        return operation();
    } catch (...) {
        return fallback;
    }
}

void reportUnableToOpen()
{
    ostrel_ui().ShowMessage("unable to open file", "Error");
}

} // namespace

CColumnSet::CColumnSet(std::vector<std::string> names) : m_names(std::move(names)), m_joined(joinNames(m_names))
{
    for (size_t k = 0; k < m_names.size(); ++k)
        m_lookup.emplace(textscan::ToLower(m_names[k]), int(k));
}

int CColumnSet::IndexOf(const std::string& lowerName) const
{
    const auto it = m_lookup.find(lowerName);
    return it == m_lookup.end() ? -1 : it->second;
}

COstrel::~COstrel() = default;

COstrel* COstrel::newObject()
{
    return new CDataStore();
}

COstrel* pNewOstrel()
{
    return COstrel::newObject();
}

double ostrel_getversion()
{
    return 2.0;
}

const char* ostrel_getversionstring()
{
    static const std::string text = "Ostrel.Dll " + numbertext::Fixed(ostrel_getversion(), 1) + " , \tAug 17 2006";
    return text.c_str();
}

void ostrel_setviewfactory(OstrelViewFactory factory)
{
    g_viewFactory = factory;
}

CDataStore::CDataStore()
{
    m_start.push_back(0);
}

CDataStore::~CDataStore() = default;

void CDataStore::AppendEntry(int flags, CUtcTime time, bool isText)
{
    const size_t index = m_time.size();
    const int currentSet = int(m_columnSets.size()) - 1;
    if (m_columnSetChanges.empty() ? currentSet >= 0 : m_columnSetChanges.back().second != currentSet)
        m_columnSetChanges.emplace_back(index, currentSet);
    m_flags.push_back(uint16_t(flags));
    m_time.push_back(0);
    m_isText.push_back(isText);
    m_start.push_back(uint32_t(m_pool.size()));
    SetEntryTime(int(index), time);
}

void CDataStore::AddText(int flags, CUtcTime time, const char* text, size_t length)
{
    const size_t words = 1 + (length + 3) / 4;
    if (length > UINT32_MAX)
        throw std::length_error("text too long");
    CheckPoolRoom(words);
    uint32_t* p = m_pool.extend(words);
    p[0] = uint32_t(length);
    p[words - 1] = 0;
    std::memcpy(p + 1, text, length);
    if (flags & LOGF_DATA)
        ++m_facts.intervalCount;
    AppendEntry(flags, time, true);
}

void CDataStore::AddValues(int flags, CUtcTime time, const float* values, size_t count)
{
    static_assert(sizeof(float) == sizeof(uint32_t));
    CheckPoolRoom(count);
    if (count > 0) // a row without values may come without an array
        std::memcpy(m_pool.extend(count), values, count * sizeof(float));
    AppendEntry(flags, time, false);
}

// Entries find their words by 32-bit offsets, and a text keeps its length in one word: more
// is more than the store can hold.
void CDataStore::CheckPoolRoom(size_t words) const
{
    if (words > UINT32_MAX - m_pool.size())
        throw std::length_error("data store full");
}

void CDataStore::SetEntryTime(int i, CUtcTime t)
{
    m_time[size_t(i)] = t.GetSeconds();
    m_resolvedTimeValid = false;
    if (!t.bValid())
        return;
    if (!m_facts.minTime.bValid() || t < m_facts.minTime)
        m_facts.minTime = t;
    if (!m_facts.maxTime.bValid() || t > m_facts.maxTime)
        m_facts.maxTime = t;
    if (!m_facts.startTime.bValid())
        m_facts.startTime = t;
}

void CDataStore::AddColumnSet(std::vector<std::string> names)
{
    m_columnSets.emplace_back(std::move(names));
}

std::string_view CDataStore::TextOf(size_t i) const
{
    if (!m_isText[i])
        return {};
    const uint32_t* p = m_pool.data() + m_start[i];
    return std::string_view(reinterpret_cast<const char*>(p + 1), p[0]);
}

int CDataStore::ColumnSetOf(size_t i) const
{
    const auto after = std::upper_bound(m_columnSetChanges.begin(), m_columnSetChanges.end(), i,
                                        [](size_t index, const auto& change) { return index < change.first; });
    return after == m_columnSetChanges.begin() ? -1 : std::prev(after)->second;
}

// For every entry, its own time if valid, else the first valid time after it.
void CDataStore::ResolveTimes()
{
    m_resolvedTime.clear();
    int32_t* resolved = m_resolvedTime.extend(m_time.size());
    int32_t next = 0;
    for (size_t i = m_time.size(); i-- > 0;) {
        if (m_time[i] > 0)
            next = m_time[i];
        resolved[i] = m_time[i] > 0 ? m_time[i] : next;
    }
    m_resolvedTimeValid = true;
}

CUtcTime CDataStore::GetEntryTime(int i)
{
    if (!InRange(i)) {
        if (m_time.empty())
            return CUtcTime();
        return CUtcTime(i < 1 ? m_time[0] : m_time.back());
    }
    if (m_time[size_t(i)] > 0)
        return CUtcTime(m_time[size_t(i)]);
    if (!m_resolvedTimeValid)
        ResolveTimes();
    return CUtcTime(m_resolvedTime[size_t(i)]);
}

std::string CDataStore::CopyOut(const std::string& text) noexcept
{
    return guarded(std::string(), [&] { return text; });
}

void CDataStore::SetNumberFormat(std::string format)
{
    guarded(false, [&] { return m_numberFormat.Set(format); });
}

std::string CDataStore::GetEntryText(int i)
{
    return guarded(std::string(), [&] { return EntryText(i); });
}

std::string CDataStore::EntryText(int i)
{
    if (!InRange(i))
        return std::string();
    const size_t index = size_t(i);
    if (m_flags[index] & LOGF_COLUMNS) {
        const int set = ColumnSetOf(index);
        return set >= 0 ? m_columnSets[size_t(set)].Joined() : std::string();
    }
    const std::string_view text = TextOf(index);
    if (!text.empty())
        return std::string(text);
    std::string line;
    const int count = GetValueCount(i);
    for (int j = 0; j < count; ++j) {
        if (j)
            line += m_separator;
        m_numberFormat.Append(line, GetValue(i, j));
    }
    return line;
}

std::string CDataStore::GetColumnNames(int i)
{
    const int set = InRange(i) ? ColumnSetOf(size_t(i)) : -1;
    if (set >= 0)
        return CopyOut(m_columnSets[size_t(set)].Joined());
    return m_columnSets.empty() ? std::string() : CopyOut(m_columnSets[0].Joined());
}

int CDataStore::GetValueCount(int i)
{
    if (!InRange(i) || m_isText[size_t(i)])
        return 0;
    return int(m_start[size_t(i) + 1] - m_start[size_t(i)]);
}

double CDataStore::GetValue(int i, int j)
{
    if (j < 0 || j >= GetValueCount(i))
        return kNaN;
    float v;
    std::memcpy(&v, m_pool.data() + m_start[size_t(i)] + size_t(j), sizeof v);
    return v;
}

double CDataStore::GetValueByName(int i, std::string name)
{
    return guarded(kNaN, [&] { return ValueByName(i, name); });
}

double CDataStore::ValueByName(int i, const std::string& givenName)
{
    const std::string name = textscan::ToLower(textscan::Trim(givenName));
    if (name.size() >= 5 && name.compare(0, 4, "col_") == 0)
        return GetValue(i, textscan::TruncToInt(std::strtol(name.c_str() + 4, nullptr, 10)));
    const int set = InRange(i) ? ColumnSetOf(size_t(i)) : -1;
    if (set < 0)
        return kNaN;
    const CColumnSet& columns = m_columnSets[size_t(set)];
    for (const char* suffix : {"", "_mean", "_mean360"}) {
        const int j = columns.IndexOf(name + suffix);
        if (j >= 0)
            return GetValue(i, j);
    }
    return kNaN;
}

void CDataStore::FillTestData()
{
    std::optional<Snapshot> before;
    try {
        before = TakeSnapshot();
        const CUtcTime start(2004, 3, 4, 5, 6, 7);
        AddText(LOGF_TEXT, start, "date,time,x");
        for (int k = 0; k < 100; ++k) {
            const float value = float(k * 0.1);
            AddValues(LOGF_DATA, start + CUtcTimeSpan(k), &value, 1);
        }
    } catch (...) {
        if (before)
            RollBack(*before);
    }
}

std::string CDataStore::GetResultText()
{
    return guarded(std::string(), [&] { return ResultText(); });
}

std::string CDataStore::ResultText()
{
    return "conversion result: " + std::to_string(unsigned(m_facts.intervalCount))
           + " intervals, conversion loss=" + numbertext::Fixed(100.0 * GetLossRatio(), 2) + " %";
}

COstrelView* CDataStore::CreateView(const QRect* rect, QWidget* parent)
{
    return guarded<COstrelView*>(nullptr, [&] { return g_viewFactory ? g_viewFactory(this, rect, parent) : nullptr; });
}

// The file of the search folder whose name begins with a bracket name, or name itself.
std::string CDataStore::FindBracketName(const std::string& name) const
{
    const size_t slash = m_searchPattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_searchPattern.substr(0, slash == 0 ? 1 : slash);
    const std::string pattern = slash == std::string::npos ? m_searchPattern : m_searchPattern.substr(slash + 1);
    std::vector<std::string> names = ostrel::ListMatchingNames(folder, pattern);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return textscan::ToLower(a) < textscan::ToLower(b);
    });
    for (const std::string& file : names)
        if (file.compare(0, name.size(), name) == 0)
            return folder == "/" ? "/" + file : folder + "/" + file;
    return name;
}

CDataStore::Snapshot CDataStore::TakeSnapshot() const
{
    return Snapshot{m_time.size(), m_columnSets.size(), m_facts};
}

void CDataStore::RollBack(const Snapshot& snapshot)
{
    const size_t count = snapshot.entryCount;
    m_pool.truncate(m_start[count]);
    m_start.truncate(count + 1);
    m_time.truncate(count);
    m_flags.truncate(count);
    m_isText.resize(count);
    while (!m_columnSetChanges.empty() && m_columnSetChanges.back().first >= count)
        m_columnSetChanges.pop_back();
    m_columnSets.erase(m_columnSets.begin() + std::ptrdiff_t(snapshot.columnSetCount), m_columnSets.end());
    m_resolvedTime.clear();
    m_resolvedTimeValid = false;
    m_facts = snapshot.facts;
}

// No exception leaves the library: a load that runs out of memory is undone, so that the
// object holds what earlier loads gave it.
bool CDataStore::Load(std::string path)
{
    std::optional<Snapshot> before;
    try {
        before = TakeSnapshot();
        return LoadFile(path);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    if (before)
        RollBack(*before);
    try {
        ostrel_ui().ShowMessage("not enough memory to load " + path, "Error");
    } catch (...) {
    }
    return false;
}

bool CDataStore::LoadFile(std::string path)
{
    if (path.empty()) {
        path = ostrel_ui().ChooseFileToOpen("vrn", "*.vrn", "Varno Data Files (*.vrn);;All Files (*)");
        m_searchPattern.clear();
        if (path.empty()) {
            m_filePath.clear();
            return false;
        }
    }
    if (path.size() > 6 && textscan::ToLower(path.substr(0, 7)) == "search=") {
        m_searchPattern = path.substr(7);
        return true;
    }
    if (path.size() >= 2 && path.front() == '[' && path.back() == ']')
        path = FindBracketName(path);

    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        reportUnableToOpen();
        return false;
    }
    WaitCursor waitCursor;
    CFileBuffer buffer;
    if (!buffer.ReadAll(file.fd)) {
        reportUnableToOpen();
        return false;
    }
    m_filePath = path;

    const size_t n = std::min<size_t>(buffer.Size(), 2048);
    if (n < 2) {
        reportUnableToOpen();
        return false;
    }
    m_facts.fileIdentity = ComputeFileIdentity(buffer.Data(), n);
    const char* text = reinterpret_cast<const char*>(buffer.Data());
    const auto done = [&](size_t offset) { buffer.ReleaseBefore(offset); };
    if (buffer.Data()[0] != 0 && buffer.Data()[0] != 255 && CRecordScanner::RuleHolds(buffer.Data()[0], buffer.Data()[1], 0))
        CLogDecoder(*this).Decode(buffer.Data(), buffer.Size(), done);
    else if (CNumberLogReader::FirstLineMatches(text, n))
        CNumberLogReader(*this).Read(text, buffer.Size(), done);
    else
        CTextLogReader(*this).Read(text, buffer.Size(), done);
    return true;
}
