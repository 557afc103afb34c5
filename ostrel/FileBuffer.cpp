#include <ostrel/FileBuffer.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varno::ostrel {

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

// The stretch of data at or after offset in a file that may have holes: [begin, end), both
// at the end of the file when only a hole is left. Leaves the file position at begin, or at
// offset with false when the file system cannot tell.
static bool dataAfter(int fd, size_t offset, size_t& begin, size_t& end)
{
    off_t data = lseek(fd, off_t(offset), SEEK_DATA);
    off_t hole = -1;
    if (data < 0 && errno == ENXIO)
        data = hole = lseek(fd, 0, SEEK_END);
    else if (data >= 0)
        hole = lseek(fd, data, SEEK_HOLE);
    const bool known = data >= off_t(offset) && hole >= data;
    const off_t position = known ? data : off_t(offset);
    if (lseek(fd, position, SEEK_SET) != position || !known)
        return false;
    begin = size_t(data);
    end = size_t(hole);
    return true;
}

// Holes of a sparse file are not read: their bytes are the buffer's untouched pages, which
// read as zeros and take no memory.
bool CFileBuffer::ReadAll(int fd)
{
    struct stat info {};
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!Reserve(regular ? size_t(info.st_size) + 1 : 1))
        throw std::bad_alloc();
    bool byExtents = regular;
    for (;;) {
        size_t dataEnd = 0;
        if (byExtents) {
            size_t dataBegin = 0;
            byExtents = dataAfter(fd, m_size, dataBegin, dataEnd);
            if (byExtents && dataBegin > m_size) {
                if (!Reserve(dataBegin + 1))
                    throw std::bad_alloc();
                m_size = dataBegin;
            }
        }
        if (m_size == m_capacity && !Reserve(m_capacity * 2))
            throw std::bad_alloc();
        size_t count = m_capacity - m_size;
        if (byExtents && dataEnd > m_size) // stop where the next hole begins
            count = std::min(count, dataEnd - m_size);
        const ssize_t n = read(fd, m_data + m_size, count);
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

} // namespace varno::ostrel
