// The disk and the texts held in memory as providers of a run's files.
#include "text/SourceProvider.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr size_t kBlockSize = 64 * 1024;

class DiskFile final : public OpenedFile {
public:
    explicit DiskFile(std::FILE* file)
        : file_(file), block_(std::make_unique_for_overwrite<unsigned char[]>(kBlockSize)) {}
    ~DiskFile() override { std::fclose(file_); }

    std::span<const unsigned char> nextBlock() override {
        const size_t filled = std::fread(block_.get(), 1, kBlockSize, file_);
        return {block_.get(), filled};
    }

    std::optional<platform::FileIdentity> identity() const override {
        return platform::fileIdentity(file_);
    }

private:
    std::FILE* file_;
    std::unique_ptr<unsigned char[]> block_;  // filled by each read, never cleared first
};

class DiskSources final : public SourceProvider {
public:
    std::unique_ptr<OpenedFile> open(const std::string& path, int& errorNumber) override {
        std::FILE* file = platform::openForReading(path, errorNumber);
        if (file == nullptr) return nullptr;
        return std::make_unique<DiskFile>(file);
    }

    bool exists(const std::string& path) override { return platform::pathExists(path); }
};

// A text held in memory, given whole as one block.
class HeldFile final : public OpenedFile {
public:
    explicit HeldFile(const std::string& bytes) : bytes_(bytes) {}

    std::span<const unsigned char> nextBlock() override {
        if (given_) return {};
        given_ = true;
        return {reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size()};
    }

    std::optional<platform::FileIdentity> identity() const override { return std::nullopt; }

private:
    const std::string& bytes_;
    bool given_ = false;
};

class HeldSources final : public MemorySources {
public:
    explicit HeldSources(SourceProvider* fallback) : fallback_(fallback) {}

    void add(const std::string& path, std::string bytes) override {
        texts_[path] = std::move(bytes);
    }

    std::unique_ptr<OpenedFile> open(const std::string& path, int& errorNumber) override {
        const auto held = texts_.find(path);
        if (held != texts_.end()) return std::make_unique<HeldFile>(held->second);
        if (fallback_ != nullptr) return fallback_->open(path, errorNumber);
        errorNumber = ENOENT;
        return nullptr;
    }

    bool exists(const std::string& path) override {
        return texts_.contains(path) || (fallback_ != nullptr && fallback_->exists(path));
    }

private:
    SourceProvider* fallback_;
    // A text is read while the run holds the provider; replacing it during a
    // run would pull it away from under the reader, so a caller adds texts
    // between runs.
    std::map<std::string, std::string> texts_;
};

}  // namespace

SourceProvider& diskSources() {
    static DiskSources* disk = new DiskSources();
    return *disk;
}

std::unique_ptr<MemorySources> createMemorySources(SourceProvider* fallback) {
    return std::make_unique<HeldSources>(fallback);
}

std::optional<std::string> readWholeFile(SourceProvider& sources, const std::string& path,
                                         size_t mostBytes) {
    int errorNumber = 0;
    const std::unique_ptr<OpenedFile> opened = sources.open(path, errorNumber);
    if (!opened) return std::nullopt;
    std::string bytes;
    for (auto block = opened->nextBlock(); !block.empty(); block = opened->nextBlock()) {
        if (bytes.size() + block.size() > mostBytes) return std::nullopt;
        bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
    }
    return bytes;
}
