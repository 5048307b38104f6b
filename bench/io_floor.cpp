// The I/O floor of a compile: reads the input file and writes an output file of
// a given size, both through plain buffered loops, and does nothing else. The
// benchmark runner times it beside the compiler.
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: io_floor input output size\n");
        return 2;
    }
    std::vector<char> buffer(64 * 1024);
    unsigned long checksum = 0;
    if (std::FILE* in = std::fopen(argv[1], "rb")) {
        size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
            for (size_t i = 0; i < got; ++i) checksum += static_cast<unsigned char>(buffer[i]);
        std::fclose(in);
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    long long remaining = std::atoll(argv[3]);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(checksum + i);
    while (remaining > 0) {
        const size_t n = remaining < static_cast<long long>(buffer.size()) ? static_cast<size_t>(remaining)
                                                                           : buffer.size();
        std::fwrite(buffer.data(), 1, n, out);
        remaining -= static_cast<long long>(n);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
