#include <ostrel-cli/Converter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <strings.h>
#include <climits>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace varno::converter {

namespace {

constexpr size_t kOutputChunk = 1 << 20;

const char* const kUsage[] = {
    "ostrel - varno data log converter, version 2.0",
    "",
    "usage:",
    "  ostrel [options]  [filetoconvert]",
    "",
    "options:",
    "  -h                    help",
    "  -v                    verbose",
    "  -a                    convert all info",
    "  -d                    convert data only",
    "  -f\"format\"            set data format",
    "  -s\"separator\"         set column separator",
    "  -i                    interactive (open file-open dialog)",
    "  -t                    test: let ostrel.dll format the output directly",
};

std::vector<std::string> splitAtCommas(const std::string& text)
{
    std::vector<std::string> pieces;
    size_t at = 0;
    for (;;) {
        const size_t comma = text.find(',', at);
        pieces.push_back(text.substr(at, comma - at));
        if (comma == std::string::npos)
            return pieces;
        at = comma + 1;
    }
}

// The text-log reader splits fields at blanks, tabs, commas and semicolons and takes blanks
// and tabs around one comma or semicolon as one separator: only such separators give a
// table that loads back.
bool separatorLoadsBack(const std::string& separator)
{
    if (separator.empty() || separator.find_first_not_of(" \t,;") != std::string::npos)
        return false;
    return std::count_if(separator.begin(), separator.end(), [](char c) { return c == ',' || c == ';'; }) <= 1;
}

// A selected name without the blanks and line ends around it, which the lookup by name
// ignores as well.
std::string trimmedName(const std::string& name)
{
    const char* const around = " \t\r\n";
    const size_t first = name.find_first_not_of(around);
    if (first == std::string::npos)
        return std::string();
    return name.substr(first, name.find_last_not_of(around) - first + 1);
}

// The text-log reader splits a column line at blanks, tabs, commas and semicolons and takes
// the quotes off the names: a selected name that holds one of them, or a line end, would not
// stand over its value in a table read back.
bool columnNameLoadsBack(const std::string& name)
{
    return std::none_of(name.begin(), name.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F || c == ' ' || c == ';' || c == '"';
    });
}

// A value loads back when it is a decimal number alone: no hexadecimal ("%a") and no text
// around it but blanks.
bool formatLoadsBack(const CNumberFormat& format)
{
    return format.Letter() != 'a' && format.Letter() != 'A' && !format.HasLiteralText();
}

