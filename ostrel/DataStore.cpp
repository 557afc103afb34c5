#include <ostrel/DataStore.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <unistd.h>

#include <ostrel/FileBuffer.h>
#include <ostrel/FileIdentity.h>
#include <ostrel/LogDecoder.h>
#include <ostrel/NumberText.h>
#include <ostrel/OstrelUi.h>
#include <ostrel/RecordScanner.h>
#include <ostrel/TextReaders.h>
#include <ostrel/TextScan.h>
#include <ostrel/Wildcard.h>

namespace varno::ostrel {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

OstrelViewFactory g_viewFactory = nullptr;

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

CDataStore::~CDataStore() = default;

CUtcTime CDataStore::GetEntryTime(int i)
{
    if (InRange(i))
        return m_table.EffectiveTime(size_t(i));
    if (m_table.Count() == 0)
        return CUtcTime();
    return m_table.StoredTime(i < 1 ? 0 : m_table.Count() - 1);
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
    if (m_table.Flags(index) & LOGF_COLUMNS) {
        const CColumnSet* columns = m_table.ColumnSetOf(index);
        return columns ? columns->Joined() : std::string();
    }
    const std::string_view text = m_table.Text(index);
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
    const CColumnSet* columns = InRange(i) ? m_table.ColumnSetOf(size_t(i)) : nullptr;
    if (columns)
        return CopyOut(columns->Joined());
    return m_table.ColumnSets().empty() ? std::string() : CopyOut(m_table.ColumnSets()[0].Joined());
}

double CDataStore::GetValue(int i, int j)
{
    if (j < 0 || j >= GetValueCount(i))
        return kNaN;
    return m_table.Value(size_t(i), size_t(j));
}

double CDataStore::GetValueByName(int i, std::string name)
{
    return guarded(kNaN, [&] { return GetValue(i, ValueIndexByName(i, name)); });
}

int CDataStore::ValueIndexByName(int i, const std::string& givenName) const
{
    const std::string name = varno::ostrel::textscan::ToLower(varno::ostrel::textscan::Trim(givenName));
    if (name.size() >= 5 && name.compare(0, 4, "col_") == 0)
        return varno::ostrel::textscan::TruncToInt(std::strtol(name.c_str() + 4, nullptr, 10));
    const CColumnSet* columns = InRange(i) ? m_table.ColumnSetOf(size_t(i)) : nullptr;
    if (!columns)
        return -1;
    for (const char* suffix : {"", "_mean", "_mean360"}) {
        const int j = columns->IndexOf(name + suffix);
        if (j >= 0)
            return j;
    }
    return -1;
}

void CDataStore::FillTestData()
{
    std::optional<CEntryTable::Mark> before;
    try {
        before = m_table.Checkpoint();
        const CUtcTime start(2004, 3, 4, 5, 6, 7);
        m_table.AddText(LOGF_TEXT, start, "date,time,x");
        for (int k = 0; k < 100; ++k) {
            const float value = float(k * 0.1);
            m_table.AddValues(LOGF_DATA, start + CUtcTimeSpan(k), &value, 1);
        }
    } catch (...) {
        if (before)
            m_table.RollBack(*before);
    }
}

std::string CDataStore::GetResultText()
{
    return guarded(std::string(), [&] { return ResultText(); });
}

double CDataStore::GetLossRatio()
{
    return double(m_table.Facts().corruptBytes) / double(m_table.Facts().totalBytes);
}

std::string CDataStore::ResultText()
{
    return "conversion result: " + std::to_string(unsigned(m_table.IntervalCount()))
           + " intervals, conversion loss=" + varno::ostrel::numbertext::Fixed(100.0 * GetLossRatio(), 2) + " %";
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
    std::vector<std::string> names = varno::ostrel::ListMatchingNames(folder, pattern);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return varno::ostrel::textscan::ToLower(a) < varno::ostrel::textscan::ToLower(b);
    });
    for (const std::string& file : names)
        if (file.compare(0, name.size(), name) == 0)
            return folder == "/" ? "/" + file : folder + "/" + file;
    return name;
}

// No exception leaves the library: a load that runs out of memory is undone, so that the
// object holds what earlier loads gave it.
bool CDataStore::Load(std::string path)
{
    std::optional<CEntryTable::Mark> before;
    try {
        before = m_table.Checkpoint();
        return LoadFile(path);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    if (before)
        m_table.RollBack(*before);
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
    if (path.size() > 6 && varno::ostrel::textscan::ToLower(path.substr(0, 7)) == "search=") {
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
    m_table.Facts().fileIdentity = ComputeFileIdentity(buffer.Data(), n);
    const char* text = reinterpret_cast<const char*>(buffer.Data());
    const auto done = [&](size_t offset) { buffer.ReleaseBefore(offset); };
    if (buffer.Data()[0] != 0 && buffer.Data()[0] != 255 && CRecordScanner::RuleHolds(buffer.Data()[0], buffer.Data()[1], 0))
        CLogDecoder(m_table).Decode(buffer.Data(), buffer.Size(), done);
    else if (CNumberLogReader::FirstLineMatches(text, n))
        CNumberLogReader(m_table).Read(text, buffer.Size(), done);
    else
        CTextLogReader(m_table).Read(text, buffer.Size(), done);
    return true;
}

} // namespace varno::ostrel

// The library's binary interface.

COstrel::~COstrel() = default;

COstrel* COstrel::newObject()
{
    return new varno::ostrel::CDataStore();
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
    static const std::string text = "Ostrel.Dll " + varno::ostrel::numbertext::Fixed(ostrel_getversion(), 1) + " , \tAug 17 2006";
    return text.c_str();
}

void ostrel_setviewfactory(OstrelViewFactory factory)
{
    varno::ostrel::g_viewFactory = factory;
}
