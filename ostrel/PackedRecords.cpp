#include <ostrel/PackedRecords.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace varno::ostrel {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "fields are stored as the low bytes of a 64-bit word");

namespace {

constexpr uint64_t kMask[9] = {0, 0xFF, 0xFFFF, 0, 0xFFFFFFFF, 0, 0, 0, ~uint64_t(0)};

uint8_t widthFor(uint64_t span)
{
    return span == 0 ? 0 : span <= 0xFF ? 1 : span <= 0xFFFF ? 2 : span <= 0xFFFFFFFF ? 4 : 8;
}

// How one field of a block is stored: value of record k = base + step * k + the stored bytes.
struct Encoding {
    int64_t base = 0;
    int32_t step = 0;
    uint8_t width = 0;
};

template <typename Value>
Encoding flatEncoding(Value value, size_t n)
{
    int64_t low = value(0), high = value(0);
    for (size_t k = 1; k < n; ++k) {
        low = std::min(low, value(k));
        high = std::max(high, value(k));
    }
    return Encoding{low, 0, widthFor(uint64_t(high) - uint64_t(low))};
}

template <typename Value>
Encoding encodingWithStep(Value value, size_t n, int32_t step)
{
    int64_t low = std::numeric_limits<int64_t>::max();
    int64_t high = std::numeric_limits<int64_t>::min();
    for (size_t k = 0; k < n; ++k) {
        const int64_t residual = value(k) - int64_t(step) * int64_t(k);
        low = std::min(low, residual);
        high = std::max(high, residual);
    }
    return Encoding{low, step, widthFor(uint64_t(high) - uint64_t(low))};
}

// The narrower of two lines: flat at the smallest value, or through the first and the last.
template <typename Value>
Encoding chooseEncoding(Value value, size_t n)
{
    const Encoding flat = flatEncoding(value, n);
    if (flat.width == 0 || n < 2)
        return flat;
    // The two ends may lie 2^63 apart: the step is taken from their distance, unsigned.
    const int64_t first = value(0), last = value(n - 1);
    const uint64_t distance = last >= first ? uint64_t(last) - uint64_t(first) : uint64_t(first) - uint64_t(last);
    const uint64_t stepSize = distance / (n - 1);
    if (stepSize == 0 || stepSize > uint64_t(std::numeric_limits<int32_t>::max()))
        return flat;
    const int32_t step = last >= first ? int32_t(stepSize) : -int32_t(stepSize);
    const Encoding sloped = encodingWithStep(value, n, step);
    return sloped.width < flat.width ? sloped : flat;
}

void store(uint8_t* p, uint64_t bits, uint8_t width)
{
    switch (width) {
    case 1: *p = uint8_t(bits); break;
    case 2: std::memcpy(p, &bits, 2); break;
    case 4: std::memcpy(p, &bits, 4); break;
    case 8: std::memcpy(p, &bits, 8); break;
    default: break;
    }
}

} // namespace

CPackedRecords::CPackedRecords()
{
    std::memset(m_lanes.extend(8), 0, 8);
}

size_t CPackedRecords::CountIn(size_t block) const
{
    return std::min(kBlockSize, m_size - (block << kBlockBits));
}

int64_t CPackedRecords::Unpacked(const Block& block, size_t k, int field) const
{
    uint64_t bits;
    std::memcpy(&bits, m_lanes.data() + block.lane + k * block.recordSize + block.offset[field], sizeof bits);
    return int64_t(uint64_t(block.base[field]) + uint64_t(int64_t(block.step[field]) * int64_t(k))
                   + (bits & kMask[block.width[field]]));
}

size_t CPackedRecords::GetBlock(size_t b, Record* out) const
{
    const size_t n = CountIn(b);
    if (b == m_heldBlock) {
        std::copy(m_held.begin(), m_held.begin() + std::ptrdiff_t(n), out);
        return n;
    }
    const Block& block = m_blocks[b];
    for (int f = 0; f < kFields; ++f) {
        const uint8_t* p = m_lanes.data() + block.lane + block.offset[f];
        const uint64_t mask = kMask[block.width[f]];
        for (size_t k = 0; k < n; ++k, p += block.recordSize) {
            uint64_t bits;
            std::memcpy(&bits, p, sizeof bits);
            out[k][size_t(f)] = int64_t(uint64_t(block.base[f]) + uint64_t(int64_t(block.step[f]) * int64_t(k)) + (bits & mask));
        }
    }
    return n;
}

int64_t CPackedRecords::Get(size_t i, int field) const
{
    const size_t b = i >> kBlockBits;
    const size_t k = i & (kBlockSize - 1);
    return b == m_heldBlock ? m_held[k][size_t(field)] : Unpacked(m_blocks[b], k, field);
}

