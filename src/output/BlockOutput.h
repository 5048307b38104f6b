// Text written to a file in blocks: gathered in a string that goes to the file
// whenever it fills, so a large export needs no more memory than one block.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

class BlockOutput {
public:
    explicit BlockOutput(std::FILE* file) : file_(file) {}

    // The block to append to; call done() after each piece.
    std::string& text() { return block_; }
    void done() {
        if (block_.size() >= kBlockSize) flush();
    }
    // Room for `size` characters at the block's end, to be written straight
    // through the pointer returned; wrote() then keeps them up to where the
    // writing ended. A writer that knows the most a piece takes saves a check
    // of the block's capacity for each of its texts and numbers. The room is
    // zero-filled first, as the string grows to hold it.
    char* room(size_t size) {
        const size_t used = block_.size();
        block_.resize(used + size);
        return block_.data() + used;
    }
    void wrote(const char* end) {
        block_.resize(static_cast<size_t>(end - block_.data()));
        done();
    }
    // Writes what is left. Returns the error number of the first write that
    // failed, 0 when none did.
    int flush() {
        if (!block_.empty() && std::fwrite(block_.data(), 1, block_.size(), file_) != block_.size() &&
            error_ == 0) {
            error_ = platform::failureErrorNumber(errno);
        }
        block_.clear();
        return error_;
    }
    // Writes what is left and closes `file`, the stream written. Returns the
    // error number of the first write or of the close that failed, 0 when none did.
    int close(std::unique_ptr<std::FILE, platform::FileCloser> file) {
        int error = flush();
        if (std::fclose(file.release()) != 0 && error == 0) error = platform::failureErrorNumber(errno);
        return error;
    }

private:
    static constexpr size_t kBlockSize = size_t{1} << 16;

    std::FILE* file_;
    std::string block_;
    int error_ = 0;
};

// Puts `text` at `at`, in room of the block's; returns the end of it.
inline char* putText(char* at, std::string_view text) {
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    return at + text.size();
}
