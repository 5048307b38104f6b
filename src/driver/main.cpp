// The program's entry point: banner, command line, settings, pipeline run.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/DataPaths.h"
#include "driver/ImportCommand.h"
#include "driver/LanguageServerCommand.h"
#include "driver/PipelineRun.h"
#include "driver/RunContext.h"
#include "driver/Utf8Hint.h"
#include "driver/WatchMode.h"
#include "platform/Platform.h"
#include "platform/RunHeap.h"
#include "text/Encoding.h"
#include "text/SourceProvider.h"

namespace {

// The heap a compile sets aside ahead: the memory the run builds on a source
// grows with its length (about 40 bytes per source byte for the benchmark's
// songs), and room for loops and macros that multiply it costs only address
// space, never resident memory.
std::uint64_t heapReserveFor(const std::string& inputPath) {
    constexpr std::uint64_t kLeast = 64 << 20;
    constexpr std::uint64_t kPerSourceByte = 64;
    constexpr std::uint64_t kMostCounted = std::uint64_t{1} << 32;  // keeps the product in range
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(inputPath, error);
    if (error) return kLeast;
    return std::max(kLeast, std::min<std::uint64_t>(size, kMostCounted) * kPerSourceByte);
}

// One run of the pipeline, with the hint that a failed run may call for;
// `pathsRead`, when given, receives the paths of the files it read.
bool compile(const RunSettings& settings, std::vector<std::string>* pathsRead = nullptr) {
    RunContext run(settings, diskSources());
    const bool succeeded = runPipeline(run);
    if (pathsRead != nullptr) *pathsRead = run.filesRead.paths();
    if (succeeded) return true;
    // Lyrics that the dictionary cannot convert, in a source that is UTF-8
    // without its mark, are almost always a missing -u.
    if (!utf8Mode() && run.diagnostics.errorReported(msg::kLyricNotConvertible) &&
        looksLikeUnmarkedUtf8(settings.inputPath))
        printUtf8Hint(settings.inputPath);
    return false;
}

}  // namespace

int main(int argc, char** argv) try {
    platform::reportFileSizeLimitAsError();
    const std::vector<std::string> args(argv, argv + argc);
    const std::string exeDir = exeDirectory();
    // The server's standard output carries the protocol alone: no banner.
    if (asksForLanguageServer(args)) return runLanguageServer(args, exeDir);
    useConsoleText(consoleText);
    printBanner();
    if (asksForImport(args)) return runImport(args, exeDir);
    const CommandLine commandLine = parseCommandLine(args, exeDir);
    setUtf8Mode(commandLine.settings.utf8);  // the console's, for the whole process
    switch (commandLine.request) {
    case Request::Help:
        printHelp(manualPath(exeDir), defaultDictionaryPath(exeDir));
        return 0;
    case Request::Version:
        return 0;
    case Request::Usage:
        printUsage(mentionsExportOption(args), mentionsProjectOption(args), mentionsPreviewOption(args));
        printUsageReason(commandLine.reason);
        return 1;
    case Request::Run:
        break;
    }
    const RunSettings& settings = commandLine.settings;
    printSettings(settings, exeDir);
    platform::reserveHeapForRun(heapReserveFor(settings.inputPath));
    if (settings.watch) {
        return watchAndCompile(settings, exeDir, [&] {
            std::vector<std::string> pathsRead;
            compile(settings, &pathsRead);
            return pathsRead;
        });
    }
    return compile(settings) ? 0 : 1;
} catch (...) {
    // Only running out of memory outside a run (a run catches its own) can get here.
    return 1;
}
