// The heap set aside for a run: large blocks served from the reserve and taken
// again once freed, the reserve advised for large pages, a second call idle.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/RunHeap.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>

namespace {

std::uintptr_t heapBreak() { return reinterpret_cast<std::uintptr_t>(sbrk(0)); }

// The "VmFlags" line of the mapping that holds `address`, from /proc/self/smaps.
std::string mappingFlags(std::uintptr_t address) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t low = 0, high = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> low >> dash >> high && dash == '-') inside = low <= address && address < high;
        else if (inside && line.rfind("VmFlags:", 0) == 0) return line;
    }
    return {};
}

TEST(RunHeap, LargeBlocksComeFromTheReserveAndAreTakenAgain) {
    constexpr std::uintptr_t kReserve = 64 << 20;
    const std::uintptr_t before = heapBreak();
    platform::reserveHeapForRun(kReserve);
    const std::uintptr_t after = heapBreak();
#ifdef __SANITIZE_ADDRESS__
    if (after == before) GTEST_SKIP() << "the sanitizer's allocator keeps no heap at the break";
#endif
    EXPECT_GE(after - before, kReserve);
    EXPECT_NE(mappingFlags(after - 1).find(" hg"), std::string::npos) << mappingFlags(after - 1);

    // Blocks of megabytes, which the library would otherwise map apart, lie in
    // the reserve; one freed is the place of the next of its size.
    constexpr std::uintptr_t kBlock = 8 << 20;
    void* first = std::malloc(kBlock);
    ASSERT_NE(first, nullptr);
    const auto end = reinterpret_cast<std::uintptr_t>(first) + kBlock;
    EXPECT_GT(end, before);
    EXPECT_LE(end, after);
    std::free(first);
    void* second = std::malloc(kBlock);
    EXPECT_EQ(second, first);
    std::free(second);

    platform::reserveHeapForRun(kReserve * 4);
    EXPECT_EQ(heapBreak(), after);
}

}  // namespace
#else
TEST(RunHeap, NothingToSetAsideOnThisSystem) { platform::reserveHeapForRun(1 << 20); }
#endif
