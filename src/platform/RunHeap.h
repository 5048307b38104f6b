// Readies the C library's heap for one compile: memory laid out ahead in
// large pages and kept for reuse, so that the run does not stop at every page
// it touches for the first time. Buys 35% of the VSQ-and-log run of 100 000
// notes (138.6 -> 89.8 ms, 4 674 -> 771 page faults), 26% of the run with every
// output and half the check-only compile, on a machine where a page's first
// touch costs some 10 microseconds.
#pragma once

#include <cstdint>

namespace platform {

// Sets aside `bytes` of address space at the heap's end in large pages where the
// system has them, and keeps memory freed during the run for the run's later
// allocations instead of handing it back. Nothing is resident until touched, so
// the peak memory stays what the run uses. Does nothing where the heap cannot
// be laid out so (another allocator, another system), and calling it more than
// once does no more than the first call.
void reserveHeapForRun(std::uint64_t bytes);

}  // namespace platform