// The folder of the running program, "." when it cannot be told.
std::string programFolder(const std::string& programPath)
{
    char resolved[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    std::string path = n > 0 ? std::string(resolved, size_t(n)) : programPath;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string UnescapeOptionValue(const std::string& value)
{
    std::string out;
    for (size_t k = 0; k < value.size(); ++k) {
        if (value[k] == '\\' && k + 1 < value.size()) {
            const char next = value[k + 1];
            const char replacement = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : 0;
            if (replacement) {
                out += replacement;
                ++k;
                continue;
            }
        }
        out += value[k];
    }
    return out;
}

bool IsFileArgument(const std::string& arg)
{
    return arg.size() < 2 || arg[0] != '-';
}

std::string ApplyOption(const std::string& arg, ConverterOptions& options)
{
    const char letter = arg[1];
    const std::string value = UnescapeOptionValue(arg.substr(2));
    switch (letter) {
    case 'h': options.help = true; break;
    case 'v': options.verbose = true; break;
    case 'a':
        options.all = true;
        options.dataOnly = false;
        break;
    case 'd': {
        std::vector<std::string> selection;
        if (!value.empty())
            for (const std::string& name : splitAtCommas(value))
                selection.push_back(trimmedName(name));
        if (!std::all_of(selection.begin(), selection.end(), columnNameLoadsBack))
            return "erroneous column list (ignored): " + arg;
        options.dataOnly = true;
        options.selection = std::move(selection);
        break;
    }
    case 'i': options.interactive = true; break;
    case 't': options.test = true; break;
    case 'f': {
        CNumberFormat format;
        if (value.empty() || !format.Set(value) || !formatLoadsBack(format))
            return "erroneous number format (ignored): " + arg;
        options.numberFormat = format;
        break;
    }
    case 's':
        if (!separatorLoadsBack(value))
            return "erroneous column separator (ignored): " + arg;
        options.separator = value;
        options.hasSeparator = true;
        break;
    case 'c':
        if (value.empty())
            return "erroneous output command (ignored): " + arg;
        options.command = value;
        options.hasCommand = true;
        break;
    default: return "erroneous option (ignored): " + arg;
    }
    return std::string();
}

void CConverter::Message(const std::string& text)
{
    std::fprintf(m_err, "%s\n", text.c_str());
}

int CConverter::Run(const std::string& programPath, const std::vector<std::string>& args)
{
    m_data.reset(COstrel::newObject());
    m_buffer.resize(kOutputChunk + 4096);
    m_valueTexts.assign(size_t(1) << kValueTextBits, ValueText{});
    for (const std::string& arg : args) {
        if (IsFileArgument(arg)) {
            LoadFile(arg, arg);
        } else if (const std::string refused = ApplyOption(arg, m_options); !refused.empty()) {
            Message(refused);
        }
    }
    if (m_options.interactive && m_data)
        LoadFile("", args.empty() ? std::string() : args.back());

    if (m_options.help || !m_data) {
        for (const char* line : kUsage)
            Message(line);
        return 0;
    }
    int status = 0;
    if (m_data->GetEntryCount() > 0) {
        m_data->SetNumberFormat(m_options.numberFormat.Get());
        if (m_options.hasSeparator)
            m_data->SetSeparator(m_options.separator);
        else
            m_options.separator = m_data->GetSeparator();
        if (m_options.hasCommand && !OpenCommand(programPath))
            return 1;
        if (!m_options.dataOnly && !m_options.test)
            WriteHeader();
        const int count = m_data->GetEntryCount();
        for (int i = 0; i < count && !m_writeFailed; ++i)
            WriteEntry(i);
        Flush();
        if (m_writeError != 0) {
            Message(std::string("Error writing output: ") + std::strerror(m_writeError));
            status = 1;
        }
        if (m_options.verbose)
            Message(m_data->GetResultText());
        if (m_pipe) {
            const int result = pclose(m_pipe);
            if (result != -1 && WIFEXITED(result) && WEXITSTATUS(result) == 127) {
                Message("Unable to start external command: " + m_options.command);
                status = 1;
            }
        }
    }
    if (m_options.verbose)
        Message("ready");
    m_data.reset();
    return status;
}

void CConverter::LoadFile(const std::string& path, const std::string& nameForMessages)
{
    if (!m_data)
        return;
    if (m_options.verbose && !path.empty())
        Message("reading file: " + path);
    const int before = m_data->GetEntryCount();
    if (!m_data->Load(path)) {
        Message("FAILED reading file:" + nameForMessages);
        return;
    }
    const bool searchOnly = path.size() > 6 && strncasecmp(path.c_str(), "search=", 7) == 0;
    if (!searchOnly && !HasValueEntriesFrom(before))
        Message("Warning: no entries read from " + m_data->GetFilePath());
}

bool CConverter::HasValueEntriesFrom(int first) const
{
    const int count = m_data->GetEntryCount();
    for (int i = first; i < count; ++i)
        if (m_data->GetEntryFlags(i) & LOGF_DATA)
            return true;
    return false;
}

// Runs the command with the converter's own folder first on the search path, so that
// programs installed beside it are found.
bool CConverter::OpenCommand(const std::string& programPath)
{
    const std::string folder = programFolder(programPath);
    std::fprintf(m_err, "Exe=%s\n", programPath.c_str());
    std::fprintf(m_err, "Exepath=%s\n", folder.c_str());
    const char* oldPath = std::getenv("PATH");
    const std::string path = oldPath ? folder + ":" + oldPath : folder;
    setenv("PATH", path.c_str(), 1);
    std::fflush(m_err);
    m_pipe = popen(m_options.command.c_str(), "w");
    if (!m_pipe) {
        Message("Unable to start external command: " + m_options.command);
        return false;
    }
    return true;
}

void CConverter::WriteHeader()
{
    char serial[16];
    std::snprintf(serial, sizeof serial, "%4lu", static_cast<unsigned long>(static_cast<uint32_t>(m_data->GetSerialNumber())));
    Put("# instrument ");
    Put(m_data->GetInstrumentName());
    Put('-');
    Put(serial);
    Emit();
    Put("# header ");
    PutQuoted(m_data->GetTitle());
    Emit();
    Emit();
    WriteColumnLine(0);
    Emit();
}

// The quoted column names of entry i's values (the selected ones with -d); every name
// stands above its value, "period" above the 0 that every row carries.
void CConverter::WriteColumnLine(int i)
{
    std::vector<std::string> names = m_options.selection;
    if (names.empty()) {
        const std::string joined = m_data->GetColumnNames(i);
        if (!joined.empty())
            names = splitAtCommas(joined);
    }
    PutQuoted("date");
    Put(m_options.separator);
    PutQuoted("time");
    Put(m_options.separator);
    PutQuoted("period");
    for (const std::string& name : names) {
        Put(m_options.separator);
        PutQuoted(name);
    }
}

void CConverter::WriteTime(int i)
{
    const CUtcTime time = m_data->GetEntryTime(i);
    if (!time.bValid()) {
        Put("1970-01-01 00:00:00");
        return;
    }
    // Printed straight into the output: "YYYY-MM-DD hh:mm:ss" and a terminator.
    m_used += std::strlen(time.Print(Room(CUtcTime::PrintBufferSize), false));
}

void CConverter::WriteEntry(int i)
{
    const int flags = m_data->GetEntryFlags(i);
    const bool textEntry = !(flags & LOGF_DATA);
    if (!m_options.test && textEntry && (!m_options.all || !(flags & LOGF_COLUMNS)))
        return;
    if (m_options.verbose) {
        char prefix[40];
        std::snprintf(prefix, sizeof prefix, "%d", i);
        Put(prefix);
        Put(m_options.separator);
        std::snprintf(prefix, sizeof prefix, "0x%x", unsigned(flags));
        Put(prefix);
        Put(m_options.separator);
        Put('{');
        Put(m_data->GetColumnNames(i));
        Put('}');
        Put(m_options.separator);
    }
    if (m_options.test) {
        char text[CUtcTime::PrintBufferSize];
        Put(m_data->GetEntryTime(i).Print(text, false));
        Put(m_options.separator);
        Put(m_data->GetEntryText(i));
    } else if (textEntry) {
        WriteColumnLine(i);
    } else {
        WriteTime(i);
        Put(m_options.separator);
        Put('0');
        if (m_options.selection.empty()) {
            const int count = m_data->GetValueCount(i);
            for (int j = 0; j < count; ++j) {
                Put(m_options.separator);
                PutValue(m_data->GetValue(i, j));
            }
        } else {
            for (const std::string& name : m_options.selection) {
                Put(m_options.separator);
                PutValue(m_data->GetValueByName(i, name));
            }
        }
    }
    Emit();
}

void CConverter::PutValue(double v)
{
    // Logged values repeat a lot (sensors step in tenths), so the texts of recent values
    // are remembered: a hit costs a lookup and one copy instead of a formatting.
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    ValueText& cached = m_valueTexts[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kValueTextBits)];
    if (cached.bits == bits) {
        std::memcpy(Room(sizeof cached.text), cached.text, sizeof cached.text);
        m_used += cached.length;
        return;
    }
    constexpr size_t kRoom = 128;
    size_t length = m_options.numberFormat.Format(Room(kRoom), kRoom, v);
    if (length > kRoom)
        length = m_options.numberFormat.Format(Room(length), length, v);
    if (length <= sizeof cached.text) {
        cached.bits = bits;
        cached.length = uint8_t(length);
        std::memcpy(cached.text, &m_buffer[m_used], length);
    }
    m_used += length;
}

void CConverter::PutQuoted(const std::string& word)
{
    Put('"');
    Put(word);
    Put('"');
}

void CConverter::Emit()
{
    Put('\n');
    if (m_used >= kOutputChunk)
        Flush();
}

// Stops at the first failed write. A reader that went away (EPIPE) is a quiet end; any
// other failure (a full disk) is reported, so that a cut table never passes for whole.
void CConverter::Flush()
{
    if (m_used == 0 || m_writeFailed)
        return;
    FILE* target = m_pipe ? m_pipe : m_out;
    errno = 0;
    if (std::fwrite(m_buffer.data(), 1, m_used, target) != m_used || std::fflush(target) != 0) {
        m_writeFailed = true;
        if (errno != EPIPE)
            m_writeError = errno != 0 ? errno : EIO;
    }
    m_used = 0;
}

} // namespace varno::converter
