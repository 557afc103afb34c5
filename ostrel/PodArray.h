#pragma once

#include <cstddef>
#include <type_traits>

namespace varno::ostrel {

// Memory for PodArray: small blocks from malloc, large ones mapped in huge pages where the
// system allows. Large blocks grow by remapping their pages instead of copying them, so an
// array of hundreds of megabytes never needs twice its size while it grows.
namespace podmemory {
void* Resize(void* block, size_t oldBytes, size_t newBytes);
void Release(void* block, size_t bytes);
} // namespace podmemory

// A growable array of plain values kept in one block.
template <typename T>
class PodArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodArray() = default;
    PodArray(const PodArray&) = delete;
    PodArray& operator=(const PodArray&) = delete;
    ~PodArray() { podmemory::Release(m_data, m_capacity * sizeof(T)); }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    const T& back() const { return m_data[m_size - 1]; }

    void push_back(const T& value)
    {
        if (m_size == m_capacity)
            grow(m_size + 1);
        m_data[m_size++] = value;
    }

    // Appends count values and returns where they go; the caller fills them.
    T* extend(size_t count)
    {
        if (m_size + count > m_capacity)
            grow(m_size + count);
        T* p = m_data + m_size;
        m_size += count;
        return p;
    }

    // Drops the values from count on; the memory stays for values added later.
    void truncate(size_t count)
    {
        if (count < m_size)
            m_size = count;
    }

    void clear()
    {
        podmemory::Release(m_data, m_capacity * sizeof(T));
        m_data = nullptr;
        m_size = m_capacity = 0;
    }

private:
    void grow(size_t needed)
    {
        size_t capacity = m_capacity < 64 ? 64 : m_capacity + m_capacity / 2;
        if (capacity < needed)
            capacity = needed;
        m_data = static_cast<T*>(podmemory::Resize(m_data, m_capacity * sizeof(T), capacity * sizeof(T)));
        m_capacity = capacity;
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace varno::ostrel
