#include <ostrel/RecordScanner.h>

#include <cstring>

#include <ostrel/RecordWriter.h>

namespace varno::ostrel {

CRecordScanner::CRecordScanner(uint8_t* buffer, size_t size) : m_buffer(buffer), m_size(size) {}

bool CRecordScanner::RuleHolds(uint8_t length, uint8_t type, int formatCode)
{
    const int payload = length - 1;
    switch (type) {
    case 0:
    case 1:
        return true;
    case 2:
        return formatCode != 301 && payload % 4 == 0;
    case 3:
        return formatCode != 301 && payload % 2 == 0;
    case 4:
        return formatCode != 301 && length == 12;
    default:
        if (type < 16 || formatCode == 306)
            return false;
        return payload == records::statisticsPayloadSize(type);
    }
}

void CRecordScanner::SetFormatCode(int formatCode)
{
    if (formatCode != m_formatCode) {
        m_formatCode = formatCode;
        m_memoFrom = m_memoResult = None;
    }
}

bool CRecordScanner::IsCandidate(size_t at) const
{
    const uint8_t length = m_buffer[at];
    return length != 0 && length != 255 && at + 1 < m_size && at + length < m_size
           && RuleHolds(length, m_buffer[at + 1], m_formatCode);
}

size_t CRecordScanner::FindCandidate(size_t from)
{
    if (m_memoFrom != None && from >= m_memoFrom && (m_memoResult == None || from <= m_memoResult))
        return m_memoResult;
    size_t at = from;
    while (at < m_size && !IsCandidate(at))
        ++at;
    m_memoFrom = from;
    m_memoResult = at < m_size ? at : None;
    return m_memoResult;
}

// A text-mode transfer turned one LF into CR LF inside [start, next): with exactly one
// CR LF pair there, delete the surplus bytes at the CR.
bool CRecordScanner::UndoTextConversion(size_t start, size_t next)
{
    size_t pairAt = None;
    for (size_t k = start; k + 1 < next; ++k) {
        if (m_buffer[k] == 13 && m_buffer[k + 1] == 10) {
            if (pairAt != None)
                return false;
            pairAt = k;
        }
    }
    if (pairAt == None)
        return false;
    const size_t gap = next - (m_buffer[start] + start + 1);
    std::memmove(m_buffer + pairAt, m_buffer + pairAt + gap, next - (pairAt + gap));
    m_corrupt += static_cast<long long>(gap);
    m_memoFrom = m_memoResult = None;
    return true;
}

bool CRecordScanner::Next(Record& record)
{
    int repair = 0;
    size_t searchFrom = m_position;
    for (;;) {
        const size_t candidate = FindCandidate(searchFrom);
        if (candidate == None)
            return false;
        const size_t end = candidate + m_buffer[candidate] + 1;
        const size_t next = FindCandidate(end);
        size_t newPosition = None;
        if (next == None || next == end)
            newPosition = end;
        else if (next == end + 1 && m_buffer[end] == 0)
            newPosition = end + 1;
        else if ((next == end + 1 || next == end + 2) && UndoTextConversion(candidate, next)) {
            repair |= RepairTextConversion;
            newPosition = next;
        }
        if (newPosition == None) {
            repair |= RepairSkipped;
            searchFrom = candidate + 1;
            continue;
        }
        m_corrupt += static_cast<long long>(candidate - m_position);
        m_position = newPosition;
        record.start = candidate;
        record.length = m_buffer[candidate];
        record.type = m_buffer[candidate + 1];
        record.payload = m_buffer + candidate + 2;
        record.repairFlags = repair;
        return true;
    }
}

// A record followed by a candidate right at its end is accepted as it is, and a record with
// the same head as one accepted is a candidate.
size_t CRecordScanner::SkipAlike(const Record& record, size_t maxCount)
{
    const size_t size = size_t(record.length) + 1;
    size_t count = 0;
    while (count < maxCount && m_size - m_position >= 2 * size && m_buffer[m_position] == record.length
           && m_buffer[m_position + 1] == record.type && m_buffer[m_position + size] == record.length
           && m_buffer[m_position + size + 1] == record.type) {
        m_position += size;
        ++count;
    }
    return count;
}

} // namespace varno::ostrel
