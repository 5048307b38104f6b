// The source reader: a text file's character codes with one character of
// push-back, a line counter and the column of each character.
#include "source/SourceReader.h"

#include <climits>
#include <cstdint>

#include "text/TextFile.h"

namespace {

constexpr int kLineFeed = 10;

int32_t locatedColumn(int64_t column) {
    return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}

class FileSourceReader final : public SourceReader {
public:
    FileSourceReader(std::unique_ptr<TextFile> file, std::string name, const TextReading& reading)
        : file_(std::move(file)), name_(std::move(name)), reading_(reading) {}

    int getChar() override {
        int code;
        if (pushBack_ >= 0) {
            // Read again: its columns are those it had.
            code = pushBack_;
            pushBack_ = -1;
        } else {
            int32_t skipped = 0;
            code = file_->readChar(skipped);
            beforeLastEnd_ = lastEnd_;
            lastStart_ = nextColumn_ + skipped;
            lastEnd_ = code < 0 ? lastStart_ : lastStart_ + 1;
            nextColumn_ = code == kLineFeed ? 0 : lastEnd_;
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

    int32_t fileId() const override { return file_->fileId(); }

    int32_t charColumn() const override { return locatedColumn(lastStart_); }

    int32_t consumedColumn() const override {
        return locatedColumn(pushBack_ >= 0 ? beforeLastEnd_ : lastEnd_);
    }

private:
    std::unique_ptr<TextFile> file_;
    int pushBack_ = -1;
    std::string name_;
    TextReading reading_;
    int64_t line_ = 1;
    // The columns of the character last read from the file, the end of the one
    // before it, and where the next one begins unless text is skipped first.
    int64_t lastStart_ = 0;
    int64_t lastEnd_ = 0;
    int64_t beforeLastEnd_ = 0;
    int64_t nextColumn_ = 0;
};

}  // namespace

std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading,
                                                 const SourceLocation& includedFrom) {
    auto file = openTextFile(path, reading, includedFrom);
    if (!file) return nullptr;
    return std::make_unique<FileSourceReader>(std::move(file), path, reading);
}
