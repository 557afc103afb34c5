#include "Converter.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

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

void appendQuoted(std::string& out, const std::string& word)
{
    out += '"';
    out += word;
    out += '"';
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

void CConverter::Message(const std::string& text)
{
    std::fprintf(m_err, "%s\n", text.c_str());
}

int CConverter::Run(const std::string& programPath, const std::vector<std::string>& args)
{
    m_data.reset(COstrel::newObject());
    for (const std::string& arg : args) {
        if (arg.size() < 2 || arg[0] != '-')
            LoadFile(arg, arg);
        else
            HandleOption(arg);
    }
    if (m_interactive && m_data)
        LoadFile("", args.empty() ? std::string() : args.back());

    if (m_help || !m_data) {
        for (const char* line : kUsage)
            Message(line);
        return 0;
    }
    int status = 0;
    if (m_data->GetEntryCount() > 0) {
        m_data->SetNumberFormat(m_numberFormat.Get());
        if (m_hasSeparator)
            m_data->SetSeparator(m_separator);
        else
            m_separator = m_data->GetSeparator();
        if (m_hasCommand && !OpenCommand(programPath))
            return 1;
        if (!m_dataOnly && !m_test)
            WriteHeader();
        const int count = m_data->GetEntryCount();
        for (int i = 0; i < count && !m_writeFailed; ++i)
            WriteEntry(i);
        Flush();
        if (m_verbose)
            Message(m_data->GetResultText());
        if (m_pipe) {
            const int result = pclose(m_pipe);
            if (result != -1 && WIFEXITED(result) && WEXITSTATUS(result) == 127) {
                Message("Unable to start external command: " + m_command);
                status = 1;
            }
        }
    }
    if (m_verbose)
        Message("ready");
    m_data.reset();
    return status;
}

void CConverter::HandleOption(const std::string& arg)
{
    const char letter = arg[1];
    const std::string value = UnescapeOptionValue(arg.substr(2));
    switch (letter) {
    case 'h': m_help = true; break;
    case 'v': m_verbose = true; break;
    case 'a':
        m_all = true;
        m_dataOnly = false;
        break;
    case 'd':
        m_dataOnly = true;
        m_selection = value.empty() ? std::vector<std::string>() : splitAtCommas(value);
        break;
    case 'i': m_interactive = true; break;
    case 't': m_test = true; break;
    case 'f':
        if (value.empty() || !m_numberFormat.Set(value))
            Message("erroneous number format (ignored): " + arg);
        break;
    case 's':
        if (value.empty()) {
            Message("erroneous column separator (ignored): " + arg);
        } else {
            m_separator = value;
            m_hasSeparator = true;
        }
        break;
    case 'c':
        if (value.empty()) {
            Message("erroneous output command (ignored): " + arg);
        } else {
            m_command = value;
            m_hasCommand = true;
        }
        break;
    default: Message("erroneous option (ignored): " + arg); break;
    }
}

void CConverter::LoadFile(const std::string& path, const std::string& nameForMessages)
{
    if (!m_data)
        return;
    if (m_verbose && !path.empty())
        Message("reading file: " + path);
    if (!m_data->Load(path))
        Message("FAILED reading file:" + nameForMessages);
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
    m_pipe = popen(m_command.c_str(), "w");
    if (!m_pipe) {
        Message("Unable to start external command: " + m_command);
        return false;
    }
    return true;
}

void CConverter::WriteHeader()
{
    char serial[16];
    std::snprintf(serial, sizeof serial, "%4lu", static_cast<unsigned long>(static_cast<uint32_t>(m_data->GetSerialNumber())));
    m_line = "# instrument ";
    m_line += m_data->GetInstrumentName();
    m_line += '-';
    m_line += serial;
    Emit();
    m_line = "# header \"" + m_data->GetTitle() + "\"";
    Emit();
    m_line.clear();
    Emit();
    m_line.clear();
    appendQuoted(m_line, "date");
    m_line += m_separator;
    appendQuoted(m_line, "time");
    m_line += m_separator;
    appendQuoted(m_line, "period");
    const std::string names = m_data->GetColumnNames(0);
    if (!names.empty()) {
        for (const std::string& name : splitAtCommas(names)) {
            m_line += m_separator;
            appendQuoted(m_line, name);
        }
    }
    Emit();
}

void CConverter::WriteTime(int i)
{
    char text[CUtcTime::PrintBufferSize];
    const CUtcTime time = m_data->GetEntryTime(i);
    m_line += time.bValid() ? time.Print(text, false) : "1970-01-01 00:00:00";
}

void CConverter::WriteEntry(int i)
{
    m_line.clear();
    const int flags = m_data->GetEntryFlags(i);
    if (m_verbose) {
        char prefix[40];
        std::snprintf(prefix, sizeof prefix, "%d", i);
        m_line += prefix;
        m_line += m_separator;
        std::snprintf(prefix, sizeof prefix, "0x%x", unsigned(flags));
        m_line += prefix;
        m_line += m_separator;
        m_line += '{';
        m_line += m_data->GetColumnNames(i);
        m_line += '}';
        m_line += m_separator;
    }
    if (m_test) {
        char text[CUtcTime::PrintBufferSize];
        m_line += m_data->GetEntryTime(i).Print(text, false);
        m_line += m_separator;
        m_line += m_data->GetEntryText(i);
    } else if (!(flags & LOGF_DATA)) {
        if (!m_all || !(flags & LOGF_COLUMNS))
            return;
        // Every name stands above its value, as in the header's column line.
        appendQuoted(m_line, "date");
        m_line += m_separator;
        appendQuoted(m_line, "time");
        m_line += m_separator;
        appendQuoted(m_line, "period");
        const std::string names = m_data->GetColumnNames(i);
        if (!names.empty()) {
            for (const std::string& name : splitAtCommas(names)) {
                m_line += m_separator;
                appendQuoted(m_line, name);
            }
        }
    } else {
        WriteTime(i);
        m_line += m_separator;
        m_line += '0';
        if (m_selection.empty()) {
            const int count = m_data->GetValueCount(i);
            for (int j = 0; j < count; ++j) {
                m_line += m_separator;
                AppendValue(m_data->GetValue(i, j));
            }
        } else {
            for (const std::string& name : m_selection) {
                m_line += m_separator;
                AppendValue(m_data->GetValueByName(i, name));
            }
        }
    }
    Emit();
}

void CConverter::Emit()
{
    m_buffer += m_line;
    m_buffer += '\n';
    if (m_buffer.size() >= kOutputChunk)
        Flush();
}

void CConverter::Flush()
{
    if (m_buffer.empty() || m_writeFailed)
        return;
    FILE* target = m_pipe ? m_pipe : m_out;
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), target) != m_buffer.size() || std::fflush(target) != 0)
        m_writeFailed = true; // the reader went away (EPIPE): stop writing
    m_buffer.clear();
}
