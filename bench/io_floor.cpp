// The I/O floor of a compile: reads the input file and writes output files of
// given sizes, all through plain buffered loops, and does nothing else. The
// benchmark runner times it beside the compiler, with the sizes of the VSQ file
// and the conversion log that the compiler wrote.
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: io_floor input output size [output size]...\n");
        return 2;
    }
    std::vector<char> buffer(64 * 1024);
    // The input is read and summed, so the read cannot be skipped.
    unsigned long checksum = 0;
    if (std::FILE* in = std::fopen(argv[1], "rb")) {
        size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
            for (size_t i = 0; i < got; ++i) checksum += static_cast<unsigned char>(buffer[i]);
        std::fclose(in);
    } else {
        return 1;
    }
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(checksum + i);

    for (int arg = 2; arg + 1 < argc; arg += 2) {
        std::FILE* out = std::fopen(argv[arg], "wb");
        if (out == nullptr) return 1;
        long long remaining = std::atoll(argv[arg + 1]);
        while (remaining > 0) {
            const size_t n = remaining < static_cast<long long>(buffer.size())
                                 ? static_cast<size_t>(remaining)
                                 : buffer.size();
            if (std::fwrite(buffer.data(), 1, n, out) != n) return 1;
            remaining -= static_cast<long long>(n);
        }
        if (std::fclose(out) != 0) return 1;
    }
    return 0;
}
