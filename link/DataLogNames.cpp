#include <link/DataLogNames.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include <ostrel/Calendar.h>
#include <quorvalin/Quorvalin.h>

namespace varno::link {

namespace {

bool isSafe(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c != 0 && std::strchr(" !#%&()+,-;=[]^_{}~", c) != nullptr;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Joins the fixed part and the text, cutting the text so that the whole name fits.
std::string fitName(const std::string& fixed, const std::string& text, const std::string& ending)
{
    std::string name = fixed;
    const size_t room = fixed.size() + ending.size() < kMaxNameBytes
        ? kMaxNameBytes - fixed.size() - ending.size() : 0;
    name += text.substr(0, room);
    return name + ending;
}

std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

} // namespace

std::string FileKey(uint32_t serial, uint32_t start, uint32_t length)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04" PRIu32 "-%08" PRIu32 "-%05" PRIu32, serial, start, length);
    return buf;
}

std::string TimeText(uint32_t seconds)
{
    const ostrel::calendar::Civil c = ostrel::calendar::CivilFromSeconds(seconds);
    char buf[48];
    if (c.hour == 0 && c.minute == 0 && c.second == 0)
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", unsigned(c.year), unsigned(c.month), unsigned(c.day));
    else
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(c.year), unsigned(c.month),
                      unsigned(c.day), unsigned(c.hour), unsigned(c.minute), unsigned(c.second));
    return buf;
}

std::string StopTimeText(uint32_t seconds)
{
    return seconds == 0 ? std::string("(running)") : TimeText(seconds);
}

std::string ApplyCharacterRule(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (isSafe(c))
            out += char(c);
        else if (c == 0xDF)
            out += 's';
        else if (c == 0xE4 || c == 0xE5 || c == 0xE6)
            out += 'a';
        else if (c == 0xF6 || c == 0xF8)
            out += 'o';
        else if (c == 0xFC)
            out += 'u';
        else
            out += '_';
    }
    return out;
}

std::string BracketPart(const Record& r)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "[%04" PRIu32 "-%08" PRIu32 "-%05" PRIu32 "-%04" PRIu32 "] ",
                  r.serial, r.start, r.length, r.magic);
    return std::string(buf) + "[" + TimeText(r.startTime) + "] [" + StopTimeText(r.stopTime) + "] ";
}

std::string TransferFileName(const Record& record)
{
    return fitName(ApplyCharacterRule(BracketPart(record)), ApplyCharacterRule(record.text), ".vrn");
}

std::string TemporaryDownloadName(uint32_t serial, uint32_t start, uint32_t length,
                                  const std::string& startText, const std::string& stopText,
                                  const std::string& text)
{
    auto shortened = [](const std::string& t) {
        std::string s = ApplyCharacterRule(t);
        if (s.size() > 8 && s.compare(s.size() - 8, 8, "00_00_00") == 0)
            s.erase(s.size() - 8);
        return s;
    };
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%04" PRIu32 "-%08" PRIu32 "-%05" PRIu32 "] ", serial, start, length);
    const std::string fixed = buf + ("[" + shortened(startText) + "] [" + shortened(stopText) + "] (tmp) ");
    return fitName(fixed, ApplyCharacterRule(text), "");
}

std::string ExtensionForInstrumentType(const std::string& instrumentType)
{
    const std::string type = lowered(instrumentType);
    return type == "csv" || type == "qrx731" ? "csv" : "vrn";
}

std::string TerminalFileName(const Record& record, const std::string& extension,
                             const std::string& instrumentType)
{
    const std::string ext = extension.empty() ? ExtensionForInstrumentType(instrumentType) : extension;
    return fitName(ApplyCharacterRule(BracketPart(record) + " "), ApplyCharacterRule(record.text),
                   "." + ext);
}

NameRecord ReadName(const std::string& nameOrPath)
{
    NameRecord r;
    r.fileName = baseName(nameOrPath);
    const std::string& name = r.fileName;

    // Up to three bracketed parts, each from a "[" to the following "]".
    std::string parts[3];
    size_t pos = 0;
    size_t afterThird = std::string::npos;
    for (int i = 0; i < 3; ++i) {
        const size_t open = name.find('[', pos);
        if (open == std::string::npos)
            break;
        const size_t close = name.find(']', open + 1);
        if (close == std::string::npos)
            break;
        parts[i] = name.substr(open + 1, close - open - 1);
        pos = close + 1;
        if (i == 2)
            afterThird = pos;
    }
    std::sscanf(parts[0].c_str(), "%" SCNu32 "-%" SCNu32 "-%" SCNu32 "-%" SCNu32,
                &r.serial, &r.start, &r.length, &r.magic);
    r.startText = parts[1];
    r.stopText = parts[2];
    if (afterThird != std::string::npos) {
        std::string text = name.substr(afterThird);
        text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size()
                                                                       : text.find_first_not_of(' '));
        const size_t dot = text.rfind('.');
        if (dot != std::string::npos) {
            r.extension = lowered(text.substr(dot + 1));
            text.erase(dot);
        }
        r.text = text;
    }
    r.logLength = r.extension == "vrn" ? r.length : 0;
    return r;
}

void ReadLeadingNumbers(const std::string& name, uint32_t& serial, uint32_t& start,
                        uint32_t& length, uint32_t& magic)
{
    serial = start = length = magic = 0;
    std::sscanf(name.c_str(), "[%" SCNu32 "-%" SCNu32 "-%" SCNu32 "-%" SCNu32 "]",
                &serial, &start, &length, &magic);
}

int CompareTransferNames(const std::string& first, const std::string& second)
{
    uint32_t s1, b1, l1, m1, s2, b2, l2, m2;
    ReadLeadingNumbers(first, s1, b1, l1, m1);
    ReadLeadingNumbers(second, s2, b2, l2, m2);
    if (s1 != s2)
        return s1 < s2 ? -1 : 1;
    if (b1 != b2)
        return b1 < b2 ? -1 : 1;
    if (m1 != 0 && m2 != 0 && !MagicEqual(m1, m2))
        return m1 < m2 ? -1 : 1;
    if (l1 != l2)
        return l1 < l2 ? -1 : 1;
    // The later name (without regard to case) comes first.
    const int c = strcasecmp(second.c_str(), first.c_str());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void SortTransferNames(std::vector<std::string>& names)
{
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareTransferNames(a, b) < 0;
    });
}

} // namespace varno::link
