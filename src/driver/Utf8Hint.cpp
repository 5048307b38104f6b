// Recognises a UTF-8 source without its byte order mark, read block by block
// so that a large source costs no more memory than a small one.
#include "driver/Utf8Hint.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Platform.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Checks UTF-8 one byte at a time: how many continuation bytes are still due
// and the range the next one must fall in (narrower after E0, ED, F0 and F4,
// which keeps out overlong forms, surrogates and values beyond U+10FFFF).
class Utf8Checker {
public:
    bool take(unsigned char byte) {
        if (due_ > 0) {
            if (byte < low_ || byte > high_) return false;
            low_ = 0x80;
            high_ = 0xBF;
            --due_;
            return true;
        }
        if (byte < 0x80) return true;
        sawMultiByte_ = true;
        if (byte >= 0xC2 && byte <= 0xDF) return expect(1, 0x80, 0xBF);
        if (byte == 0xE0) return expect(2, 0xA0, 0xBF);
        if (byte == 0xED) return expect(2, 0x80, 0x9F);
        if (byte >= 0xE1 && byte <= 0xEF) return expect(2, 0x80, 0xBF);
        if (byte == 0xF0) return expect(3, 0x90, 0xBF);
        if (byte >= 0xF1 && byte <= 0xF3) return expect(3, 0x80, 0xBF);
        if (byte == 0xF4) return expect(3, 0x80, 0x8F);
        return false;
    }
    bool complete() const { return due_ == 0; }
    bool sawMultiByte() const { return sawMultiByte_; }

private:
    bool expect(int due, unsigned char low, unsigned char high) {
        due_ = due;
        low_ = low;
        high_ = high;
        return true;
    }

    int due_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
    bool sawMultiByte_ = false;
};

}  // namespace

bool looksLikeUnmarkedUtf8(const std::string& path) {
    int errorNumber = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(platform::openForReading(path, errorNumber));
    if (!file) return false;
    std::vector<unsigned char> block(64 * 1024);
    Utf8Checker checker;
    bool first = true;
    for (;;) {
        const size_t size = std::fread(block.data(), 1, block.size(), file.get());
        if (size == 0) break;
        if (first && size >= 3 && block[0] == 0xEF && block[1] == 0xBB && block[2] == 0xBF)
            return false;  // a marked file is read as UTF-8 already
        first = false;
        for (size_t i = 0; i < size; ++i)
            if (!checker.take(block[i])) return false;
    }
    return checker.complete() && checker.sawMultiByte();
}

void printUtf8Hint(const std::string& inputPath) {
    const std::string line = "tuvommlc: hint: " + inputPath +
                             " looks like UTF-8 text; give option -u to read it as UTF-8\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
