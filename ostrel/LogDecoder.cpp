#include <ostrel/LogDecoder.h>

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <string_view>

#include <ostrel/EntryTable.h>
#include <ostrel/RecordWriter.h>
#include <ostrel/TextScan.h>

namespace varno::ostrel {

using namespace textscan;

namespace {

constexpr size_t kMaxValues = 126; // a type-3 record of 253 payload bytes
// Bytes of the buffer decoded between two reports that they are done with.
constexpr size_t kReleaseStep = size_t(1) << 20;

uint32_t bigEndian(const uint8_t* p, int width)
{
    uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

float floatFromBits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

int snapPeriod(int seconds)
{
    static const struct { int low, high, period; } snaps[] = {
        {9, 11, 10},       {27, 35, 30},       {55, 70, 60},       {110, 140, 120},   {270, 340, 300},
        {550, 700, 600},   {1100, 1300, 1200}, {1500, 2100, 1800}, {3000, 4000, 3600},
    };
    for (const auto& s : snaps)
        if (seconds >= s.low && seconds <= s.high)
            return s.period;
    return seconds;
}

std::string signatureText(const uint8_t* p)
{
    const unsigned century = p[1] >= 0x46 && p[1] <= 0x99 ? 19 : 20;
    char text[80];
    std::snprintf(text, sizeof text, "* %02u%02x-%02x-%02x %02x:%02x:%02x signature %i at %" PRIx32, century,
                  p[1], p[2], p[3], p[4], p[5], p[6], int(p[0]), bigEndian(p + 7, 4));
    return text;
}

// Values of a statistics record, in tenths: quantities are logged in tenths, the direction
// in steps of 1.5 degrees.
size_t decodeStatistics(uint8_t type, const uint8_t* payload, uint16_t* tenths)
{
    using namespace records;
    size_t count = 0;
    const uint8_t* p = payload;
    for (int channel = 0; channel < 3; ++channel) {
        const bool present = type & (1 << channel);
        auto quantity = [&](uint8_t bit, int width) {
            if (!(type & bit))
                return;
            uint32_t raw = 0;
            if (present) {
                raw = bigEndian(p, width);
                p += width;
            }
            tenths[count++] = uint16_t(raw);
        };
        quantity(StatA, 1);
        quantity(StatB, 1);
        quantity(StatC, 2);
        quantity(StatD, 1);
    }
    tenths[count++] = (type & StatDirection) ? uint16_t(*p * 15) : 0;
    return count;
}

} // namespace

float HalfToFloat(uint16_t h)
{
    if (h == 0)
        return 0.0f;
    uint32_t exponent = ((h >> 10) & 0x1F) + 112;
    if (h == 0x7C00 || h == 0xFC00 || h == 0xFFFF)
        exponent = 255;
    const uint32_t bits = (uint32_t(h & 0x8000) << 16) | (exponent << 23) | (uint32_t(h & 0x3FF) << 13);
    return floatFromBits(bits);
}

CLogDecoder::CLogDecoder(CEntryTable& table) : m_table(table) {}

void CLogDecoder::Decode(uint8_t* buffer, size_t size, const std::function<void(size_t)>& consumed)
{
    LogFacts& facts = m_table.Facts();
    facts.addressOffset = -1;
    facts.bytesDecoded = 0;
    m_segmentStart = m_table.Count();
    m_needSync = true;
    m_started = false;

    CRecordScanner scanner(buffer, size);
    CRecordScanner::Record record;
    long long reportedCorrupt = 0;
    size_t lastConsumed = 0;
    while (scanner.Next(record)) {
        if (scanner.CorruptCount() != reportedCorrupt) {
            AddWarning(scanner.CorruptCount() - reportedCorrupt, record.repairFlags);
            reportedCorrupt = scanner.CorruptCount();
        }
        ProcessRecord(record);
        size_t reached = record.start;
        if (record.type == records::TypeFiller) { // erased memory: runs of them
            // In steps of a release, so that the buffer is given back as the entries grow.
            const size_t step = kReleaseStep / (size_t(record.length) + 1);
            if (const size_t alike = scanner.SkipAlike(record, step)) {
                m_table.RepeatLastEntry(alike);
                reached += alike * (size_t(record.length) + 1);
            }
        }
        if (record.type == records::TypeSignature && facts.addressOffset < 0)
            facts.addressOffset = int(bigEndian(record.payload + 7, 4) - uint32_t(record.start));
        facts.bytesDecoded = int(record.start + record.length + 1);
        if (facts.formatCode != 0)
            scanner.SetFormatCode(facts.formatCode);
        if (consumed && reached - lastConsumed >= kReleaseStep) {
            consumed(reached);
            lastConsumed = reached;
        }
    }
    facts.corruptBytes += scanner.CorruptCount();
    facts.totalBytes += static_cast<long long>(size);
}

void CLogDecoder::AddWarning(long long newCorruptBytes, int repairFlags)
{
    std::string text;
    if (repairFlags == CRecordScanner::RepairTextConversion) {
        text = "# warning: A text format conversion was needed in binary data!";
    } else {
        char buf[100];
        std::snprintf(buf, sizeof buf, "# warning: %lld corrupt bytes encountered during conversion", newCorruptBytes);
        text = buf;
    }
    m_refTime = CUtcTime();
    if (m_needSync) {
        m_table.AddText(LOGF_TEXT | LOGF_WARNING, CUtcTime(), text);
    } else {
        m_table.AddText(LOGF_TEXT | LOGF_WARNING | LOGF_RESET, CUtcTime(), text);
        m_needSync = true;
    }
    if ((repairFlags & CRecordScanner::RepairTextConversion) && !m_textConversionSeen) {
        m_textConversionSeen = true;
        m_table.AddText(LOGF_TEXT | LOGF_WARNING, CUtcTime(),
                        "# reason: The data was probably corrupted during file transfer, e.g. by transferring "
                        "via FTP or mail as a text file instead of binary data.");
    }
}

// A filler's line is the decoder's own and holds none of the words the line analysis looks
// for, so it only gets LOGF_STAR from it and changes no state: it is stored straight away,
// which matters where erased memory holds millions of them.
void CLogDecoder::AddFiller(uint8_t length)
{
    static constexpr std::string_view prefix = "* filling block ";
    char line[32];
    prefix.copy(line, prefix.size());
    const char* end = std::to_chars(line + prefix.size(), line + sizeof line, unsigned(length)).ptr;
    m_table.AddText(LOGF_TEXT | LOGF_STAR, m_now, std::string_view(line, size_t(end - line)));
}

void CLogDecoder::ProcessRecord(const CRecordScanner::Record& record)
{
    using namespace records;
    int flags;
    std::string line;
    float values[kMaxValues];
    uint16_t tenths[kMaxValues];
    bool inTenths = false;
    size_t valueCount = 0;
    const size_t payloadSize = size_t(record.length) - 1;

    switch (record.type) {
    case TypeFiller:
        AddFiller(record.length);
        return;
    case TypeText:
        flags = LOGF_TEXT;
        line.assign(reinterpret_cast<const char*>(record.payload), payloadSize);
        break;
    case TypeSignature:
        flags = LOGF_TEXT | LOGF_SIGNATURE | LOGF_STAR;
        line = signatureText(record.payload);
        break;
    default:
        flags = LOGF_DATA | LOGF_TIMED;
        if (record.type == TypeFloats) {
            for (size_t k = 0; k + 4 <= payloadSize; k += 4)
                values[valueCount++] = floatFromBits(bigEndian(record.payload + k, 4));
        } else if (record.type == TypeHalfFloats) {
            for (size_t k = 0; k + 2 <= payloadSize; k += 2)
                values[valueCount++] = HalfToFloat(uint16_t(bigEndian(record.payload + k, 2)));
        } else if (record.type >= 16) {
            valueCount = decodeStatistics(record.type, record.payload, tenths);
            inTenths = true;
        }
        break;
    }
    const bool isText = flags & LOGF_TEXT;
    if (isText)
        flags |= AnalyseLine(line);

    const size_t count = m_table.Count();
    if ((flags & LOGF_MARK) && count > 0 && (m_table.Flags(count - 1) & LOGF_HEADER))
        flags &= ~LOGF_MARK;
    if (flags & LOGF_RESET)
        m_sinceReset = 0;
    if (flags & (LOGF_MARK | LOGF_SIGNATURE))
        TimeReference();
    if (flags & LOGF_TIMED)
        AdvanceTimed(flags);

    if (isText)
        m_table.AddText(flags, m_now, line);
    else if (inTenths)
        m_table.AddTenths(flags, m_now, tenths, valueCount);
    else
        m_table.AddValues(flags, m_now, values, valueCount);
}

void CLogDecoder::TimeReference()
{
    if (m_period.GetTotalSeconds() == 0 && m_refTime.bValid() && m_sinceRef > 0) {
        const int32_t d = (m_now - m_refTime).GetTotalSeconds();
        if (d > 0)
            m_period = CUtcTimeSpan(snapPeriod(int(double(d) / m_sinceRef + 0.5)));
    }
    if (m_period.GetTotalSeconds() != 0 && m_needSync && m_sinceReset > 0) {
        const CUtcTime old = m_lastTimed;
        m_lastTimed = m_now - m_period;
        m_needSync = false;
        if (old != m_lastTimed)
            BackDate();
    }
    m_sinceRef = 0;
    m_refTime = m_now;
}

// Gives the entries since the last reset the times that the logging period implies,
// counting back from now.
void CLogDecoder::BackDate()
{
    CUtcTime t = m_now;
    for (size_t i = m_table.Count(); i-- > m_segmentStart;) {
        const int flags = m_table.Flags(i);
        if (flags & LOGF_MARK) {
            t = m_table.StoredTime(i);
        } else if (!(flags & LOGF_TIME)) {
            if (flags & LOGF_TIMED)
                t -= m_period;
            m_table.SetEntryTime(i, t);
        }
        if (flags & LOGF_RESET)
            break;
    }
}

void CLogDecoder::AdvanceTimed(int& flags)
{
    const bool first = !m_started;
    if (first) {
        m_started = true;
        m_needSync = true;
        if (m_now.bValid())
            flags |= LOGF_RESET;
    }
    CUtcTime t = m_lastTimed + m_period;
    if (first) {
        m_now += CUtcTimeSpan(1);
        t += CUtcTimeSpan(1);
    }
    const int32_t period = m_period.GetTotalSeconds();
    if (period > 0 && t.bValid())
        t = CUtcTime(t.GetSeconds() - t.GetSeconds() % period);
    if (t < m_now)
        t = m_now;
    if ((t - m_period) > m_now)
        t = m_now;
    m_now = m_lastTimed = t;
    ++m_sinceRef;
    ++m_sinceReset;
}

int CLogDecoder::AnalyseLine(const std::string& line)
{
    const std::string lower = ToLower(line);
    int flags = 0;
    if (!line.empty() && line[0] == '*')
        flags |= LOGF_STAR;
    if (lower.compare(0, 3, "# \"") == 0 || lower.compare(0, 8, "# header") == 0)
        flags |= LOGF_HEADER;
    if (FindAfterStart(lower, "varno") != std::string::npos && FindAfterStart(lower, "tarnvik") != std::string::npos
        && FindAfterStart(lower, "orbelmetrik") != std::string::npos)
        flags |= AnalyseIdentification(lower);
    if (FindAfterStart(lower, "set time") != std::string::npos) {
        m_needSync = true;
        flags |= LOGF_RESET;
    }
    if (FindAfterStart(lower, "reboot (flash)") != std::string::npos)
        flags |= LOGF_RESET;
    if ((flags & LOGF_HEADER) && m_table.Facts().title.empty()) {
        const size_t first = line.find('"');
        const size_t last = line.rfind('"');
        if (first != std::string::npos && last != first)
            m_table.Facts().title = line.substr(first + 1, last - first - 1);
    }

    unsigned day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(line.c_str(), "# %u.%u.%u %u:%u:%u", &day, &month, &year, &hour, &minute, &second) >= 5) {
        if (year < 100)
            year += year < 70 ? 2000 : 1900;
        const CUtcTime t = TimeOrInvalid(year, month, day, hour, minute, second);
        if (t.bValid()) {
            m_now = t;
            flags |= LOGF_TIME;
        }
    }
    if (lower.find("signature") != std::string::npos) {
        int number = 0;
        uint32_t address = 0;
        year = month = day = hour = minute = second = 0;
        if (std::sscanf(line.c_str(), "* %04u-%02u-%02u %02u:%02u:%02u signature %i at %" SCNx32, &year, &month, &day,
                        &hour, &minute, &second, &number, &address)
            >= 7) {
            const CUtcTime t = TimeOrInvalid(year, month, day, hour, minute, second);
            if (t.bValid()) {
                m_now = t;
                flags |= LOGF_TIME;
            }
        }
    }

