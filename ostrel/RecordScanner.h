#pragma once

#include <cstddef>
#include <cstdint>

namespace varno::ostrel {

// Finds the length-prefixed records of a binary data log in a buffer, skipping damaged
// stretches and undoing the CR LF expansion of a text-mode transfer where it can.
class CRecordScanner {
public:
    enum RepairFlags { RepairSkipped = 1, RepairTextConversion = 2 };

    struct Record {
        size_t start = 0;     // offset of the length byte
        uint8_t length = 0;   // bytes after the length byte
        uint8_t type = 0;
        const uint8_t* payload = nullptr; // length - 1 bytes
        int repairFlags = 0;
    };

    // buffer is repaired in place.
    CRecordScanner(uint8_t* buffer, size_t size);

    bool Next(Record& record);
    // Passes over the records right after record (the last one Next gave) that have its
    // length and type, as Next would accept them, all but the last of such a run (whether
    // that one is accepted depends on what follows it), and at most maxCount of them.
    // Returns how many were passed over.
    size_t SkipAlike(const Record& record, size_t maxCount);
    void SetFormatCode(int formatCode);
    long long CorruptCount() const { return m_corrupt; }

    // Whether a record of length byte L and type T may exist under formatCode.
    static bool RuleHolds(uint8_t length, uint8_t type, int formatCode);

private:
    static constexpr size_t None = size_t(-1);

    bool IsCandidate(size_t at) const;
    size_t FindCandidate(size_t from);
    bool UndoTextConversion(size_t start, size_t next);

    uint8_t* m_buffer;
    size_t m_size;
    size_t m_position = 0;
    int m_formatCode = 0;
    long long m_corrupt = 0;
    // Every offset in [m_memoFrom, m_memoResult) is no candidate: lets repeated searches
    // across a long damaged stretch skip it.
    size_t m_memoFrom = None;
    size_t m_memoResult = None;
};

} // namespace varno::ostrel
