// The files of the tests: one scratch folder that every test writing files
// uses, and one way to read a file whole.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

// The bytes of a file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `bytes` as the whole of the file at `path`.
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh empty folder under the system's temporary folder, removed with
// everything in it at the end of its life unless kept.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        do {
            path_ = base / ("tuvo-test-" + std::to_string(seed()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScratchFolder() {
        std::error_code error;
        if (!kept_) std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a file in the folder; `name` may lead through subfolders.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes the bytes to `name` (its folders made as needed) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path target = path_ / name;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return target.string();
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }
    // Leaves the folder behind, for a failed test to be looked into.
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    bool kept_ = false;
};
