// Text files as character codes. The bytes are read in binary and the text-mode
// rules are applied here, so every platform reads a file the same way: CR LF
// becomes LF, a lone CR stays, and a Ctrl-Z byte ends the file.
#include "text/TextFile.h"

#include <cstdio>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "platform/Platform.h"
#include "text/CharCode.h"

namespace {

constexpr int kCtrlZ = 26;
constexpr size_t kBufferSize = 64 * 1024;

class StdioTextFile final : public TextFile {
public:
    explicit StdioTextFile(std::FILE* file) : file_(file), buffer_(kBufferSize) {}
    ~StdioTextFile() override {
        if (file_ != nullptr) std::fclose(file_);
    }

    int readChar() override {
        const int lead = nextByte();
        if (lead < 0) return kEndOfInput;
        if (!isLeadByte(lead)) return lead;
        const int trail = nextByte();
        if (trail < 0) return kEndOfInput;  // a lead byte at the very end is dropped
        return lead * 256 + trail;
    }

private:
    // The next byte after text-mode translation, or -1 once the file has ended.
    int nextByte() {
        if (ended_) return -1;
        int byte = rawByte();
        if (byte == '\r') {
            const int following = rawByte();
            if (following == '\n') {
                byte = '\n';
            } else if (following >= 0) {
                --position_;  // keep the byte after a lone CR for the next read
            }
        }
        if (byte < 0 || byte == kCtrlZ) {
            ended_ = true;
            return -1;
        }
        return byte;
    }

    int rawByte() {
        if (position_ == filled_) {
            if (file_ == nullptr) return -1;
            filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            position_ = 0;
            if (filled_ == 0) return -1;  // end of file or a read error
        }
        return buffer_[position_++];
    }

    std::FILE* file_;
    std::vector<unsigned char> buffer_;
    size_t filled_ = 0;
    size_t position_ = 0;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<TextFile> openTextFile(const std::string& path) {
    int reason = 0;
    std::FILE* file = platform::openForReading(path, reason);
    if (file == nullptr) {
        getReporter().error(msg::kCannotOpenFile, path + " : " + platform::systemErrorText(reason));
        return nullptr;
    }
    return std::make_unique<StdioTextFile>(file);
}