void CPackedRecords::AppendCopies(size_t count)
{
    Hold((m_size - 1) >> kBlockBits);
    const Record last = m_held[(m_size - 1) & (kBlockSize - 1)];
    for (; count > 0 && (m_size & (kBlockSize - 1)) != 0; --count)
        Append(last);
    if (count >= kBlockSize) {
        // Whole blocks of copies: every field flat at the record's values, no bytes.
        PackHeld();
        m_heldBlock = kNone;
        Block copies{};
        std::copy(last.begin(), last.end(), copies.base);
        for (; count >= kBlockSize; count -= kBlockSize) {
            m_blocks.push_back(copies);
            m_size += kBlockSize;
        }
    }
    for (; count > 0; --count)
        Append(last);
}

void CPackedRecords::Set(size_t i, int field, int64_t value)
{
    Hold(i >> kBlockBits);
    int64_t& held = m_held[i & (kBlockSize - 1)][size_t(field)];
    if (held != value) {
        held = value;
        m_heldChanged = true;
    }
}

void CPackedRecords::Truncate(size_t count)
{
    if (count >= m_size)
        return;
    PackHeld();
    m_heldBlock = kNone;
    m_size = count;
    m_blocks.truncate((count + kBlockSize - 1) >> kBlockBits);
    size_t used = 0;
    for (size_t b = 0; b < m_blocks.size(); ++b)
        used = std::max<size_t>(used, m_blocks[b].lane + m_blocks[b].capacity);
    m_lanes.truncate(used);
    std::memset(m_lanes.extend(8), 0, 8);
}

size_t CPackedRecords::FindAbove(size_t from, int field, int64_t bound) const
{
    for (size_t i = from; i < m_size; i = ((i >> kBlockBits) + 1) << kBlockBits) {
        const size_t b = i >> kBlockBits;
        const size_t n = CountIn(b);
        if (b == m_heldBlock) {
            for (size_t k = i & (kBlockSize - 1); k < n; ++k)
                if (m_held[k][size_t(field)] > bound)
                    return (b << kBlockBits) + k;
            continue;
        }
        const Block& block = m_blocks[b];
        const uint8_t width = block.width[field];
        const int64_t rise = std::max<int64_t>(0, int64_t(block.step[field]) * int64_t(n - 1));
        if (width < 8 && block.base[field] + rise + int64_t(kMask[width]) <= bound)
            continue; // nothing in this block can be above bound
        for (size_t k = i & (kBlockSize - 1); k < n; ++k)
            if (Unpacked(block, k, field) > bound)
                return (b << kBlockBits) + k;
    }
    return m_size;
}

// Makes block the one held unpacked.
void CPackedRecords::Hold(size_t block)
{
    if (block == m_heldBlock)
        return;
    PackHeld();
    if (block < m_blocks.size()) {
        const size_t n = CountIn(block);
        for (size_t k = 0; k < n; ++k)
            for (int f = 0; f < kFields; ++f)
                m_held[k][size_t(f)] = Unpacked(m_blocks[block], k, f);
    }
    m_heldBlock = block;
    m_heldChanged = false;
}

void CPackedRecords::PackHeld()
{
    if (m_heldBlock == kNone || !m_heldChanged)
        return;
    const size_t b = m_heldBlock;
    const size_t n = CountIn(b);
    Block block{};
    uint8_t offset = 0;
    for (int f = 0; f < kFields; ++f) {
        const Encoding e = chooseEncoding([&](size_t k) { return m_held[k][size_t(f)]; }, n);
        block.base[f] = e.base;
        block.step[f] = e.step;
        block.width[f] = e.width;
        block.offset[f] = offset;
        offset = uint8_t(offset + e.width);
    }
    block.recordSize = offset;
    uint8_t* out = Reserve(block, n * block.recordSize, b);
    for (int f = 0; f < kFields; ++f) {
        if (block.width[f] == 0)
            continue;
        for (size_t k = 0; k < n; ++k) {
            const uint64_t delta =
                uint64_t(m_held[k][size_t(f)]) - uint64_t(block.base[f]) - uint64_t(int64_t(block.step[f]) * int64_t(k));
            store(out + k * block.recordSize + block.offset[f], delta, block.width[f]);
        }
    }
    if (b == m_blocks.size())
        m_blocks.push_back(block);
    else
        m_blocks[b] = block;
    m_heldChanged = false;
}

// Room for the packed records of a block: where they were if they still fit, else at the end.
uint8_t* CPackedRecords::Reserve(Block& block, size_t bytes, size_t blockIndex)
{
    if (blockIndex < m_blocks.size() && bytes <= m_blocks[blockIndex].capacity) {
        block.lane = m_blocks[blockIndex].lane;
        block.capacity = m_blocks[blockIndex].capacity;
    } else {
        const size_t used = m_lanes.size() - 8;
        m_lanes.truncate(used);
        std::memset(m_lanes.extend(bytes + 8), 0, bytes + 8);
        block.lane = used;
        block.capacity = uint32_t(bytes);
    }
    return m_lanes.data() + block.lane;
}

} // namespace varno::ostrel
