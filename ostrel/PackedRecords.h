#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <ostrel/PodArray.h>

namespace varno::ostrel {

// A long array of records of four integer fields, packed in blocks of 64 records. Within a
// block each field is kept as its difference from a straight line (a base plus a step per
// record) in the fewest whole bytes (0, 1, 2, 4 or 8) that hold the block's largest
// difference: a field that stays the same or grows evenly costs nothing, and any record is
// read in constant time. One block at a time is held unpacked: the last one while records
// are appended, or the one whose records are being changed.
//
// Field values must lie within +-2^62.
class CPackedRecords {
public:
    static constexpr int kFields = 4;
    static constexpr int kBlockBits = 6;
    static constexpr size_t kBlockSize = size_t(1) << kBlockBits;
    using Record = std::array<int64_t, kFields>;

    CPackedRecords();

    size_t Size() const { return m_size; }
    int64_t Get(size_t i, int field) const;
    // The records of a block (records block * kBlockSize on) into out; returns their count.
    size_t GetBlock(size_t block, Record* out) const;
    void Append(const Record& record)
    {
        if ((m_size >> kBlockBits) != m_heldBlock)
            Hold(m_size >> kBlockBits);
        m_held[m_size & (kBlockSize - 1)] = record;
        ++m_size;
        m_heldChanged = true;
    }
    // Appends count copies of the last record (there must be one).
    void AppendCopies(size_t count);
    void Set(size_t i, int field, int64_t value);
    // Keeps the first count records.
    void Truncate(size_t count);
    // The first record at or after from whose field is above bound, or Size().
    size_t FindAbove(size_t from, int field, int64_t bound) const;

private:
    static constexpr size_t kNone = size_t(-1);

    struct Block {
        uint64_t lane;     // where its records start in m_lanes
        uint32_t capacity; // bytes reserved for them there
        uint8_t recordSize;
        uint8_t width[kFields];
        uint8_t offset[kFields];
        int32_t step[kFields];
        int64_t base[kFields];
    };

    size_t CountIn(size_t block) const;
    int64_t Unpacked(const Block& block, size_t k, int field) const;
    void Hold(size_t block);
    void PackHeld();
    uint8_t* Reserve(Block& block, size_t bytes, size_t blockIndex);

    PodArray<Block> m_blocks;
    // Packed records, followed by 8 spare bytes so that every field is read with one load.
    PodArray<uint8_t> m_lanes;
    size_t m_size = 0;
    // The block held unpacked, and whether it changed since it was last packed.
    std::array<Record, kBlockSize> m_held{};
    size_t m_heldBlock = kNone;
    bool m_heldChanged = false;
};

} // namespace varno::ostrel
