#pragma once

#include <cstddef>
#include <cstdint>

namespace varno::ostrel {

// The whole content of a file in one writable buffer. Memory of bytes already decoded
// can be given back while the rest is still in use, so a large log never needs its file
// size and its decoded entries in memory at the same time.
class CFileBuffer {
public:
    CFileBuffer() = default;
    CFileBuffer(const CFileBuffer&) = delete;
    CFileBuffer& operator=(const CFileBuffer&) = delete;
    ~CFileBuffer();

    // Reads everything from an open file descriptor; false on a read error, std::bad_alloc
    // when the memory for it cannot be had.
    bool ReadAll(int fd);

    uint8_t* Data() { return m_data; }
    size_t Size() const { return m_size; }

    // Bytes before offset will not be read again.
    void ReleaseBefore(size_t offset);

private:
    bool Reserve(size_t capacity);

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_released = 0;
};

} // namespace varno::ostrel
