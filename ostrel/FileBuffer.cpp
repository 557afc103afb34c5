#include "FileBuffer.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

size_t pageSize()
{
    static const size_t size = size_t(sysconf(_SC_PAGESIZE));
    return size;
}

size_t roundUpToPage(size_t n)
{
    return (n + pageSize() - 1) / pageSize() * pageSize();
}

} // namespace

CFileBuffer::~CFileBuffer()
{
    if (m_data)
        munmap(m_data, m_capacity);
}

// Anonymous pages: they can be given back one by one with madvise.
bool CFileBuffer::Reserve(size_t capacity)
{
    capacity = roundUpToPage(capacity == 0 ? 1 : capacity);
    if (capacity <= m_capacity)
        return true;
    void* p = m_data ? mremap(m_data, m_capacity, capacity, MREMAP_MAYMOVE)
                     : mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return false;
    madvise(p, capacity, MADV_HUGEPAGE);
    m_data = static_cast<uint8_t*>(p);
    m_capacity = capacity;
    return true;
}

bool CFileBuffer::ReadAll(int fd)
{
    struct stat info {};
    const size_t expected = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? size_t(info.st_size) : 0;
    if (!Reserve(expected + 1))
        return false;
    for (;;) {
        if (m_size == m_capacity && !Reserve(m_capacity * 2))
            return false;
        const ssize_t n = read(fd, m_data + m_size, m_capacity - m_size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        m_size += size_t(n);
    }
}

void CFileBuffer::ReleaseBefore(size_t offset)
{
    const size_t end = offset / pageSize() * pageSize();
    if (end > m_released) {
        madvise(m_data + m_released, end - m_released, MADV_DONTNEED);
        m_released = end;
    }
}
