// Recognises a UTF-8 source without its byte order mark, read block by block
// so that a large source costs no more memory than a small one.
#include "driver/Utf8Hint.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "driver/Console.h"
#include "platform/Platform.h"
#include "text/Encoding.h"

namespace {

// Checks UTF-8 one byte at a time: how many continuation bytes are still due
// and the range the next one must fall in.
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
        const Utf8Lead shape = utf8Lead(byte);
        due_ = shape.following;
        low_ = shape.low;
        high_ = shape.high;
        return shape.following > 0;
    }
    bool complete() const { return due_ == 0; }
    bool sawMultiByte() const { return sawMultiByte_; }

private:
    int due_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
    bool sawMultiByte_ = false;
};

}  // namespace

bool looksLikeUnmarkedUtf8(const std::string& path) {
    int errorNumber = 0;
    const std::unique_ptr<std::FILE, platform::FileCloser> file(
        platform::openForReading(path, errorNumber));
    if (!file) return false;
    std::vector<unsigned char> block(64 * 1024);
    Utf8Checker checker;
    bool first = true;
    for (;;) {
        const size_t size = std::fread(block.data(), 1, block.size(), file.get());
        if (size == 0) break;
        if (first && startsWithUtf8ByteOrderMark(block.data(), size))
            return false;  // a marked file is read as UTF-8 already
        first = false;
        for (size_t i = 0; i < size; ++i)
            if (!checker.take(block[i])) return false;
    }
    return checker.complete() && checker.sawMultiByte();
}

void printUtf8Hint(const std::string& inputPath) {
    printNote("hint: " + inputPath + " looks like UTF-8 text; give option -u to read it as UTF-8");
}
