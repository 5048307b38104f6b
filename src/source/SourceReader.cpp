// The source reader: a text file's character codes with one character of
// push-back and a line counter.
#include "source/SourceReader.h"

#include <climits>
#include <cstdint>

#include "text/TextFile.h"

namespace {

constexpr int kLineFeed = 10;

class FileSourceReader final : public SourceReader {
public:
    FileSourceReader(std::unique_ptr<TextFile> file, std::string name, const TextReading& reading)
        : file_(std::move(file)), name_(std::move(name)), reading_(reading) {}

    int getChar() override {
        int code;
        if (pushBack_ >= 0) {
            code = pushBack_;
            pushBack_ = -1;
        } else {
            code = file_->readChar();
        }
        if (code == kLineFeed) ++line_;
        return code;
    }

    void ungetChar(int code) override {
        if (code == kLineFeed) --line_;
        pushBack_ = code < 0 ? -1 : code;
    }

    std::string fileName() const override { return name_; }

    // The counter is kept wide so that a file of billions of line feeds cannot
    // overflow it; the reported number stops at the largest int.
    int line() const override { return reportedLine(line_); }

    const TextReading& reading() const override { return reading_; }

private:
    std::unique_ptr<TextFile> file_;
    int pushBack_ = -1;
    std::string name_;
    TextReading reading_;
    int64_t line_ = 1;
};

}  // namespace

std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading) {
    auto file = openTextFile(path, reading);
    if (!file) return nullptr;
    return std::make_unique<FileSourceReader>(std::move(file), path, reading);
}
