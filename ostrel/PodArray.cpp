#include <ostrel/PodArray.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace varno::ostrel::podmemory {

namespace {

constexpr size_t kMapFrom = size_t(1) << 20;

bool isMapped(size_t bytes)
{
    return bytes >= kMapFrom;
}

void* map(size_t bytes)
{
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    // Fewer page faults while a large log is decoded; ignored where unsupported.
    madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

} // namespace

void* Resize(void* block, size_t oldBytes, size_t newBytes)
{
    if (!isMapped(newBytes)) {
        void* p = std::realloc(block, newBytes);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    if (!isMapped(oldBytes)) {
        void* p = map(newBytes);
        if (block)
            std::memcpy(p, block, oldBytes);
        std::free(block);
        return p;
    }
    void* p = mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    madvise(p, newBytes, MADV_HUGEPAGE);
    return p;
}

void Release(void* block, size_t bytes)
{
    if (isMapped(bytes))
        munmap(block, bytes);
    else
        std::free(block);
}

} // namespace varno::ostrel::podmemory
