// The run's heap laid out ahead: on Linux with the GNU C library, the heap's
// break moved once by the whole reserve and that range advised for large
// pages; elsewhere nothing.
#include "platform/RunHeap.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#endif

namespace platform {

void reserveHeapForRun(std::uint64_t bytes) {
#if defined(__linux__) && defined(__GLIBC__)
    static bool reserved = false;
    if (reserved) return;
    reserved = true;
    constexpr std::uint64_t kMostReserved = std::uint64_t{1} << 30;  // the library takes an int
    if (bytes > kMostReserved) bytes = kMostReserved;
    // Blocks up to the largest the library allows come from the heap, and a
    // freed block stays there for the next: a growing vector's old buffer is
    // taken again instead of being unmapped and fresh pages mapped for the new.
    // The output lanes allocate from this heap too, not from heaps of their own
    // in small pages.
    if (mallopt(M_ARENA_MAX, 1) == 0) return;
    if (mallopt(M_MMAP_THRESHOLD, 32 << 20) == 0 || mallopt(M_TRIM_THRESHOLD, INT32_MAX) == 0) return;
    // The next growth of the heap moves its break by the whole reserve at once.
    if (mallopt(M_TOP_PAD, static_cast<int>(bytes)) == 0) return;
    // A block larger than the free room at the heap's top is what makes it grow.
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* primer = std::malloc(mallinfo2().keepcost + (1 << 20));
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    std::free(primer);
    mallopt(M_TOP_PAD, 128 << 10);  // later growth, past the reserve, in the library's usual steps
    // Only a break that moved (not another allocator's memory) is advised.
    if (primer == nullptr || after <= before) return;
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (before + page - 1) & ~(page - 1);
    if (after > start) madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
#else
    (void)bytes;
#endif
}

}  // namespace platform
