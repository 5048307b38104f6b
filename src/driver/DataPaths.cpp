// The installed layout comes from the build (TUVO_DATA_DIR, TUVO_MODULE_DIR
// and TUVO_DOC_DIR, relative to the install prefix, written with "/"; the
// module's file name TUVO_SUNG_PREVIEW_MODULE), so the program and its
// installation agree on it.
#include "driver/DataPaths.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "driver/CommandLine.h"
#include "platform/PathText.h"
#include "platform/Platform.h"

namespace {

// `exeDir`'s parent joined with a prefix-relative folder, in the platform's
// separators; empty when `exeDir` is unknown.
std::string underPrefix(const std::string& exeDir, std::string_view relative) {
    // The program's folder is absolute, so it has a parent (empty for the root).
    if (exeDir.empty()) return {};
    std::string inPlatformSeparators(relative);
    for (char& c : inPlatformSeparators) {
        if (c == '/') c = platform::pathSeparator();
    }
    return platform::joinPath(parentFolder(exeDir), inPlatformSeparators,
                              platform::pathSeparator());
}

bool exists(const std::string& path, bool directory) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error) return false;
    return directory ? std::filesystem::is_directory(status)
                     : std::filesystem::is_regular_file(status);
}

// The folder under the prefix at `relative` when it exists, `exeDir` otherwise.
std::string installedOrBeside(const std::string& exeDir, std::string_view relative) {
    const std::string installed = underPrefix(exeDir, relative);
    return !installed.empty() && exists(installed, true) ? installed : exeDir;
}

}  // namespace

std::string dataDirectory(const std::string& exeDir) { return installedOrBeside(exeDir, TUVO_DATA_DIR); }

std::string defaultDictionaryPath(const std::string& exeDir) {
    return inFolder(dataDirectory(exeDir), "phonetic_symbols.dic");
}

std::string sungPreviewModulePath(const std::string& exeDir) {
    return inFolder(installedOrBeside(exeDir, TUVO_MODULE_DIR), TUVO_SUNG_PREVIEW_MODULE);
}

std::string manualPath(const std::string& exeDir) {
    std::string installed = underPrefix(exeDir, TUVO_DOC_DIR);
    if (!installed.empty()) {
        installed = inFolder(installed, "manual.md");
        if (exists(installed, false)) return installed;
    }
    return "doc/manual.md";
}