    if (lower.find("def") == std::string::npos && lower.find('"') == std::string::npos)
        AnalyseColumnLines(line, lower, flags);
    AnalyseDefinition(line, lower);
    return flags;
}

// An identification line names the instrument, its firmware version and serial number,
// and the format code that narrows which records may follow.
int CLogDecoder::AnalyseIdentification(const std::string& lower)
{
    int flags = LOGF_IDENT;
    const size_t versionAt = FindAfterStart(lower, "version");
    const char* end = lower.c_str() + lower.size();
    LogFacts& facts = m_table.Facts();
    facts.version = versionAt == std::string::npos ? 0 : ReadNumber(lower.c_str() + versionAt + 7, end);
    const size_t nrAt = FindAfterStart(lower, "nr");
    facts.serialNumber = nrAt == std::string::npos ? 0 : TruncToInt(ReadNumber(lower.c_str() + nrAt + 2, end));

    size_t at = FindAfterStart(lower, "varno") + 5;
    while (at < lower.size() && lower[at] == ' ')
        ++at;
    std::string word;
    while (at < lower.size() && word.size() < 10 && !std::isspace(static_cast<unsigned char>(lower[at])))
        word += lower[at++];
    long code = 0;
    for (size_t k = 0; k < word.size() && std::isdigit(static_cast<unsigned char>(word[k])) && code < 100000000; ++k)
        code = code * 10 + (word[k] - '0');
    facts.formatCode = int(code);
    facts.instrumentName = "varno" + word;

    if (!m_needSync) {
        m_needSync = true;
        flags |= LOGF_RESET;
    }
    return flags;
}

void CLogDecoder::SetPeriodFrom(const std::string& lower, size_t at, const char* format)
{
    unsigned seconds = 0;
    if (std::sscanf(lower.c_str() + at, format, &seconds) == 1)
        m_period = CUtcTimeSpan(int32_t(seconds));
}

void CLogDecoder::AnalyseColumnLines(const std::string& line, const std::string& lower, int& flags)
{
    const size_t npos = std::string::npos;
    if (FindAfterStart(lower, "bat") != npos && FindAfterStart(lower, "ext") != npos && !(flags & LOGF_STAR))
        flags |= LOGF_MARK;
    const size_t statAt = FindAfterStart(lower, "stat");
    if (statAt != npos && (FindAfterStart(lower, "meas") != npos || FindAfterStart(lower, "mess") != npos))
        SetPeriodFrom(lower, statAt, "stat %u");
    if (size_t at = FindAfterStart(lower, "set stat period"); at != npos)
        SetPeriodFrom(lower, at, "set stat period %u");
    if (size_t at = FindAfterStart(lower, "set log period"); at != npos)
        SetPeriodFrom(lower, at, "set log period %u");

    if (size_t at = lower.find("stat format ="); at != npos) {
        const std::vector<std::string> words = Split(line.substr(at + 13), " ");
        std::vector<std::string> names;
        for (const char* channel : {"v1", "v2", "v3"})
            for (const std::string& word : words)
                names.push_back(std::string(channel) + "_" + word);
        names.push_back("direction_mean360");
        m_table.AddColumnSet(std::move(names));
        flags |= LOGF_COLUMNS;
    }
    if (size_t at = lower.find("log ="); at != npos) {
        std::vector<std::string> names;
        for (std::string word : Split(line.substr(at + 5), " ")) {
            if (word.back() == ')') {
                const size_t open = word.rfind('(');
                if (open != npos)
                    word = Trim(word.substr(0, open), " ");
            }
            const auto definition = m_definitionWords.find(word);
            if (definition == m_definitionWords.end()) {
                names.push_back(word + "_xxx");
                continue;
            }
            for (const std::string& statistic : definition->second)
                names.push_back(word + "_" + statistic);
        }
        m_table.AddColumnSet(std::move(names));
        flags |= LOGF_COLUMNS;
    }
}

// "def name: statistic words = description" defines what a logged name stands for.
void CLogDecoder::AnalyseDefinition(const std::string& line, const std::string& lower)
{
    const size_t at = FindAfterStart(lower, "def");
    if (at == std::string::npos || at + 4 >= line.size())
        return;
    const std::string rest = Trim(line.substr(at + 3), " \t");
    const size_t equals = rest.find('=');
    const std::string left = rest.substr(0, equals);
    const std::string description = equals == std::string::npos ? std::string() : Trim(rest.substr(equals + 1), " \t");
    const size_t colon = left.find(':');
    const std::string name = Trim(left.substr(0, colon), " \t");
    std::string statistics = colon == std::string::npos ? std::string() : Trim(left.substr(colon + 1), " \t");
    if (statistics.empty())
        statistics = "mean";
    if (name.empty() || description.empty())
        return;
    m_definitionWords[name] = Split(statistics, " ");
    m_definitionTexts[name] = description;
}

} // namespace varno::ostrel
